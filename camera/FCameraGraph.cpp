// The capture graph: its build for each capture type with the optional recording branch,
// running, pausing and stopping it, and the state it reports.

#include <algorithm>
#include <cmath>
#include <limits>

#include "camera/FCamera.h"
#include "camera/FCameraChecks.h"
#include "camera/FDirectShow9.h"

namespace {

// A coordinate of the toolkit truncated toward zero, kept within what a LONG holds.
LONG Truncated(double Value) {
  if (std::isnan(Value)) return 0;
  constexpr double Lowest = std::numeric_limits<LONG>::min();
  constexpr double Highest = std::numeric_limits<LONG>::max();
  return static_cast<LONG>(std::clamp(std::trunc(Value), Lowest, Highest));
}

}  // namespace

void TFCamera::BuildGraph() {
  FGrabberUsed = false;
  CheckDevice();
  CheckInterface(GetCaptureFilter(), "Capture IBaseFilter");
  CheckInterface(GetCaptureGraphBuilder2(), "ICaptureGraphBuilder2");
  CheckInterface(GetGraphBuilder(), "IGraphBuilder");
  // From here on the component counts as active.
  CheckInterface(HoldMediaControl(), "IMediaControl");

  HRESULT Preview = S_OK;
  if (FCaptureType == ctVmr9 || FCaptureType == ctAuto) Preview = BuildVmr9Preview();
  if (FCaptureType == ctGrabber || (FCaptureType == ctAuto && FAILED(Preview))) BuildGrabberPath();
  if (!FOutputFileName.empty()) BuildRecording();
}

TFControl* TFCamera::PreviewForm() const {
  if (FPreviewControl) return FPreviewControl->GetParentForm();
  if (FOwner && FOwner->IsForm()) return FOwner;
  return nullptr;
}

HRESULT TFCamera::BuildVmr9Preview() {
  const ComPtr<IBaseFilter> Renderer = GetVideoMixingRenderer9Filter();
  CheckInterface(Renderer, "VideoMixingRenderer9 IBaseFilter");
  CheckInterface(GetVMRFilterConfig9(), "IVMRFilterConfig9");
  const ComPtr<IVMRWindowlessControl9> Windowless = GetVMRWindowlessControl9();
  CheckInterface(Windowless, "IVMRWindowlessControl9");

  TFControl* const Form = PreviewForm();
  CheckCondition(Form != nullptr, "Cannot retrieve preview form");
  CheckResult(Windowless->SetVideoClippingWindow(Form->GetHandle()));
  if (FPreviewControl) {
    const TFPointF TopLeft = FPreviewControl->LocalToForm({0, 0});
    const TFPointF BottomRight =
        FPreviewControl->LocalToForm({FPreviewControl->GetWidth(), FPreviewControl->GetHeight()});
    const RECT Destination{Truncated(TopLeft.X), Truncated(TopLeft.Y), Truncated(BottomRight.X),
                           Truncated(BottomRight.Y)};
    CheckResult(Windowless->SetVideoPosition(nullptr, &Destination));
  }
  // The picture shows without these; a renderer that refuses them is no reason to fail.
  Windowless->SetAspectRatioMode(FAspectRatio ? VMR9ARMode_LetterBox : VMR9ARMode_None);
  Windowless->SetBorderColor(FBorderColor);

  const ComPtr<IBaseFilter> Capture = GetCaptureFilter();
  CheckResult(FGraphBuilder->AddFilter(Capture.Get(), u"Video capture"));
  CheckResult(FGraphBuilder->AddFilter(Renderer.Get(), u"VMR-9"));
  const HRESULT Result = FCaptureGraphBuilder2->RenderStream(
      &PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, Capture.Get(), nullptr, Renderer.Get());
  // For ctAuto a preview that cannot connect selects the grabber instead.
  if (FCaptureType == ctVmr9) CheckResult(Result);
  return Result;
}

