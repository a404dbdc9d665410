#include "camera/FDeviceEnumeration.h"

namespace korvane::camera {

void ForEachDevice(const GUID& Category,
                   const std::function<bool(IMoniker& Moniker, IPropertyBag& Bag)>& Visit) {
  ComPtr<ICreateDevEnum> DevEnum;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ICreateDevEnum, DevEnum.ReleaseAndGetVoidAddressOf())) ||
      !DevEnum)
    return;
  ComPtr<IEnumMoniker> Monikers;
  // An empty category answers S_FALSE without an enumerator.
  if (FAILED(DevEnum->CreateClassEnumerator(Category, Monikers.ReleaseAndGetAddressOf(), 0)) ||
      !Monikers)
    return;
  ComPtr<IMoniker> Moniker;
  while (Monikers->Next(1, Moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    if (!Moniker) continue;
    ComPtr<IPropertyBag> Bag;
    if (FAILED(Moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                      Bag.ReleaseAndGetVoidAddressOf())) ||
        !Bag)
      continue;
    if (Visit(*Moniker, *Bag)) return;
  }
}

std::optional<std::string> ReadBagString(IPropertyBag& Bag, LPCOLESTR Name) {
  korvane::com::Variant Value;
  if (FAILED(Bag.Read(Name, &Value, nullptr))) return std::nullopt;
  return Value.AsString();
}

LONG ReadBagInteger(IPropertyBag& Bag, LPCOLESTR Name) {
  korvane::com::Variant Value;
  if (FAILED(Bag.Read(Name, &Value, nullptr))) return 0;
  return Value.AsInteger();
}

ComPtr<IBaseFilter> BindFirstMatching(const GUID& Category, const std::string& Name,
                                      std::initializer_list<LPCOLESTR> Properties) {
  ComPtr<IBaseFilter> Filter;
  ForEachDevice(Category, [&](IMoniker& Moniker, IPropertyBag& Bag) {
    for (LPCOLESTR Property : Properties) {
      if (ReadBagString(Bag, Property) != Name) continue;
      // A device that matches but cannot be opened is passed over, not an error.
      if (SUCCEEDED(Moniker.BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                         Filter.ReleaseAndGetVoidAddressOf())) &&
          Filter)
        return true;
      Filter.Reset();
    }
    return false;
  });
  return Filter;
}

}  // namespace korvane::camera
