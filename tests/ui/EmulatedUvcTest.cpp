// The window on Video4Linux2 cameras of an emulated kernel: the rows and Auto boxes, editing,
// factory defaults, a settings file saved and loaded back, and a camera pulled out.
#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include <nlohmann/json.hpp>

#include <QCheckBox>
#include <QLabel>
#include <QTest>

#include "platform/devices/DeviceProvider.h"
#include "platform/v4l2/V4l2Provider.h"
#include "platform/v4l2/emulation/EmulatedKernel.h"
#include "tests/support/RealCameras.h"
#include "tests/ui/ActionTestSupport.h"
#include "ui/ListBox.h"
#include "widgets/TrackBar.h"

using namespace uitest;
using korvane::v4l2::emulation::EmulatedKernel;

namespace {

std::string UvcCamera(const std::string& id, int node, const std::string& name, int port) {
  return R"({"id":")" + id + R"(","node":)" + std::to_string(node) + R"(,"card":")" + name +
         R"(","busInfo":"usb-1","usb":{"vendor":"046d","product":"08e)" + std::to_string(port) +
         R"(","productName":")" + name + R"("},"byPath":"pci-0000:00:14.0-usb-0:)" +
         std::to_string(port) + R"(:1.0","controls":[
    {"name":"brightness","min":0,"max":255,"default":128,"value":90},
    {"name":"contrast","min":0,"max":100,"default":50,"value":70},
    {"name":"white_balance_automatic","default":1,"value":1},
    {"name":"white_balance_temperature","min":2800,"max":6500,"step":10,"default":4600,"value":5000},
    {"name":"power_line_frequency","menu":[0,1,2],"default":1,"value":2},
    {"name":"auto_exposure","menu":[1,3],"default":3,"value":1},
    {"name":"exposure_time_absolute","min":3,"max":2047,"default":250,"value":400}],
    "formats":[{"fourcc":"YUYV","sizes":[{"width":640,"height":480,"intervals":["1/30"]}]},
               {"fourcc":"MJPG","sizes":[{"width":1280,"height":720,"intervals":["1/30"]}]}],
    "current":{"fourcc":"YUYV","width":640,"height":480,"interval":"1/30"}})";
}

// The program's windows over the cameras of an emulated kernel.
struct UvcSession {
  explicit UvcSession(const std::string& json)
      : Kernel(MakeKernel(json)), Providers({korvane::v4l2::MakeV4l2Provider(Kernel)}) {
    App();
    Windows = CreateApplicationWindows({});
    Windows.FormMain->show();
  }
  static std::shared_ptr<EmulatedKernel> MakeKernel(const std::string& json) {
    std::string error;
    auto kernel = EmulatedKernel::FromJson(json, &error);
    if (!kernel) ADD_FAILURE() << error;
    return kernel;
  }
  TFormMain& Form() { return *Windows.FormMain; }
  template <typename T>
  T* Find(const QString& name) {
    return Windows.FormMain->findChild<T*>(name);
  }
  std::int32_t Value(const char* camera, std::uint32_t id) {
    return Kernel->ControlValue(camera, id).value_or(-99999);
  }

  std::shared_ptr<EmulatedKernel> Kernel;
  korvane::devices::ScopedDeviceProviders Providers;
  TApplicationWindows Windows;
};

std::string ThreeCameras() {
  return R"({"cameras":[)" + UvcCamera("a", 0, "UVC A", 1) + "," + UvcCamera("b", 2, "UVC B", 2) +
         "," + UvcCamera("c", 4, "UVC C", 3) + "]}";
}

QString Text(UvcSession& session, const QString& label) {
  return session.Find<QLabel>(label)->text();
}

}  // namespace

