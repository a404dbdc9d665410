// The system device enumerator: asks every installed provider for the devices of a category
// and hands each out as a moniker that binds to the device's filter or property bag.

#include <algorithm>
#include <utility>
#include <vector>

#include "camera/FDirectShow9.h"
#include "platform/devices/DeviceProvider.h"
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

using MonikerList = std::vector<ComPtr<IMoniker>>;

class MonikerEnumerator final : public com::ComObject<IEnumMoniker> {
 public:
  MonikerEnumerator(std::shared_ptr<const MonikerList> monikers, std::size_t position)
      : monikers_(std::move(monikers)), position_(position) {}

  HRESULT Next(ULONG count, IMoniker** monikers, ULONG* fetched) override {
    if (!monikers || (count != 1 && !fetched)) return E_POINTER;
    ULONG delivered = 0;
    while (delivered < count && position_ < monikers_->size()) {
      ComPtr<IMoniker> copy = (*monikers_)[position_++];
      monikers[delivered++] = copy.Detach();
    }
    if (fetched) *fetched = delivered;
    return delivered == count ? S_OK : S_FALSE;
  }

  HRESULT Skip(ULONG count) override {
    const std::size_t left = monikers_->size() - position_;
    position_ += std::min<std::size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
  }

  HRESULT Reset() override {
    position_ = 0;
    return S_OK;
  }

  HRESULT Clone(IEnumMoniker** clone) override {
    if (!clone) return E_POINTER;
    *clone = com::MakeCom<MonikerEnumerator>(monikers_, position_).Detach();
    return S_OK;
  }

 private:
  const std::shared_ptr<const MonikerList> monikers_;
  std::size_t position_;
};

class SystemDeviceEnum final : public com::ComObject<ICreateDevEnum> {
 public:
  HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** enumerator, DWORD) override {
    if (!enumerator) return E_POINTER;
    *enumerator = nullptr;
    auto monikers = std::make_shared<MonikerList>();
    for (const auto& provider : InstalledDeviceProviders()) {
      for (auto& entry : provider->Enumerate(category)) {
        if (entry) monikers->push_back(com::MakeCom<DeviceMoniker>(std::move(entry)));
      }
    }
    // An empty category has no enumerator at all, which callers must check for.
    if (monikers->empty()) return S_FALSE;
    *enumerator = com::MakeCom<MonikerEnumerator>(std::move(monikers), 0).Detach();
    return S_OK;
  }
};

}  // namespace

void RegisterSystemDeviceEnumerator() {
  com::RegisterClass(CLSID_SystemDeviceEnum, com::FactoryOf<SystemDeviceEnum>());
}

}  // namespace korvane::devices
