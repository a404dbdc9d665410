#include "platform/providers/CameraProviders.h"

#include <cstdlib>

#include "platform/devices/DeviceProvider.h"
#include "platform/graph/GraphClasses.h"
#include "platform/sim/SimCameras.h"
#include "platform/v4l2/V4l2Provider.h"
#include "platform/v4l2/emulation/EmulatedKernel.h"

namespace korvane::providers {

bool InstallCameraProviders() {
  graph::RegisterGraphClasses();
  const char* simulated = std::getenv("KORVANE_CAMERAS");
  if (simulated && *simulated) return sim::InstallCamerasFromEnvironment();
  // KORVANE_V4L2_EMULATION puts an emulated kernel with the cameras of its file behind the
  // same provider the machine's cameras use; a bad file has been reported and shows none
  // until it is repaired.
  bool usable = true;
  std::shared_ptr<v4l2::Kernel> kernel = v4l2::emulation::KernelFromEnvironment(&usable);
  if (!kernel) kernel = v4l2::MakeLibcKernel();
  devices::ReplaceDeviceProviders({v4l2::MakeV4l2Provider(std::move(kernel))});
  return usable;
}

}  // namespace korvane::providers
