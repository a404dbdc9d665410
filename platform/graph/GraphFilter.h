#pragma once
// What every filter of the graph shares: its class id, its state, the graph that holds it and
// the name it goes by there, the event sink it reports to, and its pins. A filter derives from
// GraphFilter with the interfaces it adds and overrides the hooks of the state changes.

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/DirectShow9.h"
#include "platform/devices/ListEnumerator.h"
#include "platform/graph/Pins.h"

namespace korvane::graph {

// The filter's place in a graph. The graph owns its filters; a filter keeps only plain pointers
// back (to the graph and to its event sink), or the two would keep each other alive. The graph
// stops its filters before it goes, so the sink outlives every streaming thread that uses it.
class GraphMembership {
 public:
  explicit GraphMembership(std::u16string ownName);

  HRESULT QueryFilterInfo(FILTER_INFO* info) const;
  HRESULT Join(IFilterGraph* graph, LPCWSTR name);
  // Reports an event to the graph; nothing happens outside a graph.
  void Notify(LONG code, LONG_PTR param1, LONG_PTR param2) const;

 private:
  mutable std::mutex mutex_;
  const std::u16string ownName_;
  IFilterGraph* graph_ = nullptr;
  IMediaEventSink* sink_ = nullptr;
  std::u16string graphName_;
};

// Finds a pin by name among pins, for IBaseFilter::FindPin.
HRESULT FindPinByName(const std::vector<IPin*>& pins, LPCWSTR id, IPin** pin);

template <class... Extra>
class GraphFilter : public com::ComObject<IBaseFilter, Extra...>, public PinHost {
 public:
  GraphFilter(const CLSID& classId, std::u16string ownName)
      : classId_(classId), membership_(std::move(ownName)) {}

  // --- IPersist / IMediaFilter --------------------------------------------------------------

  HRESULT GetClassID(CLSID* classId) override {
    if (!classId) return E_POINTER;
    *classId = classId_;
    return S_OK;
  }

  HRESULT Stop() override {
    std::lock_guard lock(stateMutex_);
    if (state_.load() == State_Stopped) return S_OK;
    // A filter always ends stopped; a failure on the way is reported all the same.
    const HRESULT result = OnStop();
    state_.store(State_Stopped);
    return result;
  }

  HRESULT Pause() override {
    std::lock_guard lock(stateMutex_);
    const FILTER_STATE from = state_.load();
    if (from == State_Paused) return S_OK;
    const HRESULT result = OnPause(from);
    if (FAILED(result)) return result;
    state_.store(State_Paused);
    return S_OK;
  }

  HRESULT Run(REFERENCE_TIME start) override {
    std::lock_guard lock(stateMutex_);
    const FILTER_STATE from = state_.load();
    if (from == State_Running) return S_OK;
    if (from == State_Stopped) {
      const HRESULT paused = OnPause(from);
      if (FAILED(paused)) return paused;
      state_.store(State_Paused);
    }
    const HRESULT result = OnRun(start);
    if (FAILED(result)) return result;
    state_.store(State_Running);
    return S_OK;
  }

  HRESULT GetState(DWORD timeout, FILTER_STATE* state) override {
    if (!state) return E_POINTER;
    *state = state_.load();
    return OnGetState(timeout);
  }

  // --- IBaseFilter ----------------------------------------------------------------------------

  HRESULT EnumPins(IEnumPins** enumerator) override {
    if (!enumerator) return E_POINTER;
    std::vector<ComPtr<IPin>> pins;
    for (IPin* pin : Pins()) pins.emplace_back(pin);
    *enumerator = devices::MakeListEnumerator<IEnumPins>(std::move(pins)).Detach();
    return S_OK;
  }
  HRESULT FindPin(LPCWSTR id, IPin** pin) override { return FindPinByName(Pins(), id, pin); }
  HRESULT QueryFilterInfo(FILTER_INFO* info) override { return membership_.QueryFilterInfo(info); }
  HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override {
    return membership_.Join(graph, name);
  }
  HRESULT QueryVendorInfo(LPWSTR* vendorInfo) override {
    if (!vendorInfo) return E_POINTER;
    *vendorInfo = nullptr;
    return E_NOTIMPL;
  }

  // --- PinHost --------------------------------------------------------------------------------

  IBaseFilter& HostFilter() override { return *this; }
  FILTER_STATE HostState() const override { return state_.load(); }

 protected:
  virtual std::vector<IPin*> Pins() = 0;
  // State hooks, called with the state lock held; a failure keeps the old state.
  virtual HRESULT OnPause(FILTER_STATE /*from*/) { return S_OK; }
  virtual HRESULT OnRun(REFERENCE_TIME /*start*/) { return S_OK; }
  virtual HRESULT OnStop() { return S_OK; }
  // GetState's answer beyond the state itself (a transition still running); no lock held.
  virtual HRESULT OnGetState(DWORD /*timeout*/) { return S_OK; }

  void Notify(LONG code, LONG_PTR param1, LONG_PTR param2) const {
    membership_.Notify(code, param1, param2);
  }

 private:
  const CLSID classId_;
  GraphMembership membership_;
  std::mutex stateMutex_;
  std::atomic<FILTER_STATE> state_{State_Stopped};
};

}  // namespace korvane::graph
