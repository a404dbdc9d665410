#pragma once
// The device provider of the simulated cameras: every present device of the store, in the
// order the description lists them.

#include <memory>

#include "platform/devices/DeviceProvider.h"
#include "platform/sim/SimCameras.h"

namespace korvane::sim {

std::shared_ptr<devices::DeviceProvider> MakeSimProvider(std::shared_ptr<SimStore> store);

}  // namespace korvane::sim
