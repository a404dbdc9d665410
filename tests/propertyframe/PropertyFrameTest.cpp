// The property frame against simulated cameras, opened the way the program opens it: the
// camera component's dialogs through OleCreatePropertyFrame and the installed frame.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <cstdlib>
#include <functional>
#include <vector>

#include "tests/camera/CameraFixture.h"
#include "tests/camera/CaptureGraphStandIn.h"
#include "tests/propertyframe/FrameDriver.h"
#include "ui/propertyframe/PropertyFrame.h"

namespace korvane::ui::testing {
namespace {

using camera::testing::CameraTest;
using camera::testing::ScopedCaptureGraphStandIn;
using sim::SimControl;
using sim::SimDevice;
using sim::SimFormat;

// Two video controls (Gain automatic), power-line frequency, one camera control, two formats.
SimDevice FrameCamera() {
  SimDevice device;
  device.friendlyName = "Frame Cam";
  device.videoProcAmp[VideoProcAmp_Brightness] = SimControl{0, 255, 5, 128, 2, 40, 2};
  device.videoProcAmp[VideoProcAmp_Gain] = SimControl{0, 100, 1, 50, 3, 70, 1};
  device.videoProcAmp[KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY] =
      SimControl{0, 2, 1, 1, 2, 2, 2};
  device.cameraControl[CameraControl_Zoom] = SimControl{100, 400, 10, 100, 2, 250, 2};
  device.cameraControl[CameraControl_Focus] = SimControl{0, 40, 1, 10, 3, 12, 1};
  device.flash = sim::SimKsRecord{2, 1};
  device.formats.push_back(SimFormat{});
  SimFormat large;
  large.width = 1280;
  large.height = 720;
  device.formats.push_back(large);
  return device;
}

template <class W>
W& Find(QWidget& root, const char* name) {
  W* widget = root.findChild<W*>(QString::fromLatin1(name));
  if (!widget) throw std::runtime_error(std::string("no widget ") + name);
  return *widget;
}

class PropertyFrameTest : public CameraTest {
 protected:
  void SetUp() override {
    CameraTest::SetUp();
    InstallPropertyFrame();
  }
  void TearDown() override {
    os::SetPropertyFrameHook({});
    CameraTest::TearDown();
  }

  const SimControl& Video(LONG index) {
    state_ = Device();
    return state_.videoProcAmp.at(index);
  }

