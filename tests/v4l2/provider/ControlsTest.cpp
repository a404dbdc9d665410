// The window's controls on an emulated UVC camera, through the camera component: each row's
// driver control, its range and automatic companion, and writes as the driver takes them.

#include <linux/videodev2.h>

#include "tests/v4l2/provider/Cameras.h"
#include "tests/v4l2/provider/V4l2Fixture.h"

namespace korvane::v4l2::testing {
namespace {

struct RowCase {
  const char* name;
  bool (TFCamera::*supported)();
  LONG (TFCamera::*value)();
  TFRange (TFCamera::*range)();
  bool (TFCamera::*automatic)();
  LONG expectedValue;
  TFRange expectedRange;  // Min, Max, Delta, Default, Auto, Manual
  bool expectedAuto;
};

#define ROW(P)                                                                   \
#P, &TFCamera::Get##P##Supported, &TFCamera::Get##P, &TFCamera::Get##P##Range, \
      &TFCamera::Get##P##Auto

const RowCase kRows[] = {
    {ROW(Brightness), 10, {-64, 64, 1, 0, false, true}, false},
    {ROW(Contrast), 51, {0, 100, 1, 50, false, true}, false},
    {ROW(Saturation), 62, {0, 100, 1, 60, false, true}, false},
    {ROW(Hue), -5, {-40, 40, 1, 0, true, true}, false},
    {ROW(Sharpness), 4, {0, 7, 1, 3, false, true}, false},
    {ROW(Gamma), 301, {100, 500, 1, 300, false, true}, false},
    {ROW(BacklightCompensation), 2, {0, 2, 1, 1, false, true}, false},
    {ROW(WhiteBalance), 4600, {2800, 6500, 10, 4600, true, true}, true},
    {ROW(Gain), 32, {0, 255, 1, 0, false, true}, false},
    {ROW(Exposure), 250, {3, 2047, 1, 250, true, true}, true},
    {ROW(Focus), 30, {0, 250, 5, 0, true, true}, true},
    {ROW(Zoom), 120, {100, 500, 1, 100, false, true}, false},
    {ROW(Pan), 3600, {-36000, 36000, 3600, 0, false, true}, false},
    {ROW(Tilt), -3600, {-36000, 36000, 3600, 0, false, true}, false},
    {ROW(Iris), 6, {0, 10, 1, 5, false, true}, false},
};

class RowTest : public V4l2Test, public ::testing::WithParamInterface<RowCase> {};

TEST_P(RowTest, ReadsTheDriverControlWithItsRangeAndMode) {
  const RowCase& row = GetParam();
  TFCamera& camera = Select(FullCamera(), "Test Cam");
  EXPECT_TRUE((camera.*row.supported)());
  EXPECT_EQ((camera.*row.value)(), row.expectedValue);
  const TFRange range = (camera.*row.range)();
  EXPECT_EQ(range.Min, row.expectedRange.Min);
  EXPECT_EQ(range.Max, row.expectedRange.Max);
  EXPECT_EQ(range.Delta, row.expectedRange.Delta);
  EXPECT_EQ(range.Default, row.expectedRange.Default);
  EXPECT_EQ(range.Auto, row.expectedRange.Auto);
  EXPECT_EQ(range.Manual, row.expectedRange.Manual);
  EXPECT_EQ((camera.*row.automatic)(), row.expectedAuto);
}

INSTANTIATE_TEST_SUITE_P(EveryRow, RowTest, ::testing::ValuesIn(kRows),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

TEST_F(V4l2Test, ControlsTheCameraLacksAreUnsupported) {
  TFCamera& camera = Select(CameraWith(R"({"name":"brightness","min":0,"max":255})"), "Small Cam");
  EXPECT_TRUE(camera.GetBrightnessSupported());
  // Roll has no driver control at all; ColorEnable is not a UVC control.
  for (auto supported : {&TFCamera::GetRollSupported, &TFCamera::GetColorEnableSupported,
                         &TFCamera::GetGainSupported, &TFCamera::GetExposureSupported,
                         &TFCamera::GetPowerLineFrequencySupported}) {
    EXPECT_FALSE((camera.*supported)());
  }
  const auto [code, text] = OleErrorOf([&] { camera.GetExposure(); });
  EXPECT_EQ(code, HRESULT_ERROR_NOT_FOUND) << text;
}

TEST_F(V4l2Test, ValueWrittenManuallyWhileAutomaticSwitchesTheCompanionOffAndLands) {
  TFCamera& camera = Select(FullCamera(), "Test Cam");
  ASSERT_TRUE(camera.GetWhiteBalanceAuto());
  camera.SetWhiteBalanceAuto(false);
  camera.SetWhiteBalance(3300);
  EXPECT_FALSE(camera.GetWhiteBalanceAuto());
  EXPECT_EQ(Kernel().ControlValue("cam", V4L2_CID_AUTO_WHITE_BALANCE), 0);
  EXPECT_EQ(Kernel().ControlValue("cam", V4L2_CID_WHITE_BALANCE_TEMPERATURE), 3300);

  // A manual write straight through the interface (as a settings file's load does after the
  // Auto states) while focus runs automatically: two calls, companion first.
  ComPtr<IAMCameraControl> control;
  ASSERT_EQ(camera.GetCaptureFilter()->QueryInterface(IID_IAMCameraControl,
                                                      control.ReleaseAndGetVoidAddressOf()),
            S_OK);
  ASSERT_EQ(control->Set(CameraControl_Focus, 100, CameraControl_Flags_Manual), S_OK);
  EXPECT_EQ(Kernel().ControlValue("cam", V4L2_CID_FOCUS_AUTO), 0);
  EXPECT_EQ(camera.GetFocus(), 100);
}

TEST_F(V4l2Test, WritingAValueKeepsAnAutomaticControlAutomatic) {
  TFCamera& camera = Select(FullCamera(), "Test Cam");
  Kernel().ResetCounts();
  camera.SetFocus(200);
  EXPECT_TRUE(camera.GetFocusAuto());
  EXPECT_EQ(Kernel().ControlValue("cam", V4L2_CID_FOCUS_ABSOLUTE), 30);
  EXPECT_EQ(Kernel().IoctlCount(VIDIOC_S_CTRL), 0u) << "already automatic: nothing to write";
}

TEST_F(V4l2Test, ExposureModesFollowTheMenuTheCameraOffers) {
  TFCamera& camera = Select(FullCamera(), "Test Cam");
  EXPECT_TRUE(camera.GetExposureAuto());  // aperture priority
  camera.SetExposureAuto(false);
  EXPECT_EQ(Kernel().ControlValue("cam", V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_MANUAL);
  camera.SetExposure(500);
  EXPECT_EQ(camera.GetExposure(), 500);
  camera.SetExposureAuto(true);
  EXPECT_EQ(Kernel().ControlValue("cam", V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_APERTURE_PRIORITY);

  // A camera with the full automatic mode and no aperture priority gets the full one; one with
  // only manual and shutter priority cannot run exposure automatically at all.
  TFCamera& full = Select(CameraWith(R"({"name":"auto_exposure","menu":[0,1],"value":1},
      {"name":"exposure_time_absolute","min":1,"max":100,"value":10})"),
                          "Small Cam");
  full.SetExposureAuto(true);
  EXPECT_EQ(Kernel().ControlValue("cam", V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_AUTO);
  // Shutter priority alone is automatic exposure all the same: the driver keeps the time.
  TFCamera& shutter = Select(CameraWith(R"({"name":"auto_exposure","menu":[1,2],"value":1},
      {"name":"exposure_time_absolute","min":1,"max":100,"value":10})"),
                             "Small Cam");
  EXPECT_TRUE(shutter.GetExposureRange().Auto);
  EXPECT_FALSE(shutter.GetExposureAuto());
  shutter.SetExposureAuto(true);
  EXPECT_EQ(Kernel().ControlValue("cam", V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_SHUTTER_PRIORITY);
}

// The driver makes the exposure time writable in manual mode only, so each other mode reads
// as automatic, a value written keeps the mode (and so does not land), and switching to manual
// works from each of them.
class ExposureModeTest : public V4l2Test, public ::testing::WithParamInterface<int> {};

TEST_P(ExposureModeTest, OnlyManualModeLeavesTheTimeToTheUser) {
  const int mode = GetParam();
  const bool manual = mode == V4L2_EXPOSURE_MANUAL;
  TFCamera& camera = Select(CameraWith(R"({"name":"auto_exposure","menu":[0,1,2,3],"value":)" +
                                       std::to_string(mode) + R"(},
      {"name":"exposure_time_absolute","min":1,"max":1000,"value":100})"),
                            "Small Cam");
  EXPECT_EQ(camera.GetExposureAuto(), !manual);
  EXPECT_EQ(camera.GetExposure(), 100);

  camera.SetExposure(300);
  EXPECT_EQ(Kernel().ControlValue("cam", V4L2_CID_EXPOSURE_AUTO), mode);
  EXPECT_EQ(Kernel().ControlValue("cam", V4L2_CID_EXPOSURE_ABSOLUTE), manual ? 300 : 100);

  camera.SetExposureAuto(false);
  EXPECT_EQ(Kernel().ControlValue("cam", V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_MANUAL);
  camera.SetExposure(400);
  EXPECT_EQ(camera.GetExposure(), 400);
  EXPECT_FALSE(camera.GetExposureAuto());
}

INSTANTIATE_TEST_SUITE_P(EveryMode, ExposureModeTest,
                         ::testing::Values(V4L2_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL,
                                           V4L2_EXPOSURE_SHUTTER_PRIORITY,
                                           V4L2_EXPOSURE_APERTURE_PRIORITY));

TEST_F(V4l2Test, PowerLineFrequencyUsesTheItemsTheMenuHas) {
  struct Case {
    const char* menu;
    bool autoCapable;
  };
  for (const Case& c : {Case{"[1,2]", false}, Case{"[0,1,2]", false}, Case{"[0,1,2,3]", true}}) {
    SCOPED_TRACE(c.menu);
    TFCamera& camera = Select(CameraWith(std::string(R"({"name":"power_line_frequency","menu":)") +
                                         c.menu + R"(,"default":1,"value":1})"),
                              "Small Cam");
    ASSERT_TRUE(camera.GetPowerLineFrequencySupported());
    EXPECT_EQ(camera.GetPowerLineFrequency(), pf50Hz);
    camera.SetPowerLineFrequency(pf60Hz);
    EXPECT_EQ(Kernel().ControlValue("cam", V4L2_CID_POWER_LINE_FREQUENCY), 2);
    EXPECT_EQ(camera.GetPowerLineFrequency(), pf60Hz);
    const auto [code, text] = OleErrorOf([&] { camera.SetPowerLineFrequencyAuto(true); });
    if (c.autoCapable) {
      EXPECT_EQ(code, 0) << text;
      EXPECT_EQ(camera.GetPowerLineFrequency(), pfAuto);
      // From automatic back to a fixed frequency: the value is not mistaken for the mode.
      camera.SetPowerLineFrequency(pf50Hz);
      EXPECT_EQ(camera.GetPowerLineFrequency(), pf50Hz);
    } else {
      EXPECT_EQ(code, E_INVALIDARG) << text;
    }
  }
}

TEST_F(V4l2Test, TheDriverClampsAndRoundsAndTheNextReadShowsIt) {
  TFCamera& camera = Select(FullCamera(), "Test Cam");
  camera.SetPan(5000);  // steps of 3600 from -36000: 3600
  EXPECT_EQ(camera.GetPan(), 3600);
  camera.SetZoom(9999);
  EXPECT_EQ(camera.GetZoom(), 500);
  camera.SetBrightness(-1000);
  EXPECT_EQ(camera.GetBrightness(), -64);
}

TEST_F(V4l2Test, AFirmwareErrorOnOneControlLeavesTheOthersWorking) {
  TFCamera& camera =
      Select(FullCamera("", R"({"faults":[{"control":"gain","call":"get","errno":"EIO"},
                                   {"control":"contrast","call":"set","errno":"ETIMEDOUT"}]})"),
             "Test Cam");
  EXPECT_TRUE(camera.GetGainSupported()) << "a failing control is still there";
  EXPECT_EQ(OleErrorOf([&] { camera.GetGain(); }).first, E_FAIL);
  EXPECT_EQ(OleErrorOf([&] { camera.SetContrast(60); }).first, HRESULT_ERROR_TIMEOUT);
  camera.SetBrightness(20);
  EXPECT_EQ(camera.GetBrightness(), 20);
  EXPECT_EQ(camera.GetContrast(), 51);
}

TEST_F(V4l2Test, InterruptedCallsAreRetried) {
  TFCamera& camera = Select(FullCamera(), "Test Cam");
  Kernel().InterruptNextCalls(3);
  camera.SetBrightness(-7);
  EXPECT_EQ(camera.GetBrightness(), -7);
}

TEST_F(V4l2Test, AWriteTheDriverRefusesWhileAutomaticSaysWhy) {
  // A kernel that lets the companion stay on and the firmware refuse the value.
  TFCamera& camera = Select(FullCamera(), "Test Cam");
  ComPtr<IAMVideoProcAmp> procAmp;
  ASSERT_EQ(camera.GetCaptureFilter()->QueryInterface(IID_IAMVideoProcAmp,
                                                      procAmp.ReleaseAndGetVoidAddressOf()),
            S_OK);
  // Straight to the driver, as another program might: the value under automatic white balance.
  ComPtr<IV4l2DeviceAccess> access;
  ASSERT_EQ(camera.GetCaptureFilter()->QueryInterface(IID_IV4l2DeviceAccess,
                                                      access.ReleaseAndGetVoidAddressOf()),
            S_OK);
  v4l2_control control{V4L2_CID_WHITE_BALANCE_TEMPERATURE, 3000};
  EXPECT_EQ(access->Device()->Call(VIDIOC_S_CTRL, &control, CallKind::ControlWrite),
            HRESULT_CONTROL_IS_AUTOMATIC);
  EXPECT_NE(com::OleErrorMessage(HRESULT_CONTROL_IS_AUTOMATIC).find("automatic"),
            std::string::npos);
}

}  // namespace
}  // namespace korvane::v4l2::testing

namespace korvane::v4l2::testing {
namespace {

// The refresh timer re-reads the camera every few seconds while another program may stream
// from it: the re-read must neither probe formats (a USB transfer each on UVC) nor write.
TEST_F(V4l2Test, ARereadNeverProbesOrWritesTheDevice) {
  TFCamera& camera = Select(FullCamera(), "Test Cam");
  Kernel().ResetCounts();
  for (const RowCase& row : kRows) {
    if (!(camera.*row.supported)()) continue;
    (camera.*row.value)();
    (camera.*row.range)();
    (camera.*row.automatic)();
  }
  camera.GetPowerLineFrequency();
  EXPECT_EQ(camera.GetSupportedFormats().size(), 4u);
  camera.GetFormat();
  EXPECT_GT(Kernel().IoctlCount(), 0u);
  for (const unsigned long request :
       {VIDIOC_TRY_FMT, VIDIOC_S_FMT, VIDIOC_S_PARM, VIDIOC_S_CTRL, VIDIOC_S_EXT_CTRLS}) {
    EXPECT_EQ(Kernel().IoctlCount(request), 0u) << std::hex << request;
  }
}

}  // namespace
}  // namespace korvane::v4l2::testing

namespace korvane::v4l2::testing {
namespace {

// Drivers beyond UVC: a colour killer is "colour enabled" the other way round, and a gain
// with its own automatic switch can run automatically.
TEST_F(V4l2Test, ColourKillerAndAutomaticGainOfOtherDrivers) {
  TFCamera& camera = Select(CameraWith(R"({"name":"color_killer","default":0,"value":0},
      {"name":"gain","min":0,"max":100,"value":10},{"name":"gain_automatic","value":1})"),
                            "Small Cam");
  ASSERT_TRUE(camera.GetColorEnableSupported());
  EXPECT_EQ(camera.GetColorEnable(), 1);
  const TFRange colour = camera.GetColorEnableRange();
  EXPECT_EQ(colour.Max, 1);
  EXPECT_EQ(colour.Default, 1);
  camera.SetColorEnable(0);
  EXPECT_EQ(Kernel().ControlValue("cam", V4L2_CID_COLOR_KILLER), 1);
  EXPECT_FALSE(camera.GetColorEnabled());

  EXPECT_TRUE(camera.GetGainRange().Auto);
  EXPECT_TRUE(camera.GetGainAuto());
  camera.SetGainAuto(false);
  camera.SetGain(42);
  EXPECT_EQ(Kernel().ControlValue("cam", V4L2_CID_AUTOGAIN), 0);
  EXPECT_EQ(camera.GetGain(), 42);
}

}  // namespace
}  // namespace korvane::v4l2::testing
