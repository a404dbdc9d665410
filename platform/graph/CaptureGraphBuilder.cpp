// The capture graph builder (CLSID_CaptureGraphBuilder2): builds the preview and capture
// streams of a capture device in a filter graph. It finds the device's pin of the category
// asked for; a device with only a capture pin serves both categories through a smart tee, put in
// when the second category is asked for. The connections themselves go through the graph,
// which inserts a converter where needed. A stream that cannot be built is taken out again:
// the graph is left as it was.

#include <functional>
#include <optional>
#include <set>
#include <vector>

#include "platform/graph/GraphClasses.h"
#include "platform/graph/GraphWalk.h"
#include "platform/graph/MediaType.h"

namespace korvane::graph {
namespace {

const char16_t* TeeOutputName(const GUID& category) {
  return category == PIN_CATEGORY_PREVIEW ? u"Preview" : u"Capture";
}

const GUID& OtherCategory(const GUID& category) {
  return category == PIN_CATEGORY_PREVIEW ? PIN_CATEGORY_CAPTURE : PIN_CATEGORY_PREVIEW;
}

template <class Interface>
ComPtr<Interface> Create(const CLSID& classId) {
  ComPtr<Interface> object;
  CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IidOf<Interface>,
                   object.ReleaseAndGetVoidAddressOf());
  return object;
}

ComPtr<IPin> PinNamed(IBaseFilter* filter, const char16_t* name) {
  ComPtr<IPin> pin;
  if (filter) filter->FindPin(name, pin.ReleaseAndGetAddressOf());
  return pin;
}

class CaptureGraphBuilder final : public com::ComObject<ICaptureGraphBuilder2> {
 public:
  HRESULT SetFiltergraph(IGraphBuilder* graph) override {
    if (!graph) return E_POINTER;
    if (graph_) return E_UNEXPECTED;  // one builder serves one graph
    graph_ = ComPtr<IGraphBuilder>(graph);
    return S_OK;
  }

  HRESULT GetFiltergraph(IGraphBuilder** graph) override {
    if (!graph) return E_POINTER;
    *graph = nullptr;
    const HRESULT ensured = EnsureGraph();
    if (FAILED(ensured)) return ensured;
    *graph = ComPtr<IGraphBuilder>(graph_).Detach();
    return S_OK;
  }

  HRESULT SetOutputFileName(const GUID* type, LPCOLESTR file, IBaseFilter** mux,
                            IFileSinkFilter** sink) override {
    if (!type || !file || !mux) return E_POINTER;
    *mux = nullptr;
    if (sink) *sink = nullptr;
    if (*type == MEDIASUBTYPE_Asf) return HRESULT_ASF_NOT_AVAILABLE;
    if (*type != MEDIASUBTYPE_Avi || !*file) return E_INVALIDARG;
    const HRESULT ensured = EnsureGraph();
    if (FAILED(ensured)) return ensured;
    const ComPtr<IBaseFilter> multiplexer = Create<IBaseFilter>(CLSID_AviDest);
    const ComPtr<IBaseFilter> writer = Create<IBaseFilter>(CLSID_FileWriter);
    const ComPtr<IFileSinkFilter> fileSink = writer.As<IFileSinkFilter>();
    if (!multiplexer || !fileSink) return REGDB_E_CLASSNOTREG;
    HRESULT result = fileSink->SetFileName(file, nullptr);
    if (FAILED(result)) return result;
    result = graph_->AddFilter(multiplexer.Get(), u"AVI Mux");
    if (FAILED(result)) return result;
    result = graph_->AddFilter(writer.Get(), u"File writer");
    if (SUCCEEDED(result)) {
      result = graph_->ConnectDirect(FirstFreePin(multiplexer.Get(), PINDIR_OUTPUT).Get(),
                                     FirstFreePin(writer.Get(), PINDIR_INPUT).Get(), nullptr);
    }
    if (FAILED(result)) {
      graph_->RemoveFilter(writer.Get());
      graph_->RemoveFilter(multiplexer.Get());
      return result;
    }
    *mux = ComPtr<IBaseFilter>(multiplexer).Detach();
    if (sink) *sink = ComPtr<IFileSinkFilter>(fileSink).Detach();
    return S_OK;
  }