TEST(EmulatedUvc, RowsShowTheDriverControlsAndTheirAutomaticCompanions) {
  TempHome home;
  UvcSession session(ThreeCameras());
  TFormMain& form = session.Form();
  ASSERT_EQ(form.ComboBoxCamera->Count(), 3);
  ASSERT_EQ(form.GetCamera().GetDeviceName(), "UVC A");
  EXPECT_EQ(form.GetSupportStatus(), 2);
  EXPECT_EQ(Text(session, QStringLiteral("LabelBrightnessValue")), QStringLiteral("90"));
  EXPECT_EQ(Text(session, QStringLiteral("LabelExposureValue")), QStringLiteral("400"));
  EXPECT_TRUE(session.Find<QCheckBox>(QStringLiteral("CheckBoxWhiteBalance"))->isChecked());
  EXPECT_FALSE(session.Find<QCheckBox>(QStringLiteral("CheckBoxExposure"))->isChecked());
  EXPECT_FALSE(session.Find<TTrackBar>(QStringLiteral("TrackBarRoll"))->isEnabled());
  EXPECT_EQ(form.ComboBoxFormat->Count(), 2);

  // Editing: a track bar, and white balance taken out of automatic.
  auto* brightness = session.Find<TTrackBar>(QStringLiteral("TrackBarBrightness"));
  brightness->setFocus();
  QTest::keyClick(brightness, Qt::Key_Right);
  EXPECT_EQ(session.Value("a", V4L2_CID_BRIGHTNESS), 91);
  session.Find<QCheckBox>(QStringLiteral("CheckBoxWhiteBalance"))->click();
  EXPECT_EQ(session.Value("a", V4L2_CID_AUTO_WHITE_BALANCE), 0);
  session.Find<QCheckBox>(QStringLiteral("CheckBoxExposure"))->click();
  EXPECT_EQ(session.Value("a", V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_APERTURE_PRIORITY);
}

TEST(EmulatedUvc, FactoryDefaultsAndASettingsFileReachTheDriver) {
  TempHome home;
  UvcSession session(ThreeCameras());
  TFormMain& form = session.Form();
  const QString file = home.Path() + QStringLiteral("/uvc.kcs");
  {
    ModalAnswerer save(QStringLiteral("SaveDialog1"), ChooseFile(file));
    Click(form.ButtonWrite);
  }
  ASSERT_EQ(form.MessageLabel->text(), QStringLiteral("Settings saved"));
  {
    ModalAnswerer yes(QStringLiteral("MessageForm"), ClickButton1);
    Click(form.ButtonDefaultValues);
  }
  EXPECT_EQ(form.MessageLabel->text(), QStringLiteral("Factory defaults loaded"));
  EXPECT_EQ(session.Value("a", V4L2_CID_BRIGHTNESS), 128);
  EXPECT_EQ(session.Value("a", V4L2_CID_CONTRAST), 50);
  {
    ModalAnswerer load(QStringLiteral("OpenDialog1"), ChooseFile(file));
    Click(form.ButtonRead);
  }
  EXPECT_EQ(session.Value("a", V4L2_CID_BRIGHTNESS), 90);
  EXPECT_EQ(session.Value("a", V4L2_CID_CONTRAST), 70);
  EXPECT_EQ(session.Value("a", V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_MANUAL);
  EXPECT_EQ(session.Value("a", V4L2_CID_EXPOSURE_ABSOLUTE), 400);
  EXPECT_EQ(session.Value("a", V4L2_CID_AUTO_WHITE_BALANCE), 1);
  EXPECT_EQ(session.Value("a", V4L2_CID_POWER_LINE_FREQUENCY), 2);
  EXPECT_EQ(Text(session, QStringLiteral("LabelBrightnessValue")), QStringLiteral("90"));
}

TEST(EmulatedUvc, APulledCameraLeadsToARebuiltListOnTheNextTick) {
  TempHome home;
  UvcSession session(ThreeCameras());
  TFormMain& form = session.Form();
  form.ComboBoxCamera->SetItemIndex(1);
  ASSERT_EQ(form.GetCamera().GetDeviceName(), "UVC B");
  session.Kernel->Unplug("b");
  ModalAnswerer errors(QStringLiteral("ApplicationErrorBox"), ClickOk);
  form.RefreshTimerTimer();
  ASSERT_EQ(form.ComboBoxCamera->Count(), 2);
  EXPECT_EQ(form.ComboBoxCamera->ItemText(1), QStringLiteral("UVC C"));
  EXPECT_EQ(form.GetCamera().GetDeviceName(), "UVC A");
  EXPECT_TRUE(errors.Texts().isEmpty());
  // Back in, under another node: the next rebuild lists it again.
  session.Kernel->Replug("b");
  form.RefreshDevices();
  EXPECT_EQ(form.ComboBoxCamera->Count(), 3);
  EXPECT_EQ(form.ComboBoxCamera->ItemText(2), QStringLiteral("UVC B"));
}

namespace {

// One camera ("cam", "Real Cam") with the given controls (a JSON list body).
std::string CameraWith(const std::string& controls, const std::string& firmware = "{}") {
  return R"({"cameras":[{"id":"cam","node":0,"card":"Real Cam","usb":{"vendor":"1234",
    "product":"5678","productName":"Real Cam"},"controls":[)" +
         controls + R"(],"formats":[{"fourcc":"YUYV","sizes":[{"width":640,"height":480,
    "intervals":["1/30"]}]}],"firmware":)" +
         firmware + "}]}";
}

