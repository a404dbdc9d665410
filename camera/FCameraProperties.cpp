// The controls of IAMVideoProcAmp and IAMCameraControl. Both interfaces have the same three
// calls, so one set of operations serves both; the named operations of each interface only
// say which interface and which error name.

#include "camera/FCamera.h"
#include "camera/FCameraChecks.h"
#include "camera/FDirectShow9.h"
#include "camera/FValueMaps.h"

using namespace korvane::camera;

namespace {

constexpr LONG kFlagsAuto = VideoProcAmp_Flags_Auto;
constexpr LONG kFlagsManual = VideoProcAmp_Flags_Manual;
static_assert(kFlagsAuto == CameraControl_Flags_Auto && kFlagsManual == CameraControl_Flags_Manual);

struct ControlState {
  LONG Value = 0;
  LONG Flags = 0;
};

template <class Interface>
ControlState ReadControl(Interface& Control, LONG Property) {
  ControlState State;
  CheckResult(Control.Get(Property, &State.Value, &State.Flags));
  return State;
}

// Unsupported only when the driver says the property (set) does not exist; any other
// failure still means the control is there.
template <class Interface>
bool ControlSupported(const ComPtr<Interface>& Control, LONG Property) {
  if (!Control) return false;
  LONG Value = 0;
  LONG Flags = 0;
  return !IsNotFoundResult(Control->Get(Property, &Value, &Flags));
}

// Writing a value keeps the control's current mode, so an automatic control stays automatic.
template <class Interface>
void WriteControlValue(Interface& Control, LONG Property, LONG NewValue) {
  const ControlState Current = ReadControl(Control, Property);
  CheckResult(Control.Set(Property, NewValue, Current.Flags));
}

// Writing the mode writes the current value back unchanged.
template <class Interface>
void WriteControlAuto(Interface& Control, LONG Property, bool Auto) {
  const ControlState Current = ReadControl(Control, Property);
  CheckResult(Control.Set(Property, Current.Value, Auto ? kFlagsAuto : kFlagsManual));
}

template <class Interface>
TFRange ReadControlRange(Interface& Control, LONG Property) {
  TFRange Range;
  LONG Caps = 0;
  CheckResult(
      Control.GetRange(Property, &Range.Min, &Range.Max, &Range.Delta, &Range.Default, &Caps));
  Range.Auto = (Caps & kFlagsAuto) != 0;
  Range.Manual = (Caps & kFlagsManual) != 0;
  return Range;
}

}  // namespace

void TFCamera::CheckVideoProcAmp() {
  CheckDevice();
  CheckInterface(GetAMVideoProcAmp(), "IAMVideoProcAmp");
}

bool TFCamera::GetVideoProcAmpSupported(LONG Property) {
  CheckDevice();
  return ControlSupported(GetAMVideoProcAmp(), Property);
}

LONG TFCamera::GetVideoProcAmpValue(LONG Property) {
  CheckVideoProcAmp();
  return ReadControl(*FAMVideoProcAmp, Property).Value;
}

void TFCamera::SetVideoProcAmpValue(LONG Property, LONG NewValue) {
  CheckVideoProcAmp();
  WriteControlValue(*FAMVideoProcAmp, Property, NewValue);
}

bool TFCamera::GetVideoProcAmpAuto(LONG Property) {
  CheckVideoProcAmp();
  return ReadControl(*FAMVideoProcAmp, Property).Flags == kFlagsAuto;
}

void TFCamera::SetVideoProcAmpAuto(LONG Property, bool Auto) {
  CheckVideoProcAmp();
  WriteControlAuto(*FAMVideoProcAmp, Property, Auto);
}

TFRange TFCamera::GetVideoProcAmpRange(LONG Property) {
  CheckVideoProcAmp();
  return ReadControlRange(*FAMVideoProcAmp, Property);
}

void TFCamera::CheckCameraControl() {
  CheckDevice();
  CheckInterface(GetAMCameraControl(), "IAMCameraControl");
}

bool TFCamera::GetCameraControlSupported(LONG Property) {
  CheckDevice();
  return ControlSupported(GetAMCameraControl(), Property);
}

LONG TFCamera::GetCameraControlValue(LONG Property) {
  CheckCameraControl();
  return ReadControl(*FAMCameraControl, Property).Value;
}

void TFCamera::SetCameraControlValue(LONG Property, LONG NewValue) {
  CheckCameraControl();
  WriteControlValue(*FAMCameraControl, Property, NewValue);
}

bool TFCamera::GetCameraControlAuto(LONG Property) {
  CheckCameraControl();
  return ReadControl(*FAMCameraControl, Property).Flags == kFlagsAuto;
}

void TFCamera::SetCameraControlAuto(LONG Property, bool Auto) {
  CheckCameraControl();
  WriteControlAuto(*FAMCameraControl, Property, Auto);
}

TFRange TFCamera::GetCameraControlRange(LONG Property) {
  CheckCameraControl();
  return ReadControlRange(*FAMCameraControl, Property);
}

TFPowerLineFrequency TFCamera::GetPowerLineFrequency() {
  return FromDevice(kPowerLineFrequencyRead, GetVideoProcAmpValue(kPowerLineFrequency));
}

void TFCamera::SetPowerLineFrequency(TFPowerLineFrequency Value) {
  SetVideoProcAmpValue(kPowerLineFrequency, ToDevice(kPowerLineFrequencyWrite, Value));
}

TFScanMode TFCamera::GetScanMode() {
  return FromDevice(kScanModeRead, GetCameraControlValue(kScanMode));
}

void TFCamera::SetScanMode(TFScanMode Value) {
  SetCameraControlValue(kScanMode, ToDevice(kScanModeWrite, Value));
}