  // With a category: the pins of that category on the filter. Without: the filter, its pins,
  // then the filters connected to it, downstream and upstream, nearest first.
  HRESULT FindInterface(const GUID* category, const GUID* type, IBaseFilter* filter, REFIID iid,
                        void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!filter) return E_POINTER;
    if (category) {
      for (const ComPtr<IPin>& pin : PinsOf(filter)) {
        if (DirectionOf(pin.Get()) == PINDIR_OUTPUT && CategoryOf(pin.Get()) == *category &&
            OffersMajorType(pin.Get(), type) && SUCCEEDED(pin->QueryInterface(iid, object))) {
          return S_OK;
        }
      }
      return E_NOINTERFACE;
    }
    std::vector<ComPtr<IBaseFilter>> queue{ComPtr<IBaseFilter>(filter)};
    std::set<IBaseFilter*> seen{filter};
    for (std::size_t i = 0; i < queue.size(); ++i) {
      if (SUCCEEDED(queue[i]->QueryInterface(iid, object))) return S_OK;
      for (const ComPtr<IPin>& pin : PinsOf(queue[i].Get())) {
        if (SUCCEEDED(pin->QueryInterface(iid, object))) return S_OK;
        const ComPtr<IBaseFilter> next = FilterOf(PeerOf(pin.Get()).Get());
        if (next && seen.insert(next.Get()).second) queue.push_back(next);
      }
    }
    return E_NOINTERFACE;
  }

  HRESULT RenderStream(const GUID* category, const GUID* type, IUnknown* source,
                       IBaseFilter* intermediate, IBaseFilter* renderer) override {
    if (!source) return E_POINTER;
    const HRESULT ensured = EnsureGraph();
    if (FAILED(ensured)) return ensured;
    for (IBaseFilter* filter : {intermediate, renderer}) {
      if (filter && !IsInGraph(filter, graph_.Get())) return VFW_E_NOT_IN_GRAPH;
    }
    Build build(*graph_);
    bool throughTee = false;
    pendingRole_.reset();
    ComPtr<IPin> out;
    HRESULT result = StartPin(category, type, source, build, &out, &throughTee);
    if (SUCCEEDED(result) && intermediate) {
      result = build.Connect(out.Get(), FirstFreePin(intermediate, PINDIR_INPUT).Get());
      out = FirstFreePin(intermediate, PINDIR_OUTPUT);
      if (SUCCEEDED(result) && !out) result = VFW_E_CANNOT_CONNECT;
    }
    if (SUCCEEDED(result)) {
      result = renderer ? build.Connect(out.Get(), FirstFreePin(renderer, PINDIR_INPUT).Get())
                        : build.Render(out.Get());
    }
    if (FAILED(result)) return result;  // the build undoes itself
    build.Keep();
    if (pendingRole_) {
      ForgetRole(pendingRole_->pin.Get());
      roles_.push_back(*pendingRole_);
      pendingRole_.reset();
    }
    return throughTee && category && *category == PIN_CATEGORY_PREVIEW ? VFW_S_NOPREVIEWPIN : S_OK;
  }

 private:
  // The changes one RenderStream makes to the graph, undone unless it keeps them: the filters
  // it added and the connections it made are taken out, and a connection it split through a
  // tee is made again.
  class Build {
   public:
    explicit Build(IGraphBuilder& graph) : graph_(graph) {
      for (const ComPtr<IBaseFilter>& filter : Filters()) before_.insert(filter.Get());
    }
    ~Build() {
      if (kept_) return;
      for (const ComPtr<IBaseFilter>& filter : Filters()) {
        if (!before_.contains(filter.Get())) graph_.RemoveFilter(filter.Get());
      }
      for (const ComPtr<IPin>& out : made_) {
        if (const ComPtr<IPin> peer = PeerOf(out.Get())) graph_.Disconnect(peer.Get());
        graph_.Disconnect(out.Get());
      }
      for (auto undo = undo_.rbegin(); undo != undo_.rend(); ++undo) (*undo)();
    }
    Build(const Build&) = delete;
    Build& operator=(const Build&) = delete;

