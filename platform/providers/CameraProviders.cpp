#include "platform/providers/CameraProviders.h"

#include "platform/sim/SimCameras.h"

namespace korvane::providers {

bool InstallCameraProviders() {
  return sim::InstallCamerasFromEnvironment();
}

}  // namespace korvane::providers
