// The property pages of the simulated cameras: what they describe is the device's own
// control list, and what is set through them reaches the device's store.

#include <string>
#include <utility>
#include <vector>

#include "platform/os/PropertyPage.h"
#include "platform/sim/SimPages.h"
#include "tests/support/PropertyPageSummary.h"
#include "tests/sim/SimTestSupport.h"

namespace korvane::sim::testing {
namespace {

using os::PropertyPageControl;
using korvane::testing::ControlsOf;
using korvane::testing::PageFor;
using korvane::testing::Summary;

SimDevice PagesCamera() {
  SimDevice device = SmallCamera("Pages camera");
  device.videoProcAmp[KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY] =
      SimControl{0, 2, 1, 1, 2, 2, 2};
  SimFormat mjpg;
  mjpg.subtype = MEDIASUBTYPE_MJPG;
  mjpg.compression = MakeFourCC('M', 'J', 'P', 'G');
  mjpg.width = 1280;
  mjpg.height = 720;
  mjpg.bitCount = 24;
  mjpg.avgTimePerFrame = 666666;
  device.formats.push_back(mjpg);
  return device;
}

class SimPropertyPagesTest : public LeakCheckedTest {
 protected:
  ScopedSimCameras sims_{SimDescription{{PagesCamera()}}};
  const SimDevice& Device() {
    state_ = sims_.Store().Read();
    return state_.devices.at(0);
  }

 private:
  SimDescription state_;
};

TEST_F(SimPropertyPagesTest, PagesDescribeTheDeviceControls) {
  const ComPtr<IBaseFilter> filter = VideoFilter();
  ASSERT_TRUE(filter);
  const auto video = PageFor(CLSID_SimVideoProcAmpPage, filter.Get());
  std::string title;
  EXPECT_EQ(video->GetTitle(&title), S_OK);
  EXPECT_EQ(title, "Video Proc Amp");
  // Brightness has no automatic mode, Gain has; the Default button knows every default.
  EXPECT_EQ(Summary(ControlsOf(*video)),
            (std::vector<std::string>{
                "Brightness slider -10..10 step 1 default 0",
                "Gain slider 0..100 step 5 default 50",
                "Auto box",
                "Power line frequency choice 0=Disabled 1=50 Hz 2=60 Hz",
                "Default action #0=0 #1=50 #3=1",
            }));

  const auto camera = PageFor(CLSID_SimCameraControlPage, filter.Get());
  EXPECT_EQ(Summary(ControlsOf(*camera)),
            (std::vector<std::string>{
                "Zoom slider 100..400 step 10 default 100",
                "Default action #0=100",
                "Flash choice 0=Off 1=On 2=Auto",
                "Video stabilization choice 0=Off 1=High 2=Medium 3=Low 4=Auto",
            }));

  const auto stream = PageFor(CLSID_SimStreamFormatPage, FirstPin(filter.Get()).Get());
  EXPECT_EQ(Summary(ControlsOf(*stream)),
            (std::vector<std::string>{"Format choice 0=640 x 480, YUY2, 30.00 fps, 16 bit "
                                      "1=1280 x 720, MJPG, 15.00 fps, 24 bit"}));
}

TEST_F(SimPropertyPagesTest, ValuesReadAndWriteThroughTheDevice) {
  const ComPtr<IBaseFilter> filter = VideoFilter();
  const auto video = PageFor(CLSID_SimVideoProcAmpPage, filter.Get());
  const auto camera = PageFor(CLSID_SimCameraControlPage, filter.Get());
  const auto stream = PageFor(CLSID_SimStreamFormatPage, FirstPin(filter.Get()).Get());
  struct Case {
    const char* what;
    IPropertyPageDescription* page;
    ULONG control;
    LONG before, after;
  };
  const Case cases[] = {
      {"brightness", video.Get(), 0, 3, 7},           {"gain auto box", video.Get(), 2, 1, 0},
      {"power line frequency", video.Get(), 3, 2, 0}, {"zoom", camera.Get(), 0, 200, 310},
      {"flash mode", camera.Get(), 2, 2, 0},          {"format", stream.Get(), 0, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LONG value = -99;
    EXPECT_EQ(c.page->GetValue(c.control, &value), S_OK);
    EXPECT_EQ(value, c.before);
    EXPECT_EQ(c.page->SetValue(c.control, c.after), S_OK);
    EXPECT_EQ(c.page->GetValue(c.control, &value), S_OK);
    EXPECT_EQ(value, c.after);
  }
  // In the store: a value write kept the mode, a mode write kept the value, the record's
  // control word went back as it was.
  const SimDevice& device = Device();
  EXPECT_EQ(device.videoProcAmp.at(VideoProcAmp_Brightness).value, 7);
  EXPECT_EQ(device.videoProcAmp.at(VideoProcAmp_Brightness).flags, 2);
  EXPECT_EQ(device.videoProcAmp.at(VideoProcAmp_Gain).value, 40);
  EXPECT_EQ(device.videoProcAmp.at(VideoProcAmp_Gain).flags, 2);
  EXPECT_EQ(device.videoProcAmp.at(KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY).value, 0);
  EXPECT_EQ(device.cameraControl.at(CameraControl_Zoom).value, 310);
  EXPECT_EQ(device.flash, (SimKsRecord{0, 1}));
  EXPECT_EQ(device.currentFormat, 1u);
  // Actions and unknown indexes hold no value.
  LONG value = 0;
  EXPECT_EQ(video->GetValue(4, &value), E_INVALIDARG);
  EXPECT_EQ(video->SetValue(99, 1), E_INVALIDARG);
}

TEST_F(SimPropertyPagesTest, DeviceFailuresComeBackFromThePage) {
  const ComPtr<IBaseFilter> filter = VideoFilter();
  const auto video = PageFor(CLSID_SimVideoProcAmpPage, filter.Get());
  ASSERT_TRUE(sims_.Store().Modify([](SimDescription& state) {
    state.devices[0].faults["IAMVideoProcAmp::Set#0"] = E_ACCESSDENIED;
  }));
  EXPECT_EQ(video->SetValue(0, 5), E_ACCESSDENIED);
  EXPECT_EQ(Device().videoProcAmp.at(VideoProcAmp_Brightness).value, 3);
  ASSERT_TRUE(sims_.Store().Modify([](SimDescription& state) { state.devices[0].absent = true; }));
  LONG value = 0;
  EXPECT_EQ(video->GetValue(0, &value), HRESULT_ERROR_DEVICE_NOT_CONNECTED);
}

TEST_F(SimPropertyPagesTest, APageRefusesAnObjectWithoutItsInterface) {
  const ComPtr<IBaseFilter> filter = VideoFilter();
  HRESULT bound = S_OK;
  // The filter has no stream configuration; the pin has no control interfaces.
  PageFor(CLSID_SimStreamFormatPage, filter.Get(), &bound);
  EXPECT_EQ(bound, E_NOINTERFACE);
  PageFor(CLSID_SimVideoProcAmpPage, FirstPin(filter.Get()).Get(), &bound);
  EXPECT_EQ(bound, E_NOINTERFACE);
}

}  // namespace
}  // namespace korvane::sim::testing