    HRESULT Connect(IPin* out, IPin* in) {
      if (!out || !in) return VFW_E_CANNOT_CONNECT;
      const HRESULT result = graph_.Connect(out, in);
      if (SUCCEEDED(result)) made_.emplace_back(out);
      return result;
    }
    HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) {
      if (!out || !in) return VFW_E_CANNOT_CONNECT;
      const HRESULT result = graph_.ConnectDirect(out, in, type);
      if (SUCCEEDED(result)) made_.emplace_back(out);
      return result;
    }
    HRESULT Render(IPin* out) {
      if (!out) return VFW_E_CANNOT_RENDER;
      const HRESULT result = graph_.Render(out);
      if (SUCCEEDED(result)) made_.emplace_back(out);
      return result;
    }
    void OnUndo(std::function<void()> step) { undo_.push_back(std::move(step)); }
    void Keep() { kept_ = true; }

   private:
    std::vector<ComPtr<IBaseFilter>> Filters() const {
      std::vector<ComPtr<IBaseFilter>> filters;
      ComPtr<IEnumFilters> enumerator;
      if (FAILED(graph_.EnumFilters(enumerator.ReleaseAndGetAddressOf())) || !enumerator) {
        return filters;
      }
      ComPtr<IBaseFilter> filter;
      while (enumerator->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        filters.push_back(filter);
      }
      return filters;
    }

