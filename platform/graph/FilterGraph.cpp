// The filter graph (CLSID_FilterGraph): holds filters under unique names, connects their pins,
// inserting a converter where a direct connection is refused, changes the state of all of them
// together, and turns what filters report into events.

#include "platform/graph/GraphClasses.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/WideString.h"
#include "platform/devices/ListEnumerator.h"
#include "platform/graph/GraphEvents.h"
#include "platform/graph/GraphWalk.h"

namespace korvane::graph {
namespace {

// Filters the graph puts between two pins whose direct connection is refused, tried in order.
struct Converter {
  const CLSID* classId;
  const char16_t* name;
};
constexpr Converter kConverters[] = {
    {&CLSID_MjpegDec, u"MJPEG Decompressor"},
};

// The longest name a filter can report (FILTER_INFO holds 128 characters with the NUL).
constexpr std::size_t kMaxNameLength = 127;

REFERENCE_TIME Now() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 100;
}

class FilterGraph final
    : public com::ComObject<IGraphBuilder, IMediaControl, IMediaEvent, IMediaEventSink> {
 public:
  ~FilterGraph() override {
    std::lock_guard lock(controlMutex_);
    StopAll(UpstreamFirst());
    // Connected filters hold each other; the graph breaks those links before letting go.
    for (const Entry& entry : entries_) Leave(entry.filter.Get());
    entries_.clear();
  }

  // --- IFilterGraph -----------------------------------------------------------------------

  HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) override {
    if (!filter) return E_POINTER;
    std::lock_guard lock(controlMutex_);
    if (state_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (Find(filter) != entries_.end()) return E_INVALIDARG;
    FILTER_INFO info{};
    if (SUCCEEDED(filter->QueryFilterInfo(&info)) && info.pGraph) {
      info.pGraph->Release();
      return E_INVALIDARG;  // a filter belongs to one graph at a time
    }
    std::u16string wanted =
        name ? std::u16string(name, com::WideLength(name)) : std::u16string(info.achName);
    if (wanted.empty()) wanted = u"Filter";
    wanted.resize(std::min(wanted.size(), kMaxNameLength));
    const std::u16string unique = UniqueName(wanted);
    const HRESULT joined = filter->JoinFilterGraph(this, unique.c_str());
    if (FAILED(joined)) return joined;
    entries_.push_back({ComPtr<IBaseFilter>(filter), unique});
    return unique == wanted ? S_OK : VFW_S_DUPLICATE_NAME;
  }

  HRESULT RemoveFilter(IBaseFilter* filter) override {
    if (!filter) return E_POINTER;
    std::lock_guard lock(controlMutex_);
    if (state_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
    const auto found = Find(filter);
    if (found == entries_.end()) return VFW_E_NOT_FOUND;
    const ComPtr<IBaseFilter> keep = found->filter;  // alive until it has left
    entries_.erase(found);
    Leave(keep.Get());
    return S_OK;
  }

  HRESULT EnumFilters(IEnumFilters** enumerator) override {
    if (!enumerator) return E_POINTER;
    std::lock_guard lock(controlMutex_);
    std::vector<ComPtr<IBaseFilter>> filters;
    for (const Entry& entry : entries_) filters.push_back(entry.filter);
    *enumerator = devices::MakeListEnumerator<IEnumFilters>(std::move(filters)).Detach();
    return S_OK;
  }

  HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) override {
    if (!name || !filter) return E_POINTER;
    *filter = nullptr;
    std::lock_guard lock(controlMutex_);
    const std::u16string_view wanted(name, com::WideLength(name));
    for (const Entry& entry : entries_) {
      if (entry.name == wanted) {
        *filter = ComPtr<IBaseFilter>(entry.filter).Detach();
        return S_OK;
      }
    }
    return VFW_E_NOT_FOUND;
  }

  HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) override {
    std::lock_guard lock(controlMutex_);
    return ConnectDirectLocked(out, in, type);
  }

  HRESULT Reconnect(IPin*) override { return E_NOTIMPL; }