// The window selects a camera at start only when it lists two or more: the user picks the one.
TFormMain& PickTheCamera(UvcSession& session) {
  TFormMain& form = session.Form();
  EXPECT_EQ(form.ComboBoxCamera->Count(), 1);
  form.ComboBoxCamera->SetItemIndex(0);
  return form;
}

bool RowShown(UvcSession& session, const char* property) {
  return session.Find<TTrackBar>(QStringLiteral("TrackBar") + QLatin1String(property))
             ->isEnabled() ||
         session.Find<QCheckBox>(QStringLiteral("CheckBox") + QLatin1String(property))->isChecked();
}

}  // namespace

// A control whose firmware fails shows as a control the camera lacks while its camera answers
// for the others; each tick reads the others again and keeps the camera selected.
TEST(EmulatedUvc, AFailingControlIsGreyedAndTheOthersWork) {
  for (const char* failure : {R"("call":"get","errno":"EIO")", R"("call":"query","errno":"EPIPE")",
                              R"("call":"get","errno":"EREMOTE")"}) {
    SCOPED_TRACE(failure);
    TempHome home;
    UvcSession session(CameraWith(
        R"({"name":"brightness","min":0,"max":255,"default":128,"value":90},
           {"name":"gain","min":0,"max":100,"default":10,"value":20},
           {"name":"contrast","min":0,"max":100,"default":50,"value":70})",
        std::string(R"({"faults":[{"control":"gain",)") + failure + "}]}"));
    TFormMain& form = PickTheCamera(session);
    ASSERT_EQ(form.GetCamera().GetDeviceName(), "Real Cam");
    EXPECT_EQ(form.GetSupportStatus(), 2);
    EXPECT_FALSE(RowShown(session, "Gain"));
    EXPECT_EQ(Text(session, QStringLiteral("LabelContrastValue")), QStringLiteral("70"));
    session.Kernel->SetControlValue("cam", V4L2_CID_BRIGHTNESS, 44);
    ModalAnswerer errors(QStringLiteral("ApplicationErrorBox"), ClickOk);
    form.RefreshTimerTimer();
    EXPECT_EQ(Text(session, QStringLiteral("LabelBrightnessValue")), QStringLiteral("44"));
    EXPECT_EQ(form.ComboBoxCamera->Count(), 1);
    EXPECT_EQ(form.GetCamera().GetDeviceName(), "Real Cam");
    EXPECT_TRUE(errors.Texts().isEmpty());
  }
}

