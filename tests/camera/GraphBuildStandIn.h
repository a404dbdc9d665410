#pragma once
// A filter graph, a capture graph builder and a VMR-9 renderer that connect nothing and
// write down what the component asks of them: the filters it adds with their names, the
// streams it renders, and the settings it gives the renderer. Each can be told to answer a
// call differently, or to lack an interface, so a test reaches every step of a graph build
// without a picture having to flow.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "camera/FDirectShow9.h"
#include "platform/com/ClassRegistry.h"

namespace korvane::camera::testing {

struct GraphBuildLog {
  // What the stand-ins answer.
  HRESULT stateResult = S_OK;
  OAFilterState state = State_Stopped;
  bool outputGivesMultiplexer = true;
  bool rendererTakesAspectRatio = true;
  bool rendererTakesBorderColor = true;

  // What the component asked for.
  std::vector<std::string> added;    // graph names, in the order added
  std::vector<std::string> streams;  // "capture video: Video capture > Compressor filter > Mux"
  std::optional<DWORD> aspectRatioMode;
  std::optional<COLORREF> borderColor;

  std::map<IUnknown*, std::string> names;  // filter in the graph -> its graph name
  std::string NameOf(IUnknown* filter) const {
    const auto found = names.find(filter);
    return found == names.end() ? "?" : found->second;
  }
};

// A filter with nothing behind it: it has no pins and answers every call with E_NOTIMPL.
template <class... Extra>
class BareFilter : public korvane::com::ComObject<IBaseFilter, Extra...> {
 public:
  HRESULT GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT Stop() override { return E_NOTIMPL; }
  HRESULT Pause() override { return E_NOTIMPL; }
  HRESULT Run(REFERENCE_TIME) override { return E_NOTIMPL; }
  HRESULT GetState(DWORD, FILTER_STATE*) override { return E_NOTIMPL; }
  HRESULT EnumPins(IEnumPins**) override { return E_NOTIMPL; }
  HRESULT FindPin(LPCWSTR, IPin**) override { return E_NOTIMPL; }
  HRESULT QueryFilterInfo(FILTER_INFO*) override { return E_NOTIMPL; }
  HRESULT JoinFilterGraph(IFilterGraph*, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }
};

// The renderer's configuration without its windowless control.
class ConfigOnlyRenderer : public BareFilter<IVMRFilterConfig9> {
 public:
  HRESULT SetNumberOfStreams(DWORD) override { return S_OK; }
  HRESULT GetNumberOfStreams(DWORD*) override { return E_NOTIMPL; }
  HRESULT SetRenderingMode(DWORD) override { return S_OK; }
  HRESULT GetRenderingMode(DWORD*) override { return E_NOTIMPL; }
};

class LoggingRenderer final : public BareFilter<IVMRFilterConfig9, IVMRWindowlessControl9> {
 public:
  explicit LoggingRenderer(std::shared_ptr<GraphBuildLog> log) : log_(std::move(log)) {}
  HRESULT SetNumberOfStreams(DWORD) override { return S_OK; }
  HRESULT GetNumberOfStreams(DWORD*) override { return E_NOTIMPL; }
  HRESULT SetRenderingMode(DWORD) override { return S_OK; }
  HRESULT GetRenderingMode(DWORD*) override { return E_NOTIMPL; }

  HRESULT GetNativeVideoSize(LONG*, LONG*, LONG*, LONG*) override { return E_NOTIMPL; }
  HRESULT GetMinIdealVideoSize(LONG*, LONG*) override { return E_NOTIMPL; }
  HRESULT GetMaxIdealVideoSize(LONG*, LONG*) override { return E_NOTIMPL; }
  HRESULT SetVideoPosition(const RECT*, const RECT*) override { return S_OK; }
  HRESULT GetVideoPosition(RECT*, RECT*) override { return E_NOTIMPL; }
  HRESULT GetAspectRatioMode(DWORD* mode) override {
    if (!log_->aspectRatioMode) return E_FAIL;
    *mode = *log_->aspectRatioMode;
    return S_OK;
  }
  HRESULT SetAspectRatioMode(DWORD mode) override {
    if (!log_->rendererTakesAspectRatio) return E_INVALIDARG;
    log_->aspectRatioMode = mode;
    return S_OK;
  }
  HRESULT SetVideoClippingWindow(HWND) override { return S_OK; }
  HRESULT RepaintVideo(HWND, void*) override { return E_NOTIMPL; }
  HRESULT DisplayModeChanged() override { return E_NOTIMPL; }
  HRESULT GetCurrentImage(BYTE**) override { return E_NOTIMPL; }
  HRESULT SetBorderColor(COLORREF color) override {
    if (!log_->rendererTakesBorderColor) return E_INVALIDARG;
    log_->borderColor = color;
    return S_OK;
  }
  HRESULT GetBorderColor(COLORREF* color) override {
    if (!log_->borderColor) return E_FAIL;
    *color = *log_->borderColor;
    return S_OK;
  }

