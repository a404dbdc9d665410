// The component itself: construction and destruction, activity, the checks of its state,
// the settings and the release of everything it holds.

#include "camera/FCamera.h"

#include <thread>

#include "camera/FCameraChecks.h"
#include "camera/FDirectShow9.h"

namespace {

// Releases the given references one after another, left to right.
template <class... Fields>
void ReleaseInOrder(Fields&... fields) {
  (fields.Reset(), ...);
}

}  // namespace

TFCamera::TFCamera(TFControl* AOwner) : FOwner(AOwner) {}

TFCamera::~TFCamera() {
  SetActive(false);
  ReleaseGraph();
  if (FPreviewControl) FPreviewControl->RemoveFreeNotification(*this);
}

void TFCamera::BeginLoading() {
  FLoading = true;
}

void TFCamera::EndLoading() {
  if (!FLoading) return;
  FLoading = false;
  // A component stored as active becomes active once its settings are all in place.
  SetActive(FActive);
}

std::string TFCamera::GetAbout() const {
  return "Korvane camera component 1.7 by Korvane";
}

void TFCamera::SetAbout(const std::string&) {}

bool TFCamera::GetActive() const {
  return FMediaControl != nullptr;
}

void TFCamera::SetActive(bool Value) {
  if (Value == GetActive() || FLoading) {
    FActive = Value;
    return;
  }
  if (!Value) {
    ReleaseGraph();
    FActive = false;
    return;
  }
  try {
    BuildGraph();
  } catch (...) {
    // Whatever was obtained goes, and the caller gets the error the build met.
    FActive = false;
    ReleaseGraph();
    throw;
  }
  FActive = true;
}

TFCaptureType TFCamera::GetCaptureType() const {
  if (!GetActive()) return FCaptureType;
  return FGrabberUsed ? ctGrabber : ctVmr9;
}

void TFCamera::CheckDevice() {
  CheckCondition(!FDeviceName.empty(), "Camera device not selected");
  // Every property read passes here: the message is only put together when it is raised.
  if (GetCaptureFilter() == nullptr) {
    CheckCondition(false, "Camera device '" + FDeviceName + "' not found");
  }
}

void TFCamera::CheckActive() const {
  CheckCondition(GetActive(), "Cannot perform this operation on inactive camera component");
}

void TFCamera::CheckInactive() const {
  CheckCondition(!GetActive(), "Cannot perform this operation on active camera component");
}

void TFCamera::ReleaseGraph() {
  if (FSampleGrabber) FSampleGrabber->SetCallback(nullptr, 0);
  if (FMediaControl) FMediaControl->StopWhenReady();
  ReleaseInOrder(FAudioCaptureFilter, FVideoMixingRenderer9Filter, FVMRWindowlessControl9,
                 FVMRFilterConfig9, FNullRenderer, FSampleGrabber, FSampleGrabberFilter,
                 FSampleGrabberCB, FMediaControl, FMediaEvent, FAMCameraControl, FAMStreamConfig,
                 FAMVideoControl, FAMVideoProcAmp, FCaptureGraphBuilder2, FGraphBuilder,
                 FCaptureFilter, FCapturePin, FAudioCompressorFilter, FCompressorFilter);
  // The streaming thread may still be inside a frame handler that uses this component.
  while (FInImageAvailable.load(std::memory_order_acquire)) std::this_thread::yield();
}

template <class T>
bool TFCamera::ChangeSetting(T& Field, const T& Value) {
  if (Field == Value) return false;
  if (!FLoading) CheckInactive();
  Field = Value;
  return true;
}

void TFCamera::SetDeviceName(const std::string& Value) {
  if (ChangeSetting(FDeviceName, Value)) ReleaseGraph();
}

void TFCamera::SetAudioDeviceName(const std::string& Value) {
  if (ChangeSetting(FAudioDeviceName, Value)) FAudioCaptureFilter.Reset();
}

void TFCamera::SetCompressorName(const std::string& Value) {
  if (ChangeSetting(FCompressorName, Value)) FCompressorFilter.Reset();
}

void TFCamera::SetAudioCompressorName(const std::string& Value) {
  if (ChangeSetting(FAudioCompressorName, Value)) FAudioCompressorFilter.Reset();
}

void TFCamera::SetCaptureType(TFCaptureType Value) {
  ChangeSetting(FCaptureType, Value);
}

void TFCamera::SetOutputFileName(const std::string& Value) {
  ChangeSetting(FOutputFileName, Value);
}

void TFCamera::SetOutputFileType(TFMediaType Value) {
  ChangeSetting(FOutputFileType, Value);
}

void TFCamera::SetPreviewControl(TFControl* Value) {
  TFControl* const Previous = FPreviewControl;
  if (!ChangeSetting(FPreviewControl, Value)) return;
  if (Previous) Previous->RemoveFreeNotification(*this);
  if (Value) Value->FreeNotification(*this);
}

void TFCamera::Notification(TFControl* AComponent, TFOperation Operation) {
  if (Operation != opRemove || AComponent == nullptr || AComponent != FPreviewControl) return;
  SetActive(false);
  FPreviewControl = nullptr;
}
