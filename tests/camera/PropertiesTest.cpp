// The controls of IAMVideoProcAmp and IAMCameraControl: every full control through its own
// accessors, the mode rules, support, errors and the enumerated views.

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/camera/CameraFixture.h"

namespace korvane::camera::testing {
namespace {

struct FullControl {
  const char* name;
  bool cameraControl;  // else IAMVideoProcAmp
  LONG index;
  LONG (TFCamera::*get)();
  void (TFCamera::*set)(LONG);
  bool (TFCamera::*getAuto)();
  void (TFCamera::*setAuto)(bool);
  TFRange (TFCamera::*getRange)();
  bool (TFCamera::*getSupported)();
};

// clang-format off
#define FULL_CONTROL(P, cameraControl, index)                                                \
  FullControl{#P, cameraControl, index, &TFCamera::Get##P, &TFCamera::Set##P,                \
              &TFCamera::Get##P##Auto, &TFCamera::Set##P##Auto, &TFCamera::Get##P##Range,    \
              &TFCamera::Get##P##Supported}
// clang-format on

const FullControl kFullControls[] = {
    FULL_CONTROL(Brightness, false, 0),
    FULL_CONTROL(Contrast, false, 1),
    FULL_CONTROL(Hue, false, 2),
    FULL_CONTROL(Saturation, false, 3),
    FULL_CONTROL(Sharpness, false, 4),
    FULL_CONTROL(Gamma, false, 5),
    FULL_CONTROL(ColorEnable, false, 6),
    FULL_CONTROL(WhiteBalance, false, 7),
    FULL_CONTROL(BacklightCompensation, false, 8),
    FULL_CONTROL(Gain, false, 9),
    FULL_CONTROL(DigitalMultiplier, false, 10),
    FULL_CONTROL(DigitalMultiplierLimit, false, 11),
    FULL_CONTROL(Pan, true, 0),
    FULL_CONTROL(Tilt, true, 1),
    FULL_CONTROL(Roll, true, 2),
    FULL_CONTROL(Zoom, true, 3),
    FULL_CONTROL(Exposure, true, 4),
    FULL_CONTROL(Iris, true, 5),
    FULL_CONTROL(Focus, true, 6),
};

#undef FULL_CONTROL

void PrintTo(const FullControl& control, std::ostream* out) {
  *out << control.name;
}

// The device's control behind an accessor.
SimControl& ControlOf(SimDevice& device, const FullControl& control) {
  return (control.cameraControl ? device.cameraControl : device.videoProcAmp).at(control.index);
}

std::string InterfaceOf(const FullControl& control) {
  return control.cameraControl ? "IAMCameraControl" : "IAMVideoProcAmp";
}

class FullControlTest : public CameraTest, public ::testing::WithParamInterface<FullControl> {};

TEST_P(FullControlTest, ReadsAndWritesItsOwnIndexKeepingTheOtherHalf) {
  const FullControl& control = GetParam();
  TFCamera& camera = Select(FullCamera("Cam", "/dev/cam"));
  SimDevice expected = Device();

  EXPECT_EQ((camera.*control.get)(), ControlOf(expected, control).value);

  // A value written to an automatic control leaves it automatic.
  ChangeDevice([&](SimDevice& d) { ControlOf(d, control).flags = 1; });
  (camera.*control.set)(42);
  SimDevice device = Device();
  EXPECT_EQ(ControlOf(device, control).value, 42);
  EXPECT_EQ(ControlOf(device, control).flags, 1);
  EXPECT_TRUE((camera.*control.getAuto)());

  // Writing the mode writes the current value back unchanged.
  (camera.*control.setAuto)(false);
  device = Device();
  EXPECT_EQ(ControlOf(device, control).value, 42);
  EXPECT_EQ(ControlOf(device, control).flags, 2);
  (camera.*control.setAuto)(true);
  EXPECT_EQ(ControlOf(device = Device(), control).flags, 1);

  // Nothing else of the device changed.
  ControlOf(expected, control) = ControlOf(device, control);
  EXPECT_EQ(device, expected);
}

TEST_P(FullControlTest, AutoIsTrueOnlyForFlagsOfExactlyOne) {
  const FullControl& control = GetParam();
  TFCamera& camera = Select(FullCamera("Cam", "/dev/cam"));
  for (const auto& [flags, isAuto] : std::initializer_list<std::pair<LONG, bool>>{
           {1, true}, {2, false}, {3, false}, {0, false}}) {
    ChangeDevice([&, mode = flags](SimDevice& d) { ControlOf(d, control).flags = mode; });
    EXPECT_EQ((camera.*control.getAuto)(), isAuto) << "flags " << flags;
  }
  // A value goes back with whatever flags the driver reported, odd ones included.
  ChangeDevice([&](SimDevice& d) { ControlOf(d, control).flags = 3; });
  (camera.*control.set)(5);
  SimDevice device = Device();
  EXPECT_EQ(ControlOf(device, control).value, 5);
  EXPECT_EQ(ControlOf(device, control).flags, 3);
}

TEST_P(FullControlTest, RangeCarriesTheCapabilityBits) {
  const FullControl& control = GetParam();
  TFCamera& camera = Select(FullCamera("Cam", "/dev/cam"));
  struct Case {
    LONG caps;
    bool autoCapable, manualCapable;
  };
  for (const Case& c : {Case{0, false, false}, Case{1, true, false}, Case{2, false, true},
                        Case{3, true, true}, Case{4 | 2, false, true}}) {
    ChangeDevice(
        [&](SimDevice& d) { ControlOf(d, control) = SimControl{-7, 9, 2, 3, c.caps, 0, 2}; });
    const TFRange expected{-7, 9, 2, 3, c.autoCapable, c.manualCapable};
    EXPECT_EQ((camera.*control.getRange)(), expected) << "caps " << c.caps;
  }
}

TEST_P(FullControlTest, SupportedIsFalseOnlyForNotFound) {
  const FullControl& control = GetParam();
  const std::string getCall = InterfaceOf(control) + "::Get#" + std::to_string(control.index);
  TFCamera& camera = Select(FullCamera("Cam", "/dev/cam"));
  EXPECT_TRUE((camera.*control.getSupported)());

  struct Case {
    HRESULT fault;
    bool supported;
  };
  for (const Case& c :
       {Case{HRESULT_ERROR_NOT_FOUND, false}, Case{HRESULT_ERROR_SET_NOT_FOUND, false},
        Case{E_FAIL, true}, Case{HRESULT_ERROR_BUSY, true}}) {
    ChangeDevice([&](SimDevice& d) { d.faults[getCall] = c.fault; });
    EXPECT_EQ((camera.*control.getSupported)(), c.supported) << c.fault;
    // The value read reports the driver's failure with its code.
    EXPECT_EQ(OleErrorOf([&] { (camera.*control.get)(); }).ErrorCode(), c.fault);
  }

  // A control the driver does not have at all.
  ChangeDevice([&](SimDevice& d) {
    d.faults.clear();
    (control.cameraControl ? d.cameraControl : d.videoProcAmp).erase(control.index);
  });
  EXPECT_FALSE((camera.*control.getSupported)());
  EXPECT_EQ(OleErrorOf([&] { (camera.*control.getRange)(); }).ErrorCode(), HRESULT_ERROR_NOT_FOUND);
}

TEST_P(FullControlTest, AMissingInterfaceIsUnsupportedButRaisesForUse) {
  const FullControl& control = GetParam();
  SimDevice device = FullCamera("Cam", "/dev/cam");
  device.missingInterfaces = {InterfaceOf(control)};
  TFCamera& camera = Select(device);
  EXPECT_FALSE((camera.*control.getSupported)());
  const std::string message = "Cannot retrieve '" + InterfaceOf(control) + "' interface";
  EXPECT_EQ(CameraErrorOf([&] { (camera.*control.get)(); }), message);
  EXPECT_EQ(CameraErrorOf([&] { (camera.*control.set)(1); }), message);
  EXPECT_EQ(CameraErrorOf([&] { (camera.*control.getAuto)(); }), message);
  EXPECT_EQ(CameraErrorOf([&] { (camera.*control.setAuto)(true); }), message);
  EXPECT_EQ(CameraErrorOf([&] { (camera.*control.getRange)(); }), message);
}

TEST_P(FullControlTest, AFailedWriteRaisesAndLeavesTheDevice) {
  const FullControl& control = GetParam();
  TFCamera& camera = Select(FullCamera("Cam", "/dev/cam"));
  ChangeDevice([&](SimDevice& d) { d.faults[InterfaceOf(control) + "::Set"] = E_ACCESSDENIED; });
  const SimDevice before = Device();
  const EOleSysError error = OleErrorOf([&] { (camera.*control.set)(77); });
  EXPECT_EQ(error.ErrorCode(), E_ACCESSDENIED);
  EXPECT_STREQ(error.what(), "Access is denied");
  EXPECT_EQ(Device(), before);
}

INSTANTIATE_TEST_SUITE_P(AllFullControls, FullControlTest, ::testing::ValuesIn(kFullControls),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(CameraTest, PowerLineFrequencyMapsDeviceValues) {
  TFCamera& camera = Select(FullCamera("Cam", "/dev/cam"));
  const std::pair<LONG, TFPowerLineFrequency> reads[] = {
      {0, pfDisabled}, {1, pf50Hz}, {2, pf60Hz}, {3, pfAuto}, {4, pfUnknown}, {-1, pfUnknown}};
  for (const auto& [value, expected] : reads) {
    ChangeDevice([&, raw = value](SimDevice& d) { d.videoProcAmp[13].value = raw; });
    EXPECT_EQ(camera.GetPowerLineFrequency(), expected) << value;
  }
  const std::pair<TFPowerLineFrequency, LONG> writes[] = {
      {pfDisabled, 0}, {pf50Hz, 1},    {pf60Hz, 2},
      {pfAuto, 3},     {pfUnknown, 0}, {static_cast<TFPowerLineFrequency>(9), 0}};
  ChangeDevice([&](SimDevice& d) { d.videoProcAmp[13].flags = 1; });
  for (const auto& [member, expected] : writes) {
    ChangeDevice([&](SimDevice& d) { d.videoProcAmp[13].value = 99; });
    camera.SetPowerLineFrequency(member);
    EXPECT_EQ(Device().videoProcAmp.at(13).value, expected) << int(member);
    EXPECT_EQ(Device().videoProcAmp.at(13).flags, 1);  // the mode stays
  }
  camera.SetPowerLineFrequencyAuto(false);
  EXPECT_FALSE(camera.GetPowerLineFrequencyAuto());
  EXPECT_TRUE(camera.GetPowerLineFrequencySupported());
  ChangeDevice([&](SimDevice& d) { d.videoProcAmp.erase(13); });
  EXPECT_FALSE(camera.GetPowerLineFrequencySupported());
  // Index 12 is never asked for.
  EXPECT_EQ(Store().CallCount("IAMVideoProcAmp::Get#12"), 0u);
}

TEST_F(CameraTest, ScanModeFocalLengthAndColorEnabled) {
  TFCamera& camera = Select(FullCamera("Cam", "/dev/cam"));
  const std::pair<LONG, TFScanMode> reads[] = {
      {0, smInterlace}, {1, smProgressive}, {2, smUnknown}, {3, smUnknown}, {-5, smUnknown}};
  for (const auto& [value, expected] : reads) {
    ChangeDevice([&, raw = value](SimDevice& d) { d.cameraControl[7].value = raw; });
    EXPECT_EQ(camera.GetScanMode(), expected) << value;
  }
  for (const auto& [member, expected] :
       {std::pair{smInterlace, 0}, std::pair{smProgressive, 1}, std::pair{smUnknown, 0}}) {
    ChangeDevice([&](SimDevice& d) { d.cameraControl[7].value = 99; });
    camera.SetScanMode(member);
    EXPECT_EQ(Device().cameraControl.at(7).value, expected);
  }
  camera.SetScanModeAuto(true);
  EXPECT_TRUE(camera.GetScanModeAuto());
  EXPECT_EQ(Device().cameraControl.at(7).flags, 1);

  EXPECT_EQ(camera.GetFocalLength(), 118);

  for (const auto& [value, enabled] :
       {std::pair{0, false}, std::pair{1, true}, std::pair{-3, true}}) {
    ChangeDevice([&, raw = value](SimDevice& d) { d.videoProcAmp[6].value = raw; });
    EXPECT_EQ(camera.GetColorEnabled(), enabled) << value;
  }
  camera.SetColorEnabled(false);
  EXPECT_EQ(Device().videoProcAmp.at(6).value, 0);
  camera.SetColorEnabled(true);
  EXPECT_EQ(Device().videoProcAmp.at(6).value, 1);
  camera.SetColorEnabledAuto(true);
  EXPECT_TRUE(camera.GetColorEnableAuto());
  EXPECT_TRUE(camera.GetColorEnabledAuto());
  EXPECT_TRUE(camera.GetColorEnabledSupported());
}

}  // namespace
}  // namespace korvane::camera::testing

namespace korvane::camera::testing {
namespace {

// Another program changes the camera file; the component holds no copy of any value.
TEST_F(CameraTest, AChangeByAnotherProgramIsSeenAtTheNextRead) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() /
      ("korvane-camera-test-" + std::to_string(::getpid()) + ".json");
  const auto writeFile = [&](LONG brightness) {
    SimDevice device = FullCamera("Cam", "/dev/cam");
    device.videoProcAmp[0].value = brightness;
    const std::filesystem::path next = file.string() + ".new";
    std::ofstream(next) << korvane::sim::ToJson(SimDescription{{device}});
    std::filesystem::rename(next, file);  // a whole new file, as an atomic writer leaves it
  };
  writeFile(10);
  {
    korvane::sim::ScopedSimCameras cameras(file);
    TFCamera camera;
    camera.SetDeviceName("Cam");
    EXPECT_EQ(camera.GetBrightness(), 10);
    writeFile(-20);
    EXPECT_EQ(camera.GetBrightness(), -20);
    camera.SetBrightness(30);
    EXPECT_EQ(cameras.Store().Read().devices.at(0).videoProcAmp.at(0).value, 30);
  }
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace korvane::camera::testing