  SimDevice state_;
};

TEST_F(PropertyFrameTest, ShowsEveryPageUnderTheCaption) {
  TFCamera& camera = Select(FrameCamera());
  bool shown = false;
  WithFrame([&] { camera.ShowPropertyDialog(); },
            [&](QDialog& frame) {
              shown = true;
              EXPECT_EQ(frame.windowTitle(), QStringLiteral("Frame Cam"));
              EXPECT_TRUE(frame.isModal());
              EXPECT_EQ(frame.font().family(), QStringLiteral("Carlito"));
              auto& tabs = Find<QTabWidget>(frame, "Pages");
              ASSERT_EQ(tabs.count(), 2);
              EXPECT_EQ(tabs.tabText(0), QStringLiteral("Video Proc Amp"));
              EXPECT_EQ(tabs.tabText(1), QStringLiteral("Camera Control"));
              auto& brightness = Find<QSlider>(frame, "SliderBrightness");
              EXPECT_EQ(brightness.minimum(), 0);
              EXPECT_EQ(brightness.maximum(), 255);
              EXPECT_EQ(brightness.singleStep(), 5);
              EXPECT_EQ(brightness.value(), 40);
              EXPECT_EQ(Find<QLabel>(frame, "ValueBrightness").text(), QStringLiteral("40"));
              // Gain is automatic: its box is ticked and the slider is the driver's.
              EXPECT_TRUE(Find<QCheckBox>(frame, "AutoGain").isChecked());
              EXPECT_FALSE(Find<QSlider>(frame, "SliderGain").isEnabled());
              EXPECT_EQ(frame.findChild<QCheckBox*>(QStringLiteral("AutoBrightness")), nullptr);
              EXPECT_EQ(Find<QComboBox>(frame, "ChoicePowerLineFrequency").currentText(),
                        QStringLiteral("60 Hz"));
              EXPECT_EQ(Find<QSlider>(frame, "SliderZoom").value(), 250);
              EXPECT_FALSE(Find<QPushButton>(frame, "ButtonApply").isEnabled());
              if (const char* folder = std::getenv("KORVANE_FRAME_SCREENSHOT_DIR")) {
                frame.grab().save(QString::fromLocal8Bit(folder) + "/property-frame.png");
                tabs.setCurrentIndex(1);
                frame.grab().save(QString::fromLocal8Bit(folder) + "/property-frame-camera.png");
              }
            });
  EXPECT_TRUE(shown);
}

TEST_F(PropertyFrameTest, ApplyWritesHeldChangesAndStaysOpen) {
  TFCamera& camera = Select(FrameCamera());
  WithFrame([&] { camera.ShowPropertyDialog(); },
            [&](QDialog& frame) {
              auto& slider = Find<QSlider>(frame, "SliderBrightness");
              auto& apply = Find<QPushButton>(frame, "ButtonApply");
              QTest::keyClick(&slider, Qt::Key_Right);
              EXPECT_EQ(slider.value(), 45);
              EXPECT_EQ(Find<QLabel>(frame, "ValueBrightness").text(), QStringLiteral("45"));
              EXPECT_TRUE(apply.isEnabled());
              EXPECT_EQ(Video(VideoProcAmp_Brightness).value, 40) << "held until Apply";
              // A drag between the driver's steps lands on one.
              slider.setValue(52);
              EXPECT_EQ(slider.value(), 50);
              apply.click();
              EXPECT_EQ(Video(VideoProcAmp_Brightness).value, 50);
              EXPECT_EQ(Video(VideoProcAmp_Brightness).flags, 2) << "the mode is kept";
              EXPECT_FALSE(apply.isEnabled());
              EXPECT_TRUE(frame.isVisible());
              // Moving back to what the device holds is no change.
              QTest::keyClick(&slider, Qt::Key_Right);
              QTest::keyClick(&slider, Qt::Key_Left);
              EXPECT_FALSE(apply.isEnabled());
              Find<QPushButton>(frame, "ButtonCancel").click();
            });
  EXPECT_EQ(Video(VideoProcAmp_Brightness).value, 50) << "Cancel keeps what was applied";
}

TEST_F(PropertyFrameTest, CancelWritesNothing) {
  TFCamera& camera = Select(FrameCamera());
  const SimDevice before = Device();
  bool closed = false;
  WithFrame([&] { camera.ShowPropertyDialog(); },
            [&](QDialog& frame) {
              QTest::keyClick(&Find<QSlider>(frame, "SliderBrightness"), Qt::Key_Right);
              Find<QCheckBox>(frame, "AutoGain").click();
              Find<QComboBox>(frame, "ChoicePowerLineFrequency").setCurrentIndex(1);
              QTest::keyClick(&Find<QSlider>(frame, "SliderZoom"), Qt::Key_Right);
              Find<QPushButton>(frame, "ButtonCancel").click();
              closed = !frame.isVisible();
            });
  EXPECT_TRUE(closed);
  EXPECT_EQ(Device(), before);
}

TEST_F(PropertyFrameTest, OkWritesEveryPageAndCloses) {
  TFCamera& camera = Select(FrameCamera());
  bool closed = false;
  WithFrame([&] { camera.ShowPropertyDialog(); },
            [&](QDialog& frame) {
              Find<QCheckBox>(frame, "AutoGain").click();
              EXPECT_TRUE(Find<QSlider>(frame, "SliderGain").isEnabled());
              QTest::keyClick(&Find<QSlider>(frame, "SliderGain"), Qt::Key_Right);
              Find<QComboBox>(frame, "ChoicePowerLineFrequency").setCurrentIndex(1);
              QTest::keyClick(&Find<QSlider>(frame, "SliderZoom"), Qt::Key_Right);
              Find<QPushButton>(frame, "ButtonOK").click();
              closed = !frame.isVisible();
            });
  EXPECT_TRUE(closed);
  const SimDevice device = Device();
  EXPECT_EQ(device.videoProcAmp.at(VideoProcAmp_Gain).value, 71);
  EXPECT_EQ(device.videoProcAmp.at(VideoProcAmp_Gain).flags, 2);
  EXPECT_EQ(device.videoProcAmp.at(KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY).value, 1);
  EXPECT_EQ(device.cameraControl.at(CameraControl_Zoom).value, 260);
}

TEST_F(PropertyFrameTest, DefaultPutsTheDefaultsOfItsPageAndOkWritesThem) {
  TFCamera& camera = Select(FrameCamera());
  WithFrame([&] { camera.ShowPropertyDialog(); },
            [&](QDialog& frame) {
              QWidget& videoPage = Find<QWidget>(frame, "PageVideoProcAmp");
              Find<QPushButton>(videoPage, "ButtonDefault").click();
              EXPECT_EQ(Find<QSlider>(frame, "SliderBrightness").value(), 128);
              EXPECT_EQ(Find<QComboBox>(frame, "ChoicePowerLineFrequency").currentText(),
                        QStringLiteral("50 Hz"));
              EXPECT_EQ(Video(VideoProcAmp_Brightness).value, 40) << "held until OK";
              Find<QPushButton>(frame, "ButtonOK").click();
            });
  const SimDevice device = Device();
  EXPECT_EQ(device.videoProcAmp.at(VideoProcAmp_Brightness).value, 128);
  EXPECT_EQ(device.videoProcAmp.at(VideoProcAmp_Gain).value, 50);
  EXPECT_EQ(device.videoProcAmp.at(VideoProcAmp_Gain).flags, 1) << "Auto stays";
  EXPECT_EQ(device.videoProcAmp.at(KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY).value, 1);
  EXPECT_EQ(device.cameraControl.at(CameraControl_Zoom).value, 250) << "another page";
}

TEST_F(PropertyFrameTest, StreamPageSetsTheChosenFormat) {
  ScopedCaptureGraphStandIn graphs;
  TFCamera& camera = Select(FrameCamera());
  WithFrame([&] { camera.ShowStreamPropertyDialog(); },
            [&](QDialog& frame) {
              auto& formats = Find<QComboBox>(frame, "ChoiceFormat");
              ASSERT_EQ(formats.count(), 2);
              EXPECT_EQ(formats.currentIndex(), 0);
              EXPECT_EQ(formats.itemText(1), QStringLiteral("1280 x 720, YUY2, 30.00 fps, 16 bit"));
              formats.setCurrentIndex(1);
              Find<QPushButton>(frame, "ButtonOK").click();
            });
  EXPECT_EQ(Device().currentFormat, 1u);
  EXPECT_EQ(camera.GetFormat().Width, 1280);
}

TEST_F(PropertyFrameTest, ARefusedChangeIsReportedAndTheFrameStaysOpen) {
  SimDevice device = FrameCamera();
  device.faults["IAMVideoProcAmp::Set#0"] = E_ACCESSDENIED;
  TFCamera& camera = Select(device);
  QString message;
  bool stayedOpen = false;
  WithFrame([&] { camera.ShowPropertyDialog(); },
            [&](QDialog& frame) {
              QTest::keyClick(&Find<QSlider>(frame, "SliderBrightness"), Qt::Key_Right);
              WhenModalShows<QMessageBox>({}, [&](QMessageBox& box) {
                message = box.text();
                box.accept();
              });
              Find<QPushButton>(frame, "ButtonOK").click();
              stayedOpen = frame.isVisible();
              EXPECT_TRUE(Find<QPushButton>(frame, "ButtonApply").isEnabled())
                  << "the change is held";
            });
  EXPECT_TRUE(stayedOpen);
  EXPECT_TRUE(message.startsWith(QStringLiteral("Brightness could not be changed")))
      << message.toStdString();
  EXPECT_EQ(Video(VideoProcAmp_Brightness).value, 40);
}

TEST_F(PropertyFrameTest, AValueOutsideTheRangeIsNotWrittenBack) {
  SimDevice device = FrameCamera();
  device.videoProcAmp[VideoProcAmp_Brightness].value = 300;
  TFCamera& camera = Select(device);
  WithFrame([&] { camera.ShowPropertyDialog(); },
            [&](QDialog& frame) {
              EXPECT_EQ(Find<QSlider>(frame, "SliderBrightness").value(), 255);
              EXPECT_FALSE(Find<QPushButton>(frame, "ButtonApply").isEnabled());
              QTest::keyClick(&Find<QSlider>(frame, "SliderZoom"), Qt::Key_Right);
              Find<QPushButton>(frame, "ButtonOK").click();
            });
  EXPECT_EQ(Video(VideoProcAmp_Brightness).value, 300);
  EXPECT_EQ(Device().cameraControl.at(CameraControl_Zoom).value, 260);
}

TEST_F(PropertyFrameTest, NoPagesShowsAnEmptyFrame) {
  SimDevice device;
  device.friendlyName = "Bare Cam";
  device.formats.push_back(SimFormat{});
  TFCamera& camera = Select(device);
  bool shown = false;
  WithFrame([&] { camera.ShowPropertyDialog(); },
            [&](QDialog& frame) {
              shown = true;
              EXPECT_NE(frame.findChild<QLabel*>(QStringLiteral("NoPages")), nullptr);
              EXPECT_EQ(frame.findChild<QTabWidget*>(), nullptr);
              EXPECT_FALSE(Find<QPushButton>(frame, "ButtonApply").isEnabled());
              Find<QPushButton>(frame, "ButtonOK").click();
            });
  EXPECT_TRUE(shown);
}

// A page with one control held to move (a speed from -8 to 8 in steps of 2) that logs every
// write and counts every read it is asked for.
class HoldPage final : public os::DescribedPropertyPage {
 public:
  HoldPage(std::vector<LONG>* writes, int* reads, LONG min, int failedStops = 0)
      : DescribedPropertyPage("Camera Control"),
        writes_(writes),
        reads_(reads),
        min_(min),
        failedStops_(failedStops) {}

