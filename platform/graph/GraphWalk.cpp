#include "platform/graph/GraphWalk.h"

#include <cstring>

namespace korvane::graph {

std::vector<ComPtr<IPin>> PinsOf(IBaseFilter* filter) {
  std::vector<ComPtr<IPin>> pins;
  ComPtr<IEnumPins> enumerator;
  if (!filter || FAILED(filter->EnumPins(enumerator.ReleaseAndGetAddressOf())) || !enumerator) {
    return pins;
  }
  ComPtr<IPin> pin;
  while (enumerator->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    if (pin) pins.push_back(pin);
  }
  return pins;
}

std::optional<PIN_DIRECTION> DirectionOf(IPin* pin) {
  PIN_DIRECTION direction{};
  if (!pin || FAILED(pin->QueryDirection(&direction))) return std::nullopt;
  return direction;
}

ComPtr<IBaseFilter> FilterOf(IPin* pin) {
  PIN_INFO info{};
  if (!pin || FAILED(pin->QueryPinInfo(&info))) return nullptr;
  return ComPtr<IBaseFilter>::Attach(info.pFilter);
}

ComPtr<IPin> PeerOf(IPin* pin) {
  ComPtr<IPin> peer;
  if (pin) pin->ConnectedTo(peer.ReleaseAndGetAddressOf());
  return peer;
}

ComPtr<IPin> FirstFreePin(IBaseFilter* filter, PIN_DIRECTION direction) {
  for (const ComPtr<IPin>& pin : PinsOf(filter)) {
    if (DirectionOf(pin.Get()) == direction && !PeerOf(pin.Get())) return pin;
  }
  return nullptr;
}

bool IsInGraph(IBaseFilter* filter, IFilterGraph* graph) {
  // The graph's own list decides, not what the filter says of itself.
  ComPtr<IEnumFilters> filters;
  if (!filter || !graph || FAILED(graph->EnumFilters(filters.ReleaseAndGetAddressOf())) ||
      !filters) {
    return false;
  }
  ComPtr<IBaseFilter> member;
  while (filters->Next(1, member.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    if (member.Get() == filter) return true;
  }
  return false;
}

std::optional<CLSID> ClassOf(IBaseFilter* filter) {
  CLSID id{};
  if (!filter || FAILED(filter->GetClassID(&id))) return std::nullopt;
  return id;
}

std::optional<GUID> CategoryOf(IPin* pin) {
  ComPtr<IKsPropertySet> properties;
  if (!pin ||
      FAILED(pin->QueryInterface(IID_IKsPropertySet, properties.ReleaseAndGetVoidAddressOf()))) {
    return std::nullopt;
  }
  GUID category{};
  DWORD returned = 0;
  if (FAILED(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category,
                             sizeof(category), &returned)) ||
      returned != sizeof(category)) {
    return std::nullopt;
  }
  return category;
}

bool OffersMajorType(IPin* pin, const GUID* majorType) {
  if (!majorType || *majorType == GUID_NULL) return true;
  if (!pin) return false;
  // A pin that cannot list its types is not passed over for that: its connection will tell.
  ComPtr<IEnumMediaTypes> types;
  if (FAILED(pin->EnumMediaTypes(types.ReleaseAndGetAddressOf())) || !types) return true;
  AM_MEDIA_TYPE* type = nullptr;
  bool offered = false;
  while (!offered && types->Next(1, &type, nullptr) == S_OK && type) {
    offered = type->majortype == *majorType;
    CoTaskMemFree(type->pbFormat);
    if (type->pUnk) type->pUnk->Release();
    CoTaskMemFree(type);
    type = nullptr;
  }
  return offered;
}

}  // namespace korvane::graph