  HRESULT Disconnect(IPin* pin) override {
    if (!pin) return E_POINTER;
    std::lock_guard lock(controlMutex_);
    if (state_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
    return pin->Disconnect();
  }

  // The graph's clock is the machine's monotonic clock; there is nothing to choose.
  HRESULT SetDefaultSyncSource() override { return S_OK; }

  // --- IGraphBuilder ----------------------------------------------------------------------

  HRESULT Connect(IPin* out, IPin* in) override {
    std::lock_guard lock(controlMutex_);
    const HRESULT direct = ConnectDirectLocked(out, in, nullptr);
    if (SUCCEEDED(direct) || direct == E_POINTER || direct == VFW_E_NOT_STOPPED ||
        direct == VFW_E_NOT_IN_GRAPH || direct == VFW_E_ALREADY_CONNECTED ||
        direct == VFW_E_INVALID_DIRECTION || direct == HRESULT_ERROR_BUSY ||
        direct == HRESULT_ERROR_DEVICE_NOT_CONNECTED || direct == E_ACCESSDENIED) {
      // A camera that another program holds, or that is gone, would refuse every converter
      // too; what it said is the answer, not that no converter fits.
      return direct;
    }
    for (const Converter& converter : kConverters) {
      if (SUCCEEDED(ConnectThrough(converter, out, in))) return S_OK;
    }
    return VFW_E_CANNOT_CONNECT;
  }

  HRESULT Render(IPin* out) override {
    if (!out) return E_POINTER;
    std::lock_guard lock(controlMutex_);
    if (!OffersMajorType(out, &MEDIATYPE_Video)) return VFW_E_CANNOT_RENDER;
    ComPtr<IBaseFilter> renderer;
    if (FAILED(CoCreateInstance(CLSID_VideoMixingRenderer9, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IBaseFilter, renderer.ReleaseAndGetVoidAddressOf()))) {
      return VFW_E_CANNOT_RENDER;
    }
    if (FAILED(AddLocked(renderer.Get(), u"Video Renderer"))) return VFW_E_CANNOT_RENDER;
    const ComPtr<IPin> input = FirstFreePin(renderer.Get(), PINDIR_INPUT);
    if (SUCCEEDED(ConnectDirectLocked(out, input.Get(), nullptr))) return S_OK;
    RemoveLocked(renderer.Get());
    return VFW_E_CANNOT_RENDER;
  }

  // --- IMediaControl ----------------------------------------------------------------------

  HRESULT Run() override { return ChangeState(State_Running); }
  HRESULT Pause() override { return ChangeState(State_Paused); }
  HRESULT Stop() override { return ChangeState(State_Stopped); }
  // Transitions finish before the calls return, so there is nothing to wait for.
  HRESULT StopWhenReady() override { return ChangeState(State_Stopped); }

  HRESULT GetState(LONG timeout, OAFilterState* state) override {
    if (!state) return E_POINTER;
    std::vector<ComPtr<IBaseFilter>> filters;
    {
      std::lock_guard lock(controlMutex_);
      *state = state_.load();
      for (const Entry& entry : entries_) filters.push_back(entry.filter);
    }
    const HRESULT aborted = events_.AbortError();
    if (FAILED(aborted)) return aborted;
    // The time-out covers the whole graph, not each filter.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
    HRESULT result = S_OK;
    for (const ComPtr<IBaseFilter>& filter : filters) {
      DWORD left = 0xFFFFFFFF;
      if (timeout >= 0) {
        const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        left = static_cast<DWORD>(std::max<long long>(remaining.count(), 0));
      }
      FILTER_STATE filterState{};
      const HRESULT answer = filter->GetState(left, &filterState);
      if (FAILED(answer)) return answer;
      if (answer == VFW_S_STATE_INTERMEDIATE) {
        result = answer;
      } else if (answer == VFW_S_CANT_CUE && result == S_OK) {
        result = answer;
      }
    }
    return result;
  }

  // --- IMediaEvent and IMediaEventSink ----------------------------------------------------

  HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeout) override {
    return events_.GetEvent(code, param1, param2, timeout);
  }
  HRESULT WaitForCompletion(LONG timeout, LONG* code) override {
    return events_.WaitForCompletion(timeout, code, state_);
  }
  HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) override {
    return GraphEvents::FreeEventParams(code, param1, param2);
  }
  HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2) override {
    events_.Notify(code, param1, param2);
    return S_OK;
  }

 private:
  struct Entry {
    ComPtr<IBaseFilter> filter;
    std::u16string name;
  };

  std::vector<Entry>::iterator Find(IBaseFilter* filter) {
    return std::find_if(entries_.begin(), entries_.end(),
                        [filter](const Entry& entry) { return entry.filter.Get() == filter; });
  }

  bool NameTaken(const std::u16string& name) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const Entry& entry) { return entry.name == name; });
  }

  // "Name", else "Name 0001", "Name 0002", ...: the numbering the platform gives.
  std::u16string UniqueName(const std::u16string& wanted) const {
    if (!NameTaken(wanted)) return wanted;
    for (unsigned number = 1;; ++number) {
      char digits[8];
      std::snprintf(digits, sizeof digits, " %04u", number);
      const std::u16string suffix = com::Utf8ToUtf16(digits);
      std::u16string candidate = wanted.substr(0, kMaxNameLength - suffix.size()) + suffix;
      if (!NameTaken(candidate)) return candidate;
    }
  }

  HRESULT AddLocked(IBaseFilter* filter, const char16_t* name) {
    const std::u16string unique = UniqueName(name);
    const HRESULT joined = filter->JoinFilterGraph(this, unique.c_str());
    if (FAILED(joined)) return joined;
    entries_.push_back({ComPtr<IBaseFilter>(filter), unique});
    return S_OK;
  }

  void RemoveLocked(IBaseFilter* filter) {
    const auto found = Find(filter);
    if (found == entries_.end()) return;
    const ComPtr<IBaseFilter> keep = found->filter;
    entries_.erase(found);
    Leave(keep.Get());
  }

  // A filter leaving the graph takes none of its connections along.
  void Leave(IBaseFilter* filter) {
    for (const ComPtr<IPin>& pin : PinsOf(filter)) {
      if (const ComPtr<IPin> peer = PeerOf(pin.Get())) peer->Disconnect();
      pin->Disconnect();
    }
    filter->JoinFilterGraph(nullptr, nullptr);
  }

  HRESULT ConnectDirectLocked(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) {
    if (!out || !in) return E_POINTER;
    if (state_.load() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (DirectionOf(out) != PINDIR_OUTPUT || DirectionOf(in) != PINDIR_INPUT) {
      return VFW_E_INVALID_DIRECTION;
    }
    const ComPtr<IBaseFilter> from = FilterOf(out);
    const ComPtr<IBaseFilter> to = FilterOf(in);
    if (Find(from.Get()) == entries_.end() || Find(to.Get()) == entries_.end()) {
      return VFW_E_NOT_IN_GRAPH;
    }
    if (PeerOf(out) || PeerOf(in)) return VFW_E_ALREADY_CONNECTED;
    return out->Connect(in, type);
  }

  HRESULT ConnectThrough(const Converter& converter, IPin* out, IPin* in) {
    ComPtr<IBaseFilter> filter;
    if (FAILED(CoCreateInstance(*converter.classId, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                filter.ReleaseAndGetVoidAddressOf()))) {
      return E_FAIL;
    }
    if (FAILED(AddLocked(filter.Get(), converter.name))) return E_FAIL;
    const ComPtr<IPin> converterIn = FirstFreePin(filter.Get(), PINDIR_INPUT);
    const ComPtr<IPin> converterOut = FirstFreePin(filter.Get(), PINDIR_OUTPUT);
    if (SUCCEEDED(ConnectDirectLocked(out, converterIn.Get(), nullptr)) &&
        SUCCEEDED(ConnectDirectLocked(converterOut.Get(), in, nullptr))) {
      return S_OK;
    }
    RemoveLocked(filter.Get());
    return E_FAIL;
  }

  // Every filter, each one after the filters that deliver to it; filters of separate chains
  // keep the order they were added in.
  std::vector<ComPtr<IBaseFilter>> UpstreamFirst() const {
    std::map<IBaseFilter*, std::size_t> inputs;  // connected inputs from filters in the graph
    std::map<IBaseFilter*, std::vector<IBaseFilter*>> downstream;
    for (const Entry& entry : entries_) inputs[entry.filter.Get()];
    for (const Entry& entry : entries_) {
      for (const ComPtr<IPin>& pin : PinsOf(entry.filter.Get())) {
        if (DirectionOf(pin.Get()) != PINDIR_OUTPUT) continue;
        const ComPtr<IBaseFilter> next = FilterOf(PeerOf(pin.Get()).Get());
        if (!next || !inputs.contains(next.Get())) continue;
        ++inputs[next.Get()];
        downstream[entry.filter.Get()].push_back(next.Get());
      }
    }
    std::vector<ComPtr<IBaseFilter>> order;
    std::vector<IBaseFilter*> ready;
    for (const Entry& entry : entries_) {
      if (inputs[entry.filter.Get()] == 0) ready.push_back(entry.filter.Get());
    }
    for (std::size_t i = 0; i < ready.size(); ++i) {
      order.emplace_back(ready[i]);
      for (IBaseFilter* next : downstream[ready[i]]) {
        if (--inputs[next] == 0) ready.push_back(next);
      }
    }
    return order;
  }

  // Filters at the end of a chain: they take samples and deliver none.
  std::size_t CountRenderers() const {
    std::size_t renderers = 0;
    for (const Entry& entry : entries_) {
      bool fed = false, delivers = false;
      for (const ComPtr<IPin>& pin : PinsOf(entry.filter.Get())) {
        const auto direction = DirectionOf(pin.Get());
        if (direction == PINDIR_OUTPUT) delivers = true;
        if (direction == PINDIR_INPUT && PeerOf(pin.Get())) fed = true;
      }
      if (fed && !delivers) ++renderers;
    }
    return renderers;
  }

  static HRESULT StopAll(const std::vector<ComPtr<IBaseFilter>>& upstreamFirst) {
    // Sources first: once they have stopped nothing arrives downstream, so the filters there
    // can finish what they hold (a multiplexer writes its index).
    HRESULT first = S_OK;
    for (const ComPtr<IBaseFilter>& filter : upstreamFirst) {
      const HRESULT result = filter->Stop();
      if (FAILED(result) && SUCCEEDED(first)) first = result;
    }
    return first;
  }

  HRESULT ChangeState(FILTER_STATE target) {
    std::lock_guard lock(controlMutex_);
    const FILTER_STATE from = state_.load();
    if (from == target) return S_OK;
    const std::vector<ComPtr<IBaseFilter>> order = UpstreamFirst();
    if (target == State_Stopped) {
      const HRESULT result = StopAll(order);
      state_.store(State_Stopped);
      events_.StateChanged(true);
      return result;
    }
    if (from == State_Stopped) events_.StartRun(CountRenderers());
    // Renderers first, so that every filter is ready before its source delivers.
    const REFERENCE_TIME start = Now();
    for (auto filter = order.rbegin(); filter != order.rend(); ++filter) {
      const HRESULT result = target == State_Running ? (*filter)->Run(start) : (*filter)->Pause();
      if (FAILED(result)) {
        // Nothing is left half started: the graph goes back to stopped.
        StopAll(order);
        state_.store(State_Stopped);
        events_.StateChanged(true);
        return result;
      }
    }
    state_.store(target);
    events_.StateChanged(false);
    return S_OK;
  }

  std::mutex controlMutex_;
  std::vector<Entry> entries_;
  std::atomic<FILTER_STATE> state_{State_Stopped};
  GraphEvents events_;
};

}  // namespace

HRESULT CreateFilterGraph(REFIID iid, void** object) {
  ComPtr<FilterGraph> graph = com::MakeCom<FilterGraph>();
  return graph->QueryInterface(iid, object);
}

}  // namespace korvane::graph
