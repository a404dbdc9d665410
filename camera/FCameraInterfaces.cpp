// The interfaces the component obtains lazily. Each getter returns the cached reference, or
// tries once to obtain it; a failure leaves the field nil and is tried again at the next read.

#include "camera/FCamera.h"
#include "camera/FCameraChecks.h"
#include "camera/FDirectShow9.h"

namespace {

// Fills Field with Obtain() when it is empty and hands out what it holds then.
template <class T, class Obtain>
ComPtr<T> Lazy(ComPtr<T>& Field, Obtain&& ObtainInterface) {
  if (!Field) Field = ObtainInterface();
  return Field;
}

// The interface T of Source, nil when Source is nil or does not offer it.
template <class T, class Source>
ComPtr<T> QueryFrom(const ComPtr<Source>& From) {
  ComPtr<T> Result;
  if (From && FAILED(From.As(&Result))) Result.Reset();
  return Result;
}

template <class T>
ComPtr<T> CreateInstance(const CLSID& ClassId) {
  ComPtr<T> Result;
  if (FAILED(CoCreateInstance(ClassId, nullptr, CLSCTX_INPROC_SERVER, IidOf<T>,
                              Result.ReleaseAndGetVoidAddressOf())))
    Result.Reset();
  return Result;
}

// The pin reports its category through the pin property set; only a full 16-byte answer
// counts.
bool IsCapturePin(const ComPtr<IPin>& Pin) {
  ComPtr<IKsPropertySet> Properties = QueryFrom<IKsPropertySet>(Pin);
  if (!Properties) return false;
  GUID Category{};
  DWORD Returned = 0;
  const HRESULT Result = Properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0,
                                         &Category, sizeof Category, &Returned);
  return SUCCEEDED(Result) && Returned == sizeof Category && Category == PIN_CATEGORY_CAPTURE;
}

ComPtr<IPin> FindCapturePin(const ComPtr<IBaseFilter>& Filter) {
  if (!Filter) return nullptr;
  ComPtr<IEnumPins> Pins;
  if (FAILED(Filter->EnumPins(Pins.ReleaseAndGetAddressOf())) || !Pins) return nullptr;
  ComPtr<IPin> Pin;
  while (Pins->Next(1, Pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    if (Pin && IsCapturePin(Pin)) return Pin;
  }
  return nullptr;
}

}  // namespace

ComPtr<IBaseFilter> TFCamera::GetCaptureFilter() {
  return Lazy(FCaptureFilter, [&] { return GetDevice(FDeviceName); });
}

ComPtr<IPin> TFCamera::GetCapturePin() {
  return Lazy(FCapturePin, [&] { return FindCapturePin(GetCaptureFilter()); });
}

ComPtr<IAMVideoProcAmp> TFCamera::GetAMVideoProcAmp() {
  return Lazy(FAMVideoProcAmp, [&] { return QueryFrom<IAMVideoProcAmp>(GetCaptureFilter()); });
}

ComPtr<IAMCameraControl> TFCamera::GetAMCameraControl() {
  return Lazy(FAMCameraControl, [&] { return QueryFrom<IAMCameraControl>(GetCaptureFilter()); });
}

ComPtr<IAMVideoControl> TFCamera::GetAMVideoControl() {
  return Lazy(FAMVideoControl, [&] { return QueryFrom<IAMVideoControl>(GetCaptureFilter()); });
}

ComPtr<IAMStreamConfig> TFCamera::GetAMStreamConfig() {
  return Lazy(FAMStreamConfig, [&] { return QueryFrom<IAMStreamConfig>(GetCapturePin()); });
}

ComPtr<IBaseFilter> TFCamera::GetAudioCaptureFilter() {
  return Lazy(FAudioCaptureFilter,
              [&] { return FindDevice(CLSID_AudioInputDeviceCategory, FAudioDeviceName); });
}

ComPtr<IBaseFilter> TFCamera::GetCompressorFilter() {
  return Lazy(FCompressorFilter,
              [&] { return FindDevice(CLSID_VideoCompressorCategory, FCompressorName); });
}

ComPtr<IBaseFilter> TFCamera::GetAudioCompressorFilter() {
  return Lazy(FAudioCompressorFilter,
              [&] { return FindDevice(CLSID_AudioCompressorCategory, FAudioCompressorName); });
}

ComPtr<IGraphBuilder> TFCamera::GetGraphBuilder() {
  return Lazy(FGraphBuilder, [] { return CreateInstance<IGraphBuilder>(CLSID_FilterGraph); });
}

ComPtr<ICaptureGraphBuilder2> TFCamera::GetCaptureGraphBuilder2() {
  return Lazy(FCaptureGraphBuilder2, [&]() -> ComPtr<ICaptureGraphBuilder2> {
    ComPtr<IGraphBuilder> Graph = GetGraphBuilder();
    if (!Graph) return nullptr;
    ComPtr<ICaptureGraphBuilder2> Builder =
        CreateInstance<ICaptureGraphBuilder2>(CLSID_CaptureGraphBuilder2);
    if (!Builder || FAILED(Builder->SetFiltergraph(Graph.Get()))) return nullptr;
    return Builder;
  });
}

ComPtr<IBaseFilter> TFCamera::GetSampleGrabberFilter() {
  return Lazy(FSampleGrabberFilter,
              [] { return CreateInstance<IBaseFilter>(CLSID_SampleGrabber); });
}

ComPtr<ISampleGrabber> TFCamera::GetSampleGrabber() {
  return Lazy(FSampleGrabber, [&] { return QueryFrom<ISampleGrabber>(GetSampleGrabberFilter()); });
}

ComPtr<IBaseFilter> TFCamera::GetNullRenderer() {
  return Lazy(FNullRenderer, [] { return CreateInstance<IBaseFilter>(CLSID_NullRenderer); });
}

ComPtr<IBaseFilter> TFCamera::GetVideoMixingRenderer9Filter() {
  return Lazy(FVideoMixingRenderer9Filter,
              [] { return CreateInstance<IBaseFilter>(CLSID_VideoMixingRenderer9); });
}

ComPtr<IVMRFilterConfig9> TFCamera::GetVMRFilterConfig9() {
  return Lazy(FVMRFilterConfig9, [&]() -> ComPtr<IVMRFilterConfig9> {
    ComPtr<IVMRFilterConfig9> Config =
        QueryFrom<IVMRFilterConfig9>(GetVideoMixingRenderer9Filter());
    // The renderer draws into a window of ours only in windowless mode.
    if (!Config || FAILED(Config->SetRenderingMode(VMR9Mode_Windowless))) return nullptr;
    return Config;
  });
}

ComPtr<IVMRWindowlessControl9> TFCamera::GetVMRWindowlessControl9() {
  return Lazy(FVMRWindowlessControl9,
              [&] { return QueryFrom<IVMRWindowlessControl9>(GetVideoMixingRenderer9Filter()); });
}

ComPtr<IMediaControl> TFCamera::GetMediaControl() {
  // Holding the media control is what makes the component active, and only an activation
  // builds the graph behind it: read while inactive, the control is handed out, not kept.
  if (!FMediaControl) return QueryFrom<IMediaControl>(GetGraphBuilder());
  return FMediaControl;
}

ComPtr<IMediaControl> TFCamera::HoldMediaControl() {
  return Lazy(FMediaControl, [&] { return QueryFrom<IMediaControl>(GetGraphBuilder()); });
}

ComPtr<IMediaEvent> TFCamera::GetMediaEvent() {
  return Lazy(FMediaEvent, [&] { return QueryFrom<IMediaEvent>(GetGraphBuilder()); });
}