 protected:
  HRESULT Build(IUnknown&) override {
    Binding binding;
    binding.get = [reads = reads_](LONG*) {
      ++*reads;
      return E_ACCESSDENIED;
    };
    binding.set = [writes = writes_, failedStops = failedStops_](LONG value) mutable {
      writes->push_back(value);
      if (value == 0 && failedStops > 0) {
        --failedStops;
        return HRESULT_ERROR_GEN_FAILURE;
      }
      return S_OK;
    };
    Add(os::PropertyPageControl::Hold("Pan, Speed", min_, 8, 2), binding);
    return S_OK;
  }

 private:
  std::vector<LONG>* writes_;
  int* reads_;
  LONG min_;
  int failedStops_;
};

// A frame request with one HoldPage, bound.
os::PropertyFrameRequest HoldRequest(std::vector<LONG>* writes, int* reads, LONG min,
                                     int failedStops = 0) {
  os::PropertyFrameRequest request;
  request.caption = "Hold Cam";
  request.pages.push_back(com::MakeCom<HoldPage>(writes, reads, min, failedStops));
  IUnknown* object = request.pages.back().Get();
  EXPECT_EQ(request.pages.back()->SetObjects(1, &object), S_OK);
  return request;
}

// Held, a button writes its direction's step; every way the hold ends writes 0 once, and
// nothing is ever read.
TEST_F(PropertyFrameTest, AHeldControlMovesWhileHeldAndStopsHoweverTheHoldEnds) {
  struct Case {
    const char* name;
    const char* button;
    std::function<void(PropertyFrameDialog&, QPushButton&)> end;
    std::vector<LONG> writes;
  };
  const Case cases[] = {
      {"release",
       "MorePanSpeed",
       [](PropertyFrameDialog&, QPushButton& held) { QTest::mouseRelease(&held, Qt::LeftButton); },
       {2, 0}},
      {"release outside",
       "LessPanSpeed",
       [](PropertyFrameDialog&, QPushButton& held) {
         QTest::mouseRelease(&held, Qt::LeftButton, {}, QPoint(-50, -50));
       },
       {-2, 0}},
      {"focus leaves",
       "MorePanSpeed",
       [](PropertyFrameDialog& frame, QPushButton&) {
         Find<QPushButton>(frame, "ButtonCancel").setFocus(Qt::TabFocusReason);
       },
       {2, 0}},
      {"frame closes",
       "LessPanSpeed",
       [](PropertyFrameDialog& frame, QPushButton&) { frame.reject(); },
       {-2, 0}},
      {"frame destroyed", "MorePanSpeed", {}, {2, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<LONG> writes;
    int reads = 0;
    {
      PropertyFrameDialog frame(HoldRequest(&writes, &reads, -8));
      frame.show();
      frame.activateWindow();
      ASSERT_TRUE(QTest::qWaitFor([&] { return frame.isActiveWindow(); }));
      auto& held = Find<QPushButton>(frame, c.button);
      QTest::mousePress(&held, Qt::LeftButton);
      ASSERT_TRUE(held.hasFocus());
      EXPECT_EQ(writes.size(), 1u) << "moving while held";
      if (c.end) {
        c.end(frame, held);
        EXPECT_EQ(writes, c.writes) << "stopped before the frame is gone";
      }
    }
    EXPECT_EQ(writes, c.writes);
    EXPECT_EQ(reads, 0);
  }
}

// A stop the device refuses is told once, and closing the frame tries it again.
TEST_F(PropertyFrameTest, AFailedStopIsToldAndTriedAgainOnClose) {
  std::vector<LONG> writes;
  int reads = 0;
  PropertyFrameDialog frame(HoldRequest(&writes, &reads, -8, 1));
  frame.show();
  frame.activateWindow();
  ASSERT_TRUE(QTest::qWaitFor([&] { return frame.isActiveWindow(); }));
  auto& held = Find<QPushButton>(frame, "MorePanSpeed");
  QTest::mousePress(&held, Qt::LeftButton);
  int told = 0;
  QString message;
  WhenModalShows<QMessageBox>({}, [&](QMessageBox& box) {
    ++told;
    message = box.text();
    box.accept();
  });
  QTest::mouseRelease(&held, Qt::LeftButton);
  EXPECT_EQ(told, 1);
  EXPECT_TRUE(message.startsWith(QStringLiteral("Pan, Speed could not be stopped")))
      << message.toStdString();
  EXPECT_EQ(writes, (std::vector<LONG>{2, 0})) << "the warning taking the focus writes nothing";
  frame.reject();
  EXPECT_EQ(writes, (std::vector<LONG>{2, 0, 0}));
}

// A range that does not reach below 0 offers no way down.
TEST_F(PropertyFrameTest, AHeldControlOffersOnlyTheDirectionsItsRangeHas) {
  std::vector<LONG> writes;
  int reads = 0;
  PropertyFrameDialog frame(HoldRequest(&writes, &reads, 0));
  frame.show();
  EXPECT_FALSE(Find<QPushButton>(frame, "LessPanSpeed").isVisible());
  EXPECT_TRUE(Find<QPushButton>(frame, "MorePanSpeed").isVisible());
  EXPECT_FALSE(Find<QPushButton>(frame, "ButtonApply").isEnabled()) << "a hold holds no change";
}

}  // namespace
}  // namespace korvane::ui::testing