// White balance set as red and blue components: the automatic switch is there, the temperature
// is not, so the row is not supported; an automatic focus switch alone leaves Focus unsupported.
TEST(EmulatedUvc, AutomaticSwitchesWithoutTheirValueControlLeaveTheRowUnsupported) {
  TempHome home;
  UvcSession session(CameraWith(R"({"name":"red_balance","min":0,"max":255,"value":100},
      {"name":"blue_balance","min":0,"max":255,"value":120},
      {"name":"white_balance_automatic","value":1},
      {"name":"focus_automatic_continuous","value":1},
      {"name":"brightness","min":0,"max":255,"value":90})"));
  TFormMain& form = PickTheCamera(session);
  EXPECT_EQ(form.GetSupportStatus(), 2);
  EXPECT_FALSE(RowShown(session, "WhiteBalance"));
  EXPECT_FALSE(RowShown(session, "Focus"));
  EXPECT_TRUE(RowShown(session, "Brightness"));
}

// Factory defaults never write a default the camera reports outside its own range: those rows
// stay as they are and the message names them.
TEST(EmulatedUvc, FactoryDefaultsLeaveDefaultsOutsideTheRangeAndSayWhich) {
  TempHome home;
  UvcSession session(
      CameraWith(R"({"name":"brightness","min":-64,"max":64,"default":-8193,"value":5},
      {"name":"contrast","min":0,"max":10,"default":57343,"value":3},
      {"name":"saturation","min":0,"max":100,"default":50,"value":70})"));
  TFormMain& form = PickTheCamera(session);
  {
    ModalAnswerer yes(QStringLiteral("MessageForm"), ClickButton1);
    Click(form.ButtonDefaultValues);
  }
  EXPECT_EQ(form.MessageLabel->text(),
            QStringLiteral("Factory defaults loaded; the camera's own default lies outside its "
                           "range, left as they are: Brightness, Contrast"));
  EXPECT_EQ(session.Value("cam", V4L2_CID_BRIGHTNESS), 5);
  EXPECT_EQ(session.Value("cam", V4L2_CID_CONTRAST), 3);
  EXPECT_EQ(session.Value("cam", V4L2_CID_SATURATION), 50);
}

namespace {

using korvane::testing::RealCameraFiles;
using korvane::testing::RealCamerasFolder;

// The row each driver control of a camera file fills.
constexpr std::pair<const char*, const char*> kRowOfControl[] = {
    {"brightness", "Brightness"},
    {"contrast", "Contrast"},
    {"saturation", "Saturation"},
    {"hue", "Hue"},
    {"sharpness", "Sharpness"},
    {"gamma", "Gamma"},
    {"backlight_compensation", "BacklightCompensation"},
    {"white_balance_temperature", "WhiteBalance"},
    {"gain", "Gain"},
    {"exposure_time_absolute", "Exposure"},
    {"exposure_absolute", "Exposure"},
    {"focus_absolute", "Focus"},
    {"zoom_absolute", "Zoom"},
    {"pan_absolute", "Pan"},
    {"tilt_absolute", "Tilt"},
    {"iris_absolute", "Iris"},
};

class RealCameraInWindow : public ::testing::TestWithParam<std::string> {};

// Each camera of the file selected in the window: a row for each control it has, showing the
// camera's value, no row for the others, and the support status that follows.
TEST_P(RealCameraInWindow, ShowsTheRowsTheCameraHas) {
  TempHome home;
  const std::filesystem::path copy = std::filesystem::path(home.Path().toStdString()) / "cam.json";
  std::filesystem::copy_file(RealCamerasFolder() / GetParam(), copy);
  const nlohmann::json file = nlohmann::json::parse(std::ifstream(copy));
  UvcSession session(file.dump());
  TFormMain& form = session.Form();
  std::size_t listed = 0;
  for (const nlohmann::json& camera : file["cameras"]) {
    if (!camera.value("present", true)) continue;
    SCOPED_TRACE(camera["id"].get<std::string>());
    ASSERT_LT(static_cast<int>(listed), form.ComboBoxCamera->Count());
    form.ComboBoxCamera->SetItemIndex(static_cast<int>(listed++));
    std::set<std::string> expected;
    for (const nlohmann::json& control : camera.value("controls", nlohmann::json::array())) {
      for (const auto& [name, row] : kRowOfControl) {
        if (control["name"] != name) continue;
        expected.insert(row);
        const int value = control.value("value", control.value("default", 0));
        if (value >= control["min"].get<int>() && value <= control["max"].get<int>()) {
          EXPECT_EQ(Text(session, QStringLiteral("Label%1Value").arg(row)), QString::number(value))
              << row;
        }
      }
    }
    for (const auto& [name, row] : kRowOfControl) {
      if (expected.count(row) == 0) {
        EXPECT_FALSE(RowShown(session, row)) << row;
      }
    }
    EXPECT_EQ(form.GetSupportStatus(), expected.empty() ? 1 : 2);
  }
  EXPECT_EQ(static_cast<int>(listed), form.ComboBoxCamera->Count());
}

INSTANTIATE_TEST_SUITE_P(Files, RealCameraInWindow, ::testing::ValuesIn(RealCameraFiles()),
                         korvane::testing::RealCameraTestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RealCameraInWindow);

}  // namespace
