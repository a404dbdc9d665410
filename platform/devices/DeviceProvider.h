#pragma once
// The seam between device enumeration and the places devices come from (simulated cameras,
// Video4Linux2). A provider lists the devices of a category; enumeration wraps each in a
// moniker, so a caller never learns which provider a device came from.

#include <cerrno>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/com/Guid.h"
#include "platform/com/Unknown.h"

namespace korvane::devices {

// What a device's property bag answers; a field left empty is missing from the bag.
struct DeviceProperties {
  std::optional<std::string> friendlyName;
  std::optional<std::string> devicePath;
  std::optional<std::string> description;
  std::optional<LONG> waveInId;
};

// One device a provider found. The moniker enumeration hands out keeps it and binds through it.
class DeviceEntry {
 public:
  virtual ~DeviceEntry() = default;
  // Backs IMoniker::BindToStorage: the fields of the property bag, or the failure to report.
  virtual HRESULT ReadProperties(DeviceProperties* properties) = 0;
  // Backs IMoniker::BindToObject: the device's filter queried for iid.
  virtual HRESULT BindToObject(REFIID iid, void** object) = 0;
};

// Tells a waiting program that devices may have come: a descriptor of this process for poll(2),
// and the paths that came. A path is a device path as the property bag gives it, or another
// name of the same device, which the caller will not find in the list.
class DeviceWatch {
 public:
  virtual ~DeviceWatch() = default;
  virtual int Descriptor() const = 0;
  // Takes what made the descriptor readable and appends the paths that came or changed so that
  // their device may answer now. 0, or the errno of the failure.
  virtual int TakeAppeared(std::vector<std::string>* paths) = 0;
};

class DeviceProvider {
 public:
  virtual ~DeviceProvider() = default;
  // The devices present now in the given category (a CLSID_...Category), in display order.
  virtual std::vector<std::shared_ptr<DeviceEntry>> Enumerate(const GUID& category) = 0;
  // Watches for devices of this provider coming; nullptr with *error (an errno) when they
  // cannot be watched. ENOTSUP: this provider's devices do not come and go while it runs.
  virtual std::unique_ptr<DeviceWatch> WatchDevices(int* error) {
    *error = ENOTSUP;
    return nullptr;
  }
};

using ProviderList = std::vector<std::shared_ptr<DeviceProvider>>;

// The providers enumeration asks, in order. Every function here is safe to call from any
// thread; an enumeration that is running keeps the providers it started with.
void AddDeviceProvider(std::shared_ptr<DeviceProvider> provider);
void RemoveDeviceProvider(const DeviceProvider* provider);
// Installs exactly these providers and returns the ones installed before.
ProviderList ReplaceDeviceProviders(ProviderList providers);
ProviderList InstalledDeviceProviders();

// Registers CLSID_SystemDeviceEnum in the class registry. Installing a provider does it too.
void RegisterSystemDeviceEnumerator();

// Installs exactly the given providers for its lifetime and puts the previous ones back.
class ScopedDeviceProviders {
 public:
  explicit ScopedDeviceProviders(ProviderList providers);
  ~ScopedDeviceProviders();
  ScopedDeviceProviders(const ScopedDeviceProviders&) = delete;
  ScopedDeviceProviders& operator=(const ScopedDeviceProviders&) = delete;

 private:
  ProviderList previous_;
};

}  // namespace korvane::devices