void TFCamera::BuildGrabberPath() {
  FGrabberUsed = true;
  const ComPtr<IBaseFilter> NullRenderer = GetNullRenderer();
  CheckInterface(NullRenderer, "NullRenderer IBaseFilter");
  const ComPtr<ISampleGrabber> Grabber = GetSampleGrabber();
  CheckInterface(Grabber, "ISampleGrabber");
  const ComPtr<IBaseFilter> GrabberFilter = GetSampleGrabberFilter();
  CheckInterface(GrabberFilter, "SampleGrabber IBaseFilter");

  // No media type is set: the grabber takes whatever the preview stream delivers.
  CheckResult(Grabber->SetBufferSamples(TRUE));
  if (FOnImageAvailable) {
    const ComPtr<ISampleGrabberCB> Callback = GetSampleGrabberCB();
    CheckInterface(Callback, "ISampleGrabberCB");
    CheckResult(Grabber->SetCallback(Callback.Get(), 0));
  }

  const ComPtr<IBaseFilter> Capture = GetCaptureFilter();
  if (FCaptureType == ctAuto) {
    // The failed preview leaves its two filters in the graph.
    CheckResult(FGraphBuilder->RemoveFilter(Capture.Get()));
    CheckResult(FGraphBuilder->RemoveFilter(FVideoMixingRenderer9Filter.Get()));
  }
  CheckResult(FGraphBuilder->AddFilter(Capture.Get(), u"Video capture"));
  CheckResult(FGraphBuilder->AddFilter(GrabberFilter.Get(), u"Sample grabber"));
  CheckResult(FGraphBuilder->AddFilter(NullRenderer.Get(), u"Null renderer"));
  CheckResult(FCaptureGraphBuilder2->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video,
                                                  Capture.Get(), GrabberFilter.Get(),
                                                  NullRenderer.Get()));
}

void TFCamera::BuildRecording() {
  const GUID& Subtype = FOutputFileType == mtAvi ? MEDIASUBTYPE_Avi : MEDIASUBTYPE_Asf;
  const std::u16string FileName = korvane::com::Utf8ToUtf16(FOutputFileName);
  ComPtr<IBaseFilter> Multiplexer;
  ComPtr<IFileSinkFilter> FileSink;  // not kept
  CheckResult(FCaptureGraphBuilder2->SetOutputFileName(&Subtype, FileName.c_str(),
                                                       Multiplexer.ReleaseAndGetAddressOf(),
                                                       FileSink.ReleaseAndGetAddressOf()));
  CheckInterface(Multiplexer, "Mux IBaseFilter");

  ComPtr<IBaseFilter> Compressor;
  if (!FCompressorName.empty()) {
    Compressor = GetCompressorFilter();
    CheckInterface(Compressor, "Compressor IBaseFilter");
    CheckResult(FGraphBuilder->AddFilter(Compressor.Get(), u"Compressor filter"));
  }
  CheckResult(FCaptureGraphBuilder2->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video,
                                                  GetCaptureFilter().Get(), Compressor.Get(),
                                                  Multiplexer.Get()));

  if (FAudioDeviceName.empty()) return;
  const ComPtr<IBaseFilter> Audio = GetAudioCaptureFilter();
  CheckInterface(Audio, "IAudioCaptureFilter");
  CheckResult(FGraphBuilder->AddFilter(Audio.Get(), u"Audio capture"));
  ComPtr<IBaseFilter> AudioCompressor;
  if (!FAudioCompressorName.empty()) {
    AudioCompressor = GetAudioCompressorFilter();
    CheckInterface(AudioCompressor, "AudioCompressor IBaseFilter");
    CheckResult(FGraphBuilder->AddFilter(AudioCompressor.Get(), u"AudioCompressor filter"));
  }
  CheckResult(FCaptureGraphBuilder2->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio,
                                                  Audio.Get(), AudioCompressor.Get(),
                                                  Multiplexer.Get()));
}

void TFCamera::Run() {
  CheckActive();
  CheckResult(FMediaControl->Run());
}

void TFCamera::Pause() {
  CheckActive();
  CheckResult(FMediaControl->Pause());
}

void TFCamera::Stop() {
  CheckActive();
  CheckResult(FMediaControl->Stop());
}

TFCameraState TFCamera::GetState() const {
  if (!GetActive()) return csInactive;
  OAFilterState State = State_Stopped;
  // A state still in transition is a success code, and the state it names counts.
  if (FAILED(FMediaControl->GetState(0, &State))) return csUnknown;
  switch (State) {
    case State_Stopped:
      return csStopped;
    case State_Paused:
      return csPaused;
    case State_Running:
      return csRunning;
    default:
      return csUnknown;
  }
}

void TFCamera::CheckVmr9() {
  CheckActive();
  CheckCondition(GetCaptureType() == ctVmr9, "VMR-9 capture type required");
}
