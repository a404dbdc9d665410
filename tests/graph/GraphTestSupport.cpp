#include "tests/graph/GraphTestSupport.h"

namespace korvane::graph::testing {

std::vector<std::u16string> Graph::FilterNames() const {
  std::vector<std::u16string> names;
  ComPtr<IEnumFilters> filters;
  if (FAILED(builder->EnumFilters(filters.ReleaseAndGetAddressOf()))) return names;
  ComPtr<IBaseFilter> filter;
  while (filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    FILTER_INFO info{};
    filter->QueryFilterInfo(&info);
    if (info.pGraph) info.pGraph->Release();
    names.emplace_back(info.achName);
  }
  return names;
}

std::optional<std::pair<LONG, LONG_PTR>> Graph::NextEvent(LONG timeout) const {
  LONG code = 0;
  LONG_PTR first = 0, second = 0;
  if (events->GetEvent(&code, &first, &second, timeout) != S_OK) return std::nullopt;
  const std::pair<LONG, LONG_PTR> event{code, code == EC_DEVICE_LOST ? first != 0 : first};
  events->FreeEventParams(code, first, second);
  return event;
}

ComPtr<IBaseFilter> GraphTest::Install(SimDescription description) {
  cameras_.emplace(std::move(description));
  ComPtr<ICreateDevEnum> devices = Create<ICreateDevEnum>(CLSID_SystemDeviceEnum);
  ComPtr<IEnumMoniker> monikers;
  ComPtr<IMoniker> moniker;
  ComPtr<IBaseFilter> filter;
  if (devices &&
      devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory,
                                     monikers.ReleaseAndGetAddressOf(), 0) == S_OK &&
      monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.ReleaseAndGetVoidAddressOf());
  }
  return filter;
}

GrabberPath AddGrabberPath(const Graph& graph, FrameCounter* counter) {
  GrabberPath path;
  path.grabber->SetBufferSamples(TRUE);
  if (counter) path.grabber->SetCallback(counter, 0);
  graph.Add(path.grabberFilter.Get(), u"Sample grabber");
  graph.Add(path.renderer.Get(), u"Null renderer");
  return path;
}

GrabberGraph::GrabberGraph(IBaseFilter* camera) : path(AddGrabberPath(graph, counter.Get())) {
  graph.Add(camera, u"Video capture");
  built = graph.capture->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, camera,
                                      path.grabberFilter.Get(), path.renderer.Get());
}

std::vector<BYTE> CurrentBuffer(ISampleGrabber* grabber) {
  LONG size = 0;
  if (FAILED(grabber->GetCurrentBuffer(&size, nullptr))) return {};
  std::vector<BYTE> bytes(static_cast<std::size_t>(size));
  if (FAILED(grabber->GetCurrentBuffer(&size, reinterpret_cast<LONG*>(bytes.data())))) return {};
  bytes.resize(static_cast<std::size_t>(size));
  return bytes;
}

}  // namespace korvane::graph::testing
