#include <algorithm>
#include <mutex>
#include <utility>

#include "platform/devices/DeviceProvider.h"

namespace korvane::devices {
namespace {

struct Registry {
  std::mutex mutex;
  ProviderList providers;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

void AddDeviceProvider(std::shared_ptr<DeviceProvider> provider) {
  if (!provider) return;
  RegisterSystemDeviceEnumerator();
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  registry.providers.push_back(std::move(provider));
}

void RemoveDeviceProvider(const DeviceProvider* provider) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  std::erase_if(registry.providers, [provider](const auto& p) { return p.get() == provider; });
}

ProviderList ReplaceDeviceProviders(ProviderList providers) {
  RegisterSystemDeviceEnumerator();
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  std::swap(registry.providers, providers);
  return providers;
}

ProviderList InstalledDeviceProviders() {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  return registry.providers;
}

ScopedDeviceProviders::ScopedDeviceProviders(ProviderList providers)
    : previous_(ReplaceDeviceProviders(std::move(providers))) {}

ScopedDeviceProviders::~ScopedDeviceProviders() {
  ReplaceDeviceProviders(std::move(previous_));
}

}  // namespace korvane::devices
