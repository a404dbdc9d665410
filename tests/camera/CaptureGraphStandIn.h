#pragma once
// A filter graph and a capture graph builder that do the least the property dialogs need:
// FindInterface finds the interface on the filter's capture pin. Tests register them in
// place of the platform's graph classes, and can make FindInterface fail or find nothing.

#include <memory>

#include "camera/FDirectShow9.h"

namespace korvane::camera::testing {

class StandInFilterGraph final : public korvane::com::ComObject<IGraphBuilder> {
 public:
  HRESULT AddFilter(IBaseFilter*, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT RemoveFilter(IBaseFilter*) override { return E_NOTIMPL; }
  HRESULT EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
  HRESULT FindFilterByName(LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
  HRESULT ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT Reconnect(IPin*) override { return E_NOTIMPL; }
  HRESULT Disconnect(IPin*) override { return E_NOTIMPL; }
  HRESULT SetDefaultSyncSource() override { return E_NOTIMPL; }
  HRESULT Connect(IPin*, IPin*) override { return E_NOTIMPL; }
  HRESULT Render(IPin*) override { return E_NOTIMPL; }
};

struct FindInterfaceAnswer {
  HRESULT failure = S_OK;     // returned instead of searching when it is a failure
  bool findsNothing = false;  // succeeds without an interface
  int calls = 0;
};

class StandInCaptureGraphBuilder final : public korvane::com::ComObject<ICaptureGraphBuilder2> {
 public:
  explicit StandInCaptureGraphBuilder(std::shared_ptr<FindInterfaceAnswer> answer)
      : answer_(std::move(answer)) {}

  HRESULT SetFiltergraph(IGraphBuilder* graph) override {
    graph_ = ComPtr<IGraphBuilder>(graph);
    return S_OK;
  }
  HRESULT GetFiltergraph(IGraphBuilder** graph) override {
    if (!graph) return E_POINTER;
    *graph = ComPtr<IGraphBuilder>(graph_).Detach();
    return S_OK;
  }
  HRESULT SetOutputFileName(const GUID*, LPCOLESTR, IBaseFilter**, IFileSinkFilter**) override {
    return E_NOTIMPL;
  }
  HRESULT RenderStream(const GUID*, const GUID*, IUnknown*, IBaseFilter*, IBaseFilter*) override {
    return E_NOTIMPL;
  }

  HRESULT FindInterface(const GUID* category, const GUID* type, IBaseFilter* filter, REFIID iid,
                        void** object) override {
    ++answer_->calls;
    if (!object) return E_POINTER;
    *object = nullptr;
    if (FAILED(answer_->failure)) return answer_->failure;
    if (answer_->findsNothing) return S_OK;
    if (!filter || !category || *category != PIN_CATEGORY_CAPTURE || !type ||
        *type != MEDIATYPE_Video) {
      return E_INVALIDARG;
    }
    ComPtr<IEnumPins> pins;
    HRESULT result = filter->EnumPins(pins.ReleaseAndGetAddressOf());
    if (FAILED(result)) return result;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
      if (SUCCEEDED(pin->QueryInterface(iid, object))) return S_OK;
    }
    return E_NOINTERFACE;
  }

 private:
  std::shared_ptr<FindInterfaceAnswer> answer_;
  ComPtr<IGraphBuilder> graph_;
};

// Registers both stand-ins for its lifetime.
class ScopedCaptureGraphStandIn {
 public:
  ScopedCaptureGraphStandIn()
      : graph_(CLSID_FilterGraph, korvane::com::FactoryOf<StandInFilterGraph>()),
        builder_(CLSID_CaptureGraphBuilder2,
                 korvane::com::FactoryOf<StandInCaptureGraphBuilder>(answer)) {}

  const std::shared_ptr<FindInterfaceAnswer> answer = std::make_shared<FindInterfaceAnswer>();

 private:
  korvane::com::ScopedClassRegistration graph_;
  korvane::com::ScopedClassRegistration builder_;
};

}  // namespace korvane::camera::testing
