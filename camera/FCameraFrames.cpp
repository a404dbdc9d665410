// Frames as they pass the sample grabber: the component's callback object, which the
// platform calls on its streaming thread, and the frame-available event it raises.

#include "camera/FCamera.h"
#include "camera/FCameraChecks.h"
#include "camera/FDirectShow9.h"

// The callback object: counted, answering for ISampleGrabberCB. Its back-reference does not
// keep the component alive; the component outlives it in the graph because deactivation
// uninstalls it before anything else.
class TFSampleGrabberCB final : public korvane::com::ComObject<ISampleGrabberCB> {
 public:
  explicit TFSampleGrabberCB(TFCamera& Camera) : FCamera(Camera) {}

  HRESULT SampleCB(double SampleTime, IMediaSample* Sample) override {
    const ComPtr<IMediaSample> Held(Sample);
    return FCamera.DoImageAvailable(SampleTime);
  }

  // Installed with selector 0, so the platform calls SampleCB only.
  HRESULT BufferCB(double, BYTE*, LONG) override { return S_OK; }

 private:
  TFCamera& FCamera;
};

ComPtr<ISampleGrabberCB> TFCamera::GetSampleGrabberCB() {
  if (!FSampleGrabberCB) FSampleGrabberCB = korvane::com::MakeCom<TFSampleGrabberCB>(*this);
  return FSampleGrabberCB;
}

void TFCamera::SetOnImageAvailable(const TFImageAvailableEvent& Value) {
  // The streaming thread reads the handler while a graph with it runs, so neither its code
  // nor its target may change then.
  if (Value != FOnImageAvailable && !FLoading) CheckInactive();
  FOnImageAvailable = Value;
}

HRESULT TFCamera::DoImageAvailable(double SampleTime) {
  FInImageAvailable.store(true);
  if (FOnImageAvailable) {
    try {
      FOnImageAvailable(*this, SampleTime);
    } catch (...) {
      // A handler's error must not reach the platform: streaming goes on.
    }
  }
  FInImageAvailable.store(false);
  return S_OK;
}
