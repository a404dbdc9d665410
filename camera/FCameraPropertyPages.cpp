// The driver's property pages of the capture filter and of the capture pin's stream
// configuration, shown in the platform's property frame. The component adds no page of its
// own and applies nothing itself: whatever changes in the pages reaches the device through
// them.

#include <iterator>

#include "camera/FCamera.h"
#include "camera/FCameraChecks.h"
#include "camera/FDirectShow9.h"

void TFCamera::ShowPropertyDialog() {
  CheckDevice();
  ShowPropertyPages(GetCaptureFilter().Get());
}

void TFCamera::ShowStreamPropertyDialog() {
  CheckDevice();
  const ComPtr<ICaptureGraphBuilder2> Builder = GetCaptureGraphBuilder2();
  CheckInterface(Builder, "ICaptureGraphBuilder2");
  ComPtr<IAMStreamConfig> StreamConfig;
  CheckResult(Builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video,
                                     GetCaptureFilter().Get(), IID_IAMStreamConfig,
                                     StreamConfig.ReleaseAndGetVoidAddressOf()));
  CheckInterface(StreamConfig, "IAMStreamConfig");
  ShowPropertyPages(StreamConfig.Get());
}

void TFCamera::ShowPropertyPages(IUnknown* Object) {
  // Both callers have passed CheckDevice, so the capture filter is there and Object is it or
  // an interface found on it.
  const ComPtr<IBaseFilter> Filter = GetCaptureFilter();

  ComPtr<ISpecifyPropertyPages> Specify;
  CheckResult(
      Object->QueryInterface(IID_ISpecifyPropertyPages, Specify.ReleaseAndGetVoidAddressOf()));
  CheckInterface(Specify, "ISpecifyPropertyPages");

  CAUUID Pages{0, nullptr};
  CheckResult(Specify->GetPages(&Pages));
  // Freed on every path from here on, the failing ones included.
  const korvane::com::TaskMemPtr<GUID> PageList(Pages.pElems);

  FILTER_INFO Info{};
  CheckResult(Filter->QueryFilterInfo(&Info));
  // Only the name is wanted; the graph reference that comes with it goes back at once.
  const ComPtr<IFilterGraph> Graph = ComPtr<IFilterGraph>::Attach(Info.pGraph);
  Info.achName[std::size(Info.achName) - 1] = 0;

  IUnknown* Objects[] = {Object};
  CheckResult(OleCreatePropertyFrame(nullptr, 0, 0, Info.achName, 1, Objects, Pages.cElems,
                                     PageList.get(), 0, 0, nullptr));
}
