// The system device enumerator: asks every installed provider for the devices of a category
// and hands each out as a moniker that binds to the device's filter or property bag.

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/DirectShow9.h"
#include "platform/devices/DeviceProvider.h"
#include "platform/devices/ListEnumerator.h"
#include "platform/devices/PropertyBag.h"

namespace korvane::devices {
namespace {

class DeviceMoniker final : public com::ComObject<IMoniker> {
 public:
  explicit DeviceMoniker(std::shared_ptr<DeviceEntry> entry) : entry_(std::move(entry)) {}

  HRESULT BindToObject(IBindCtx*, IMoniker*, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    return entry_->BindToObject(iid, object);
  }

  HRESULT BindToStorage(IBindCtx*, IMoniker*, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IPropertyBag) return E_NOINTERFACE;
    DeviceProperties properties;
    if (const HRESULT hr = entry_->ReadProperties(&properties); FAILED(hr)) return hr;
    ComPtr<IPropertyBag> bag = MakePropertyBag(std::move(properties));
    *object = bag.Detach();
    return S_OK;
  }

 private:
  const std::shared_ptr<DeviceEntry> entry_;
};

class SystemDeviceEnum final : public com::ComObject<ICreateDevEnum> {
 public:
  HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** enumerator, DWORD) override {
    if (!enumerator) return E_POINTER;
    *enumerator = nullptr;
    std::vector<ComPtr<IMoniker>> monikers;
    for (const auto& provider : InstalledDeviceProviders()) {
      for (auto& entry : provider->Enumerate(category)) {
        if (entry) monikers.push_back(com::MakeCom<DeviceMoniker>(std::move(entry)));
      }
    }
    // An empty category has no enumerator at all, which callers must check for.
    if (monikers.empty()) return S_FALSE;
    *enumerator = MakeListEnumerator<IEnumMoniker>(std::move(monikers)).Detach();
    return S_OK;
  }
};

}  // namespace

void RegisterSystemDeviceEnumerator() {
  com::RegisterClass(CLSID_SystemDeviceEnum, com::FactoryOf<SystemDeviceEnum>());
}

}  // namespace korvane::devices
