// Flash and video stabilization: two kernel-streaming property sets of the capture filter,
// each one 8-byte record of mode and control. A write replaces one of the two values and
// sends the other back as it was read.

#include <cstring>

#include "camera/FCamera.h"
#include "camera/FCameraChecks.h"
#include "camera/FDirectShow9.h"
#include "camera/FValueMaps.h"

using namespace korvane::camera;

namespace {

constexpr DWORD kKsPropertyId = 0;
constexpr DWORD kKsRecordSize = 8;

// These paths report the system's text for a failure, not the media framework's.
ComPtr<IKsPropertySet> KsPropertySetOf(const ComPtr<IBaseFilter>& Filter) {
  ComPtr<IKsPropertySet> Properties;
  CheckSystemResult(Filter.As(&Properties));
  CheckSystemResult(Properties ? S_OK : E_NOINTERFACE);
  return Properties;
}

}  // namespace

TFCamera::TFKsPropertyRecord TFCamera::GetKsPropertyRecord(const GUID& Set) {
  CheckDevice();
  BYTE Data[kKsRecordSize] = {};
  ComPtr<IKsPropertySet> Properties = KsPropertySetOf(FCaptureFilter);
  DWORD Returned = 0;
  // A shorter answer leaves zeros in the rest of the record.
  CheckSystemResult(
      Properties->Get(Set, kKsPropertyId, nullptr, 0, Data, kKsRecordSize, &Returned));
  TFKsPropertyRecord Record;
  std::memcpy(&Record.Mode, Data, 4);
  std::memcpy(&Record.Control, Data + 4, 4);
  return Record;
}

void TFCamera::SetKsPropertyRecord(const GUID& Set, const TFKsPropertyRecord& Record) {
  CheckDevice();
  ComPtr<IKsPropertySet> Properties = KsPropertySetOf(FCaptureFilter);
  BYTE Data[kKsRecordSize];
  std::memcpy(Data, &Record.Mode, 4);
  std::memcpy(Data + 4, &Record.Control, 4);
  CheckSystemResult(Properties->Set(Set, kKsPropertyId, nullptr, 0, Data, kKsRecordSize));
}

bool TFCamera::GetKsPropertySupported(const GUID& Set) {
  CheckDevice();
  ComPtr<IKsPropertySet> Properties = KsPropertySetOf(FCaptureFilter);
  // A one-byte probe: a driver that has the set answers "buffer too small", not "not found".
  BYTE Probe = 0;
  DWORD Returned = 0;
  return !IsNotFoundResult(Properties->Get(Set, kKsPropertyId, nullptr, 0, &Probe, 1, &Returned));
}

DWORD TFCamera::GetKsPropertyValue(const GUID& Set, DWORD TFKsPropertyRecord::*Value) {
  return GetKsPropertyRecord(Set).*Value;
}

void TFCamera::SetKsPropertyValue(const GUID& Set, DWORD TFKsPropertyRecord::*Value,
                                  LONG NewValue) {
  TFKsPropertyRecord Record = GetKsPropertyRecord(Set);
  Record.*Value = static_cast<DWORD>(NewValue);
  SetKsPropertyRecord(Set, Record);
}

namespace {
constexpr const GUID& kFlash = PROPSETID_VIDCAP_CAMERACONTROL_FLASH;
constexpr const GUID& kStabilization = PROPSETID_VIDCAP_CAMERACONTROL_VIDEO_STABILIZATION;
}  // namespace

TFFlashMode TFCamera::GetFlashMode() {
  return FromDevice(kFlashModeRead, GetKsPropertyValue(kFlash, &TFKsPropertyRecord::Mode));
}

void TFCamera::SetFlashMode(TFFlashMode Value) {
  SetKsPropertyValue(kFlash, &TFKsPropertyRecord::Mode, ToDevice(kFlashModeWrite, Value));
}

bool TFCamera::GetFlashModeSupported() {
  return GetKsPropertySupported(kFlash);
}

TFFlashControl TFCamera::GetFlashControl() {
  return FromDevice(kFlashControlRead, GetKsPropertyValue(kFlash, &TFKsPropertyRecord::Control));
}

void TFCamera::SetFlashControl(TFFlashControl Value) {
  SetKsPropertyValue(kFlash, &TFKsPropertyRecord::Control, ToDevice(kFlashControlWrite, Value));
}

bool TFCamera::GetFlashControlSupported() {
  return GetKsPropertySupported(kFlash);
}

TFVideoStabilizationMode TFCamera::GetVideoStabilizationMode() {
  return FromDevice(kVideoStabilizationModeRead,
                    GetKsPropertyValue(kStabilization, &TFKsPropertyRecord::Mode));
}

void TFCamera::SetVideoStabilizationMode(TFVideoStabilizationMode Value) {
  SetKsPropertyValue(kStabilization, &TFKsPropertyRecord::Mode,
                     ToDevice(kVideoStabilizationModeWrite, Value));
}

bool TFCamera::GetVideoStabilizationModeSupported() {
  return GetKsPropertySupported(kStabilization);
}

TFVideoStabilizationControl TFCamera::GetVideoStabilizationControl() {
  return FromDevice(kVideoStabilizationControlRead,
                    GetKsPropertyValue(kStabilization, &TFKsPropertyRecord::Control));
}

void TFCamera::SetVideoStabilizationControl(TFVideoStabilizationControl Value) {
  SetKsPropertyValue(kStabilization, &TFKsPropertyRecord::Control,
                     ToDevice(kVideoStabilizationControlWrite, Value));
}

bool TFCamera::GetVideoStabilizationControlSupported() {
  return GetKsPropertySupported(kStabilization);
}