 private:
  std::shared_ptr<GraphBuildLog> log_;
};

// A graph that holds the filters added to it; WithMediaControl decides whether it offers
// IMediaControl, whose state is the log's.
class LoggingGraph final : public korvane::com::ComObject<IGraphBuilder, IMediaControl> {
 public:
  LoggingGraph(std::shared_ptr<GraphBuildLog> log, bool withMediaControl)
      : log_(std::move(log)), withMediaControl_(withMediaControl) {}

  HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) override {
    const std::string text = korvane::com::Utf16ToUtf8(name ? name : u"");
    log_->added.push_back(text);
    log_->names[filter] = text;
    held_.emplace_back(filter);
    return S_OK;
  }
  HRESULT RemoveFilter(IBaseFilter* filter) override {
    log_->added.push_back("removed " + log_->NameOf(filter));
    return S_OK;
  }
  HRESULT EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
  HRESULT FindFilterByName(LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
  HRESULT ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT Reconnect(IPin*) override { return E_NOTIMPL; }
  HRESULT Disconnect(IPin*) override { return E_NOTIMPL; }
  HRESULT SetDefaultSyncSource() override { return E_NOTIMPL; }
  HRESULT Connect(IPin*, IPin*) override { return E_NOTIMPL; }
  HRESULT Render(IPin*) override { return E_NOTIMPL; }

  HRESULT Run() override { return S_OK; }
  HRESULT Pause() override { return S_OK; }
  HRESULT Stop() override { return S_OK; }
  HRESULT GetState(LONG, OAFilterState* state) override {
    if (!state) return E_POINTER;
    *state = log_->state;
    return log_->stateResult;
  }
  HRESULT StopWhenReady() override { return S_OK; }

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (iid == IidOf<IMediaControl> && !withMediaControl_) {
      if (object) *object = nullptr;
      return E_NOINTERFACE;
    }
    return korvane::com::ComObject<IGraphBuilder, IMediaControl>::QueryInterface(iid, object);
  }

 private:
  std::shared_ptr<GraphBuildLog> log_;
  bool withMediaControl_;
  std::vector<ComPtr<IBaseFilter>> held_;
};

class LoggingCaptureGraphBuilder final : public korvane::com::ComObject<ICaptureGraphBuilder2> {
 public:
  explicit LoggingCaptureGraphBuilder(std::shared_ptr<GraphBuildLog> log) : log_(std::move(log)) {}

  HRESULT SetFiltergraph(IGraphBuilder* graph) override {
    graph_ = ComPtr<IGraphBuilder>(graph);
    return S_OK;
  }
  HRESULT GetFiltergraph(IGraphBuilder** graph) override {
    if (!graph) return E_POINTER;
    *graph = ComPtr<IGraphBuilder>(graph_).Detach();
    return S_OK;
  }
  // As the platform's builder does, the multiplexer joins the graph at once.
  HRESULT SetOutputFileName(const GUID*, LPCOLESTR, IBaseFilter** multiplexer,
                            IFileSinkFilter** sink) override {
    if (!multiplexer) return E_POINTER;
    *multiplexer = nullptr;
    if (sink) *sink = nullptr;
    if (!log_->outputGivesMultiplexer) return S_OK;
    ComPtr<IBaseFilter> mux = korvane::com::MakeCom<BareFilter<>>();
    graph_->AddFilter(mux.Get(), u"Mux");
    *multiplexer = mux.Detach();
    return S_OK;
  }
  HRESULT RenderStream(const GUID* category, const GUID* type, IUnknown* source,
                       IBaseFilter* intermediate, IBaseFilter* sink) override {
    std::string text = *category == PIN_CATEGORY_PREVIEW ? "preview " : "capture ";
    text += *type == MEDIATYPE_Audio ? "audio: " : "video: ";
    text += log_->NameOf(source);
    if (intermediate) text += " > " + log_->NameOf(intermediate);
    text += " > " + log_->NameOf(sink);
    log_->streams.push_back(text);
    return S_OK;
  }
  HRESULT FindInterface(const GUID*, const GUID*, IBaseFilter*, REFIID, void** object) override {
    if (object) *object = nullptr;
    return E_NOTIMPL;
  }

 private:
  std::shared_ptr<GraphBuildLog> log_;
  ComPtr<IGraphBuilder> graph_;
};

// Registers the logging graph, builder and renderer for its lifetime.
class ScopedGraphBuildStandIn {
 public:
  explicit ScopedGraphBuildStandIn(bool withMediaControl = true)
      : graph_(CLSID_FilterGraph, korvane::com::FactoryOf<LoggingGraph>(log, withMediaControl)),
        builder_(CLSID_CaptureGraphBuilder2,
                 korvane::com::FactoryOf<LoggingCaptureGraphBuilder>(log)),
        renderer_(CLSID_VideoMixingRenderer9, korvane::com::FactoryOf<LoggingRenderer>(log)) {}

  const std::shared_ptr<GraphBuildLog> log = std::make_shared<GraphBuildLog>();

 private:
  korvane::com::ScopedClassRegistration graph_;
  korvane::com::ScopedClassRegistration builder_;
  korvane::com::ScopedClassRegistration renderer_;
};

}  // namespace korvane::camera::testing
