// The driver's own dialog: a page per control class with every control the camera offers,
// written through the same rules as the window's rows.

#include <linux/videodev2.h>

#include <algorithm>

#include "tests/support/PropertyPageSummary.h"
#include "tests/v4l2/provider/Cameras.h"
#include "tests/v4l2/provider/V4l2Fixture.h"

namespace korvane::v4l2::testing {
namespace {

using korvane::testing::ControlsOf;
using korvane::testing::PageFor;
using korvane::testing::Summary;

const std::string kVendorControls = R"(,
   {"name":"exposure_dynamic_framerate","default":0,"value":1},
   {"id":"0x009a0940","type":"int","name":"Privacy Shutter Level","min":0,"max":3,"readOnly":true,"value":2},
   {"id":"0x00981001","type":"button","name":"Pan/Tilt Reset"},
   {"id":"0x0a046d05","type":"menu","name":"LED1 Mode","menu":[{"index":0,"name":"Off"},{"index":1,"name":"On"},{"index":3,"name":"Auto"}],"value":3})";

std::vector<CLSID> PageIds(IBaseFilter& filter) {
  ComPtr<ISpecifyPropertyPages> pages;
  EXPECT_EQ(filter.QueryInterface(IID_ISpecifyPropertyPages, pages.ReleaseAndGetVoidAddressOf()),
            S_OK);
  CAUUID list{};
  EXPECT_EQ(pages->GetPages(&list), S_OK);
  std::vector<CLSID> ids(list.pElems, list.pElems + list.cElems);
  CoTaskMemFree(list.pElems);
  return ids;
}

TEST_F(V4l2Test, OnePagePerControlClassWithEveryControl) {
  TFCamera& camera = Select(FullCamera(kVendorControls), "Test Cam");
  ComPtr<IBaseFilter> filter = camera.GetCaptureFilter();
  const std::vector<CLSID> ids = PageIds(*filter);
  ASSERT_EQ(ids.size(), 3u) << "user and camera controls, and the maker's own";

  IUnknown* object = filter.Get();
  const auto user = PageFor(ids[0], object);
  std::string title;
  user->GetTitle(&title);
  EXPECT_EQ(title, "User Controls");
  const auto lines = Summary(ControlsOf(*user));
  const auto has = [&](const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  };
  EXPECT_TRUE(has("White Balance Temperature slider 2800..6500 step 10 default 4600")) << lines[0];
  EXPECT_TRUE(has("Auto box")) << "white balance's companion is its Auto box";
  EXPECT_TRUE(has("Power Line Frequency choice 0=Disabled 1=50 Hz 2=60 Hz"));

  const auto cameraPage = Summary(ControlsOf(*PageFor(ids[1], object)));
  EXPECT_NE(std::find(cameraPage.begin(), cameraPage.end(),
                      "Auto Exposure choice 1=Manual Mode 3=Aperture Priority Mode"),
            cameraPage.end());
  EXPECT_NE(std::find(cameraPage.begin(), cameraPage.end(),
                      "Exposure, Dynamic Framerate choice 0=Off 1=On"),
            cameraPage.end());
  // The camera's own controls, beyond anything the window's rows know.
  EXPECT_TRUE(has("Pan/Tilt Reset button"));
  const auto maker = PageFor(ids[2], object);
  maker->GetTitle(&title);
  EXPECT_EQ(title, "Extension Controls");
  EXPECT_EQ(
      Summary(ControlsOf(*maker)),
      (std::vector<std::string>{"LED1 Mode choice 0=Off 1=On 3=Auto", "Default action #0=0"}));
}

TEST_F(V4l2Test, PageWritesSwitchTheCompanionAndRefuseReadOnlyControls) {
  TFCamera& camera = Select(FullCamera(kVendorControls), "Test Cam");
  ComPtr<IBaseFilter> filter = camera.GetCaptureFilter();
  const std::vector<CLSID> ids = PageIds(*filter);
  ASSERT_GE(ids.size(), 2u);
  const auto cameraPage = PageFor(ids[1], filter.Get());
  const auto controls = ControlsOf(*cameraPage);
  const auto indexOf = [&](const std::string& caption) {
    for (ULONG i = 0; i < controls.size(); ++i) {
      if (controls[i].caption == caption) return i;
    }
    ADD_FAILURE() << caption;
    return ULONG{0};
  };
  // Exposure time under aperture priority: the page's write switches the mode to manual first.
  ASSERT_EQ(cameraPage->SetValue(indexOf("Exposure Time, Absolute"), 800), S_OK);
  EXPECT_EQ(Kernel().ControlValue("cam", V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_MANUAL);
  EXPECT_EQ(Kernel().ControlValue("cam", V4L2_CID_EXPOSURE_ABSOLUTE), 800);
  // Focus through its Auto box.
  const ULONG focus = indexOf("Focus, Absolute");
  ASSERT_EQ(controls[focus + 1].kind, os::PropertyPageControl::Kind::Auto);
  ASSERT_EQ(cameraPage->SetValue(focus + 1, 0), S_OK);
  EXPECT_EQ(Kernel().ControlValue("cam", V4L2_CID_FOCUS_AUTO), 0);
  const ULONG privacy = indexOf("Privacy Shutter Level");
  EXPECT_TRUE(controls[privacy].readOnly);
  LONG level = 0;
  EXPECT_EQ(cameraPage->GetValue(privacy, &level), S_OK);
  EXPECT_EQ(level, 2);
  EXPECT_NE(cameraPage->SetValue(privacy, 1), S_OK);
}

// The user controls' page as one summary line per control.
std::vector<std::string> UserPage(TFCamera& camera) {
  ComPtr<IBaseFilter> filter = camera.GetCaptureFilter();
  const std::vector<CLSID> ids = PageIds(*filter);
  if (ids.empty()) return {};
  return Summary(ControlsOf(*PageFor(ids[0], filter.Get())));
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A control whose firmware fails its range query or its read is that control's failure: the
// dialog shows every control the camera has, the failing one as unavailable.
TEST_F(V4l2Test, AFailingControlIsShownUnavailableAndTheWalkGoesOn) {
  struct Case {
    const char* fault;
    const char* line;
  };
  const Case cases[] = {
      {R"({"control":"contrast","call":"query","errno":"EIO"})",
       "Contrast (unavailable: The operation failed for an unspecified reason) slider 0..0 step 1 "
       "default 0"},
      {R"({"control":"brightness","call":"query","errno":"EREMOTE"})",
       "Brightness (unavailable: The operation failed for an unspecified reason) slider 0..0 step "
       "1 "
       "default 0"},
      {R"({"control":"gain","call":"get","errno":"EPIPE"})", "Gain slider 0..255 step 1 default 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    TFCamera& camera =
        Select(FullCamera("", std::string(R"({"faults":[)") + c.fault + "]}"), "Test Cam");
    const auto lines = UserPage(camera);
    EXPECT_TRUE(Has(lines, c.line)) << ::testing::PrintToString(lines);
    for (const std::string after :
         {"Saturation slider 0..100 step 1 default 60", "Gamma slider 100..500 step 1 default 300",
          "Power Line Frequency choice 0=Disabled 1=50 Hz 2=60 Hz",
          "White Balance Temperature slider 2800..6500 step 10 default 4600"}) {
      EXPECT_TRUE(Has(lines, after)) << after;
    }
  }
}

// Automatic switches whose value control the camera lacks are shown on their own, so they can
// be switched off; red and blue balance are inactive while white balance is automatic.
TEST_F(V4l2Test, AutomaticSwitchesWithoutTheirValueControlAreShown) {
  TFCamera& camera =
      Select(CameraWith(R"({"name":"red_balance","min":0,"max":255,"default":128,"value":100},
      {"name":"blue_balance","min":0,"max":255,"default":128,"value":120},
      {"name":"white_balance_automatic","default":1,"value":1},
      {"name":"hue_automatic","default":1,"value":1},
      {"name":"brightness","min":0,"max":255,"default":128,"value":90})"),
             "Small Cam");
  EXPECT_FALSE(camera.GetWhiteBalanceSupported());
  const auto lines = UserPage(camera);
  EXPECT_TRUE(Has(lines, "White Balance, Automatic choice 0=Off 1=On"))
      << ::testing::PrintToString(lines);
  EXPECT_TRUE(Has(lines, "Hue, Automatic choice 0=Off 1=On"));
  EXPECT_TRUE(Has(lines, "Red Balance (inactive) slider 0..255 step 1 default 128"));
  EXPECT_TRUE(Has(lines, "Blue Balance (inactive) slider 0..255 step 1 default 128"));

  // Switched off in the dialog, the components take values.
  ComPtr<IBaseFilter> filter = camera.GetCaptureFilter();
  const auto page = PageFor(PageIds(*filter)[0], filter.Get());
  const auto controls = ControlsOf(*page);
  for (ULONG i = 0; i < controls.size(); ++i) {
    if (controls[i].caption == "White Balance, Automatic") {
      ASSERT_EQ(page->SetValue(i, 0), S_OK);
    }
  }
  EXPECT_EQ(Kernel().ControlValue("cam", V4L2_CID_AUTO_WHITE_BALANCE), 0);
  for (ULONG i = 0; i < controls.size(); ++i) {
    if (controls[i].caption.starts_with("Red Balance")) {
      ASSERT_EQ(page->SetValue(i, 77), S_OK);
    }
  }
  EXPECT_EQ(Kernel().ControlValue("cam", V4L2_CID_RED_BALANCE), 77);
}

// The Default button never writes a default outside the control's range or a menu item the
// camera does not offer; such a control says so in its caption.
TEST_F(V4l2Test, TheDefaultButtonLeavesDefaultsOutsideTheRange) {
  TFCamera& camera =
      Select(CameraWith(R"({"name":"brightness","min":-64,"max":64,"default":-8193,"value":5},
      {"name":"contrast","min":0,"max":10,"default":5,"value":3},
      {"name":"power_line_frequency","menu":[1,2],"default":0,"value":1})"),
             "Small Cam");
  const auto lines = UserPage(camera);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "Brightness (its default is out of range) slider -64..64 step 1 default "
                       "-8193",
                       "Contrast slider 0..10 step 1 default 5",
                       "Power Line Frequency (its default is out of range) choice 1=50 Hz 2=60 Hz",
                       "Default action #1=5"}));
}

// Relative and speed controls move the camera until 0 is written, and cannot be read: the page
// offers them to be held, never reads them, and writes reach the camera as they are.
TEST_F(V4l2Test, RelativeAndSpeedControlsAreHeldNeverRead) {
  TFCamera& camera =
      Select(CameraWith(R"({"name":"pan_absolute","min":-36000,"max":36000,"step":3600},
      {"name":"pan_speed","min":-8,"max":8,"default":0},
      {"name":"tilt_speed","min":-8,"max":8,"default":0},
      {"name":"zoom_continuous","min":-7,"max":7,"default":0},
      {"name":"focus_relative","min":-1,"max":1,"default":0},
      {"name":"iris_relative","min":-1,"max":1,"default":0},
      {"id":"0x009a0930","type":"int","name":"Jog","min":1,"max":9,"writeOnly":true})"),
             "Small Cam");
  ComPtr<IBaseFilter> filter = camera.GetCaptureFilter();
  const std::vector<CLSID> ids = PageIds(*filter);
  ASSERT_EQ(ids.size(), 1u);
  const auto page = PageFor(ids[0], filter.Get());
  const auto controls = ControlsOf(*page);
  const auto lines = Summary(controls);
  const std::pair<std::uint32_t, std::string> holds[] = {
      {V4L2_CID_PAN_SPEED, "Pan, Speed hold -8..8 step 1"},
      {V4L2_CID_TILT_SPEED, "Tilt, Speed hold -8..8 step 1"},
      {V4L2_CID_ZOOM_CONTINUOUS, "Zoom, Continuous hold -7..7 step 1"},
      {V4L2_CID_FOCUS_RELATIVE, "Focus, Relative hold -1..1 step 1"},
      {V4L2_CID_IRIS_RELATIVE, "Iris, Relative hold -1..1 step 1"},
  };
  for (const auto& [id, line] : holds) {
    SCOPED_TRACE(line);
    const auto at = std::find(lines.begin(), lines.end(), line);
    ASSERT_NE(at, lines.end()) << ::testing::PrintToString(lines);
    const auto index = static_cast<ULONG>(at - lines.begin());
    LONG value = 0;
    EXPECT_EQ(page->GetValue(index, &value), E_INVALIDARG) << "nothing to read";
    ASSERT_EQ(page->SetValue(index, -1), S_OK);
    EXPECT_EQ(Kernel().ControlValue("cam", id), -1);
    ASSERT_EQ(page->SetValue(index, 0), S_OK);
    EXPECT_EQ(Kernel().ControlValue("cam", id), 0);
  }
  // A write-only control that cannot be stopped at 0 is no hold; it shows greyed.
  EXPECT_TRUE(Has(lines, "Jog slider 1..9 step 1 default 1"));
  EXPECT_TRUE(Has(lines, "Pan, Absolute slider -36000..36000 step 3600 default -36000"));
  // Nothing to hold goes into the Default button's assignments.
  ASSERT_EQ(controls.back().kind, os::PropertyPageControl::Kind::Action);
  EXPECT_EQ(controls.back().assignments.size(), 1u) << lines.back();
}

}  // namespace
}  // namespace korvane::v4l2::testing
