#include "platform/graph/GraphFilter.h"

#include <algorithm>

#include "platform/com/WideString.h"

namespace korvane::graph {

GraphMembership::GraphMembership(std::u16string ownName) : ownName_(std::move(ownName)) {}

HRESULT GraphMembership::QueryFilterInfo(FILTER_INFO* info) const {
  if (!info) return E_POINTER;
  std::lock_guard lock(mutex_);
  // In a graph the filter goes by the name the graph gave it, otherwise by its own.
  const std::u16string& name = graph_ ? graphName_ : ownName_;
  const std::size_t length = std::min(name.size(), std::size(info->achName) - 1);
  std::copy_n(name.begin(), length, info->achName);
  info->achName[length] = 0;
  info->pGraph = graph_;
  if (graph_) graph_->AddRef();
  return S_OK;
}

HRESULT GraphMembership::Join(IFilterGraph* graph, LPCWSTR name) {
  IMediaEventSink* sink = nullptr;
  if (graph) {
    ComPtr<IMediaEventSink> counted;
    graph->QueryInterface(IID_IMediaEventSink, counted.ReleaseAndGetVoidAddressOf());
    sink = counted.Get();  // a plain pointer, as for the graph itself
  }
  std::lock_guard lock(mutex_);
  graph_ = graph;
  sink_ = sink;
  graphName_ = graph && name ? std::u16string(name, com::WideLength(name)) : std::u16string();
  return S_OK;
}

void GraphMembership::Notify(LONG code, LONG_PTR param1, LONG_PTR param2) const {
  std::lock_guard lock(mutex_);
  if (sink_) sink_->Notify(code, param1, param2);
}

HRESULT FindPinByName(const std::vector<IPin*>& pins, LPCWSTR id, IPin** pin) {
  if (!id || !pin) return E_POINTER;
  *pin = nullptr;
  const std::u16string_view wanted(id, com::WideLength(id));
  for (IPin* candidate : pins) {
    PIN_INFO info{};
    if (FAILED(candidate->QueryPinInfo(&info))) continue;
    const ComPtr<IBaseFilter> owner = ComPtr<IBaseFilter>::Attach(info.pFilter);
    if (wanted == std::u16string_view(info.achName)) {
      *pin = ComPtr<IPin>(candidate).Detach();
      return S_OK;
    }
  }
  return VFW_E_NOT_FOUND;
}

}  // namespace korvane::graph