    IGraphBuilder& graph_;
    std::set<IBaseFilter*> before_;
    std::vector<ComPtr<IPin>> made_;
    std::vector<std::function<void()>> undo_;
    bool kept_ = false;
  };

  struct Role {
    ComPtr<IPin> pin;
    GUID category;
  };

  HRESULT EnsureGraph() {
    if (graph_) return S_OK;
    graph_ = Create<IGraphBuilder>(CLSID_FilterGraph);
    return graph_ ? S_OK : REGDB_E_CLASSNOTREG;
  }

  // The output pin a stream starts from: the source pin itself, or the filter's pin of the
  // category and major type asked for.
  HRESULT StartPin(const GUID* category, const GUID* type, IUnknown* source, Build& build,
                   ComPtr<IPin>* out, bool* throughTee) {
    ComPtr<IPin> pin;
    if (SUCCEEDED(source->QueryInterface(IID_IPin, pin.ReleaseAndGetVoidAddressOf()))) {
      if (DirectionOf(pin.Get()) != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
      if (!IsInGraph(FilterOf(pin.Get()).Get(), graph_.Get())) return VFW_E_NOT_IN_GRAPH;
      if (PeerOf(pin.Get())) return VFW_E_ALREADY_CONNECTED;
      *out = pin;
      return S_OK;
    }
    ComPtr<IBaseFilter> filter;
    if (FAILED(source->QueryInterface(IID_IBaseFilter, filter.ReleaseAndGetVoidAddressOf()))) {
      return E_INVALIDARG;
    }
    if (!IsInGraph(filter.Get(), graph_.Get())) return VFW_E_NOT_IN_GRAPH;
    std::vector<ComPtr<IPin>> outputs;
    for (const ComPtr<IPin>& candidate : PinsOf(filter.Get())) {
      if (DirectionOf(candidate.Get()) == PINDIR_OUTPUT && OffersMajorType(candidate.Get(), type)) {
        outputs.push_back(candidate);
      }
    }
    if (!category) {
      for (const ComPtr<IPin>& candidate : outputs) {
        if (!PeerOf(candidate.Get())) {
          *out = candidate;
          return S_OK;
        }
      }
      return outputs.empty() ? VFW_E_NOT_FOUND : VFW_E_ALREADY_CONNECTED;
    }
    const auto ofCategory = [&](const GUID& wanted) {
      std::vector<ComPtr<IPin>> pins;
      for (const ComPtr<IPin>& candidate : outputs) {
        if (CategoryOf(candidate.Get()) == wanted) pins.push_back(candidate);
      }
      return pins;
    };
    const std::vector<ComPtr<IPin>> pins = ofCategory(*category);
    const bool hasPreviewPin = !ofCategory(PIN_CATEGORY_PREVIEW).empty();
    // A device without a preview pin previews through its capture pin, which then serves both.
    if (!hasPreviewPin && *category == PIN_CATEGORY_PREVIEW) {
      const std::vector<ComPtr<IPin>> capture = ofCategory(PIN_CATEGORY_CAPTURE);
      if (capture.empty()) return VFW_E_NOT_FOUND;
      return SharedPin(capture.front(), *category, build, out, throughTee);
    }
    if (!hasPreviewPin && *category == PIN_CATEGORY_CAPTURE && !pins.empty()) {
      return SharedPin(pins.front(), *category, build, out, throughTee);
    }
    for (const ComPtr<IPin>& candidate : pins) {
      if (!PeerOf(candidate.Get())) {
        *out = candidate;
        return S_OK;
      }
    }
    return pins.empty() ? VFW_E_NOT_FOUND : VFW_E_ALREADY_CONNECTED;
  }

  // A capture pin serving the category wanted: itself while it is free, else the tee's output
  // for that category; a pin connected straight to the other category's stream is split
  // through a new tee first.
  HRESULT SharedPin(const ComPtr<IPin>& capture, const GUID& wanted, Build& build,
                    ComPtr<IPin>* out, bool* throughTee) {
    const ComPtr<IPin> peer = PeerOf(capture.Get());
    if (!peer) {
      pendingRole_ = Role{capture, wanted};
      *out = capture;
      return S_OK;
    }
    const ComPtr<IBaseFilter> peerFilter = FilterOf(peer.Get());
    if (ClassOf(peerFilter.Get()) == CLSID_SmartTee) {
      ComPtr<IPin> teeOutput = PinNamed(peerFilter.Get(), TeeOutputName(wanted));
      if (!teeOutput) return VFW_E_NOT_FOUND;
      if (PeerOf(teeOutput.Get())) return VFW_E_ALREADY_CONNECTED;
      *throughTee = true;
      *out = teeOutput;
      return S_OK;
    }
    const GUID existing = RoleOf(capture.Get()).value_or(OtherCategory(wanted));
    if (existing == wanted) return VFW_E_ALREADY_CONNECTED;

    AM_MEDIA_TYPE connection{};
    HRESULT result = capture->ConnectionMediaType(&connection);
    if (FAILED(result)) return result;
    const MediaType type = MediaType::From(connection);
    CoTaskMemFree(connection.pbFormat);
    if (connection.pUnk) connection.pUnk->Release();

    const ComPtr<IBaseFilter> tee = Create<IBaseFilter>(CLSID_SmartTee);
    if (!tee) return REGDB_E_CLASSNOTREG;
    graph_->Disconnect(peer.Get());
    graph_->Disconnect(capture.Get());
    IGraphBuilder* graph = graph_.Get();
    build.OnUndo([graph, capture, peer, type] {
      const AM_MEDIA_TYPE view = type.View();
      graph->ConnectDirect(capture.Get(), peer.Get(), &view);
    });
    result = graph_->AddFilter(tee.Get(), u"Smart Tee");
    const AM_MEDIA_TYPE view = type.View();
    if (SUCCEEDED(result)) {
      result = build.ConnectDirect(capture.Get(), PinNamed(tee.Get(), u"Input").Get(), &view);
    }
    if (SUCCEEDED(result)) {
      result = graph_->ConnectDirect(PinNamed(tee.Get(), TeeOutputName(existing)).Get(), peer.Get(),
                                     &view);
    }
    if (FAILED(result)) return result;
    ForgetRole(capture.Get());
    *throughTee = true;
    *out = PinNamed(tee.Get(), TeeOutputName(wanted));
    return *out ? S_OK : VFW_E_NOT_FOUND;
  }

  std::optional<GUID> RoleOf(IPin* pin) const {
    for (const Role& role : roles_) {
      if (role.pin.Get() == pin) return role.category;
    }
    return std::nullopt;
  }
  void ForgetRole(IPin* pin) {
    std::erase_if(roles_, [pin](const Role& role) { return role.pin.Get() == pin; });
  }

  ComPtr<IGraphBuilder> graph_;
  // Which category a capture pin connected straight (without a tee) serves.
  std::vector<Role> roles_;
  std::optional<Role> pendingRole_;
};

}  // namespace

HRESULT CreateCaptureGraphBuilder(REFIID iid, void** object) {
  return com::MakeCom<CaptureGraphBuilder>()->QueryInterface(iid, object);
}

}  // namespace korvane::graph
