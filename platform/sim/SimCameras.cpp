// Installing simulated cameras: for a test's scope, or for the program from the environment.

#include "platform/sim/SimCameras.h"

#include <cstdlib>
#include <iostream>
#include <utility>

#include "platform/devices/DeviceProvider.h"
#include "platform/graph/GraphClasses.h"
#include "platform/sim/SimProvider.h"

namespace korvane::sim {

// The cameras stream through the platform's graph, so installing them installs it too.
ScopedSimCameras::ScopedSimCameras(std::shared_ptr<SimStore> store)
    : store_(std::move(store)),
      installation_(std::make_unique<devices::ScopedDeviceProviders>(
          devices::ProviderList{MakeSimProvider(store_)})) {
  graph::RegisterGraphClasses();
}

ScopedSimCameras::ScopedSimCameras(SimDescription description)
    : ScopedSimCameras(MakeMemoryStore(std::move(description))) {}

ScopedSimCameras::ScopedSimCameras(const std::filesystem::path& file)
    : ScopedSimCameras(MakeFileStore(file)) {}

ScopedSimCameras::~ScopedSimCameras() = default;

SimStore& ScopedSimCameras::Store() {
  return *store_;
}

bool InstallCamerasFromEnvironment() {
  // The enumerator exists even when nothing is installed, so callers see empty categories
  // rather than a missing class.
  devices::RegisterSystemDeviceEnumerator();
  graph::RegisterGraphClasses();
  const char* setting = std::getenv("KORVANE_CAMERAS");
  if (!setting || !*setting) return true;
  const std::string value(setting);
  if (value == "demo") {
    devices::ReplaceDeviceProviders({MakeSimProvider(MakeMemoryStore(DemoCameras()))});
    return true;
  }
  auto store = MakeFileStore(value);
  // The provider is installed even for an unusable file: it shows no cameras until the file
  // is repaired, and the store has already said once what is wrong with it.
  const bool usable = store->Usable();
  devices::ReplaceDeviceProviders({MakeSimProvider(std::move(store))});
  return usable;
}

}  // namespace korvane::sim
