// Flash and video stabilization: the 8-byte records of two kernel-streaming property sets.

#include <vector>

#include "tests/camera/CameraFixture.h"

namespace korvane::camera::testing {
namespace {

// One of the four enumerated record values, with its device mapping in both directions.
template <class Enum>
struct KsValue {
  std::optional<SimKsRecord> SimDevice::*set;
  DWORD SimKsRecord::*field;
  Enum (TFCamera::*get)();
  void (TFCamera::*put)(Enum);
  std::vector<std::pair<DWORD, Enum>> reads;
  std::vector<std::pair<Enum, DWORD>> writes;
};

class KsPropertyTest : public CameraTest {
 protected:
  template <class Enum>
  void CheckMapping(const KsValue<Enum>& value) {
    TFCamera& camera = Select(FullCamera("Cam", "/dev/cam"));
    for (const auto& [device, expected] : value.reads) {
      ChangeDevice(
          [&, raw = device](SimDevice& d) { ((d.*value.set).value().*value.field) = raw; });
      EXPECT_EQ((camera.*value.get)(), expected) << "device value " << device;
    }
    for (const auto& [member, expected] : value.writes) {
      // The other half of the record holds a value of its own that must survive the write.
      ChangeDevice([&](SimDevice& d) { d.*value.set = SimKsRecord{77, 88}; });
      (camera.*value.put)(member);
      SimKsRecord written{77, 88};
      written.*value.field = expected;
      EXPECT_EQ(*(Device().*value.set), written) << "member " << int(member);
    }
  }
};

constexpr auto kFlash = &SimDevice::flash;
constexpr auto kStabilization = &SimDevice::stabilization;

TEST_F(KsPropertyTest, FlashMode) {
  CheckMapping(KsValue<TFFlashMode>{
      kFlash,
      &SimKsRecord::first,
      &TFCamera::GetFlashMode,
      &TFCamera::SetFlashMode,
      {{0, fmOff}, {1, fmOn}, {2, fmAuto}, {3, fmUnknown}, {4, fmUnknown}, {0xFFFFFFFF, fmUnknown}},
      {{fmOff, 0}, {fmOn, 1}, {fmAuto, 2}, {fmUnknown, 0}}});
}

TEST_F(KsPropertyTest, FlashControl) {
  CheckMapping(KsValue<TFFlashControl>{kFlash,
                                       &SimKsRecord::second,
                                       &TFCamera::GetFlashControl,
                                       &TFCamera::SetFlashControl,
                                       {{0, fcUnknown}, {1, fcAuto}, {2, fcManual}, {3, fcUnknown}},
                                       {{fcAuto, 1}, {fcManual, 2}, {fcUnknown, 1}}});
}

TEST_F(KsPropertyTest, VideoStabilizationMode) {
  CheckMapping(KsValue<TFVideoStabilizationMode>{
      kStabilization,
      &SimKsRecord::first,
      &TFCamera::GetVideoStabilizationMode,
      &TFCamera::SetVideoStabilizationMode,
      {{0, vmOff}, {1, vmHigh}, {2, vmMedium}, {3, vmLow}, {4, vmAuto}, {5, vmUnknown}},
      {{vmOff, 0}, {vmHigh, 1}, {vmMedium, 2}, {vmLow, 3}, {vmAuto, 4}, {vmUnknown, 0}}});
}

TEST_F(KsPropertyTest, VideoStabilizationControl) {
  CheckMapping(KsValue<TFVideoStabilizationControl>{
      kStabilization,
      &SimKsRecord::second,
      &TFCamera::GetVideoStabilizationControl,
      &TFCamera::SetVideoStabilizationControl,
      {{0, vcUnknown}, {1, vcAuto}, {2, vcManual}, {3, vcUnknown}},
      {{vcAuto, 1}, {vcManual, 2}, {vcUnknown, 1}}});
}

TEST_F(KsPropertyTest, SupportFollowsTheSetAndBothValuesAgree) {
  SimDevice device = FullCamera("Cam", "/dev/cam");
  device.stabilization.reset();
  TFCamera& camera = Select(device);
  EXPECT_TRUE(camera.GetFlashModeSupported());
  EXPECT_TRUE(camera.GetFlashControlSupported());
  EXPECT_FALSE(camera.GetVideoStabilizationModeSupported());
  EXPECT_FALSE(camera.GetVideoStabilizationControlSupported());

  const EOleSysError error = OleErrorOf([&] { camera.GetVideoStabilizationMode(); });
  EXPECT_EQ(error.ErrorCode(), HRESULT_ERROR_SET_NOT_FOUND);
  EXPECT_STREQ(error.what(), "The property set was not found on the object");

  // Any failure of the probe other than "not found" still means the set is there.
  ChangeDevice([](SimDevice& d) { d.faults["IKsPropertySet::Get"] = E_FAIL; });
  EXPECT_TRUE(camera.GetVideoStabilizationModeSupported());
}

TEST_F(KsPropertyTest, FailuresCarryTheSystemTextNotTheMediaText) {
  SimDevice device = FullCamera("Cam", "/dev/cam");
  device.faults["IKsPropertySet::Get"] = VFW_E_NOT_CONNECTED;  // a code only the media text knows
  TFCamera& camera = Select(device);
  EOleSysError error = OleErrorOf([&] { camera.GetFlashMode(); });
  EXPECT_EQ(error.ErrorCode(), VFW_E_NOT_CONNECTED);
  EXPECT_STREQ(error.what(), "OLE error 80040209");

  ChangeDevice([](SimDevice& d) {
    d.faults.clear();
    d.faults["IKsPropertySet::Set"] = E_ACCESSDENIED;
  });
  error = OleErrorOf([&] { camera.SetFlashMode(fmOn); });
  EXPECT_EQ(error.ErrorCode(), E_ACCESSDENIED);
  EXPECT_STREQ(error.what(), "Access is denied");
  EXPECT_EQ(*Device().flash, (SimKsRecord{1, 2}));
}

TEST_F(KsPropertyTest, AFilterWithoutThePropertySetInterfaceRaises) {
  SimDevice device = FullCamera("Cam", "/dev/cam");
  device.missingInterfaces = {"IKsPropertySet"};
  TFCamera& camera = Select(device);
  for (const auto& use : std::vector<std::function<void()>>{
           [&] { camera.GetFlashMode(); }, [&] { camera.SetFlashControl(fcAuto); },
           [&] { camera.GetFlashModeSupported(); },
           [&] { camera.GetVideoStabilizationControlSupported(); }}) {
    const EOleSysError error = OleErrorOf(use);
    EXPECT_EQ(error.ErrorCode(), E_NOINTERFACE);
    EXPECT_STREQ(error.what(), "The object does not offer the requested interface");
  }
}

}  // namespace
}  // namespace korvane::camera::testing
