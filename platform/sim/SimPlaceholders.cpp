// Temporary: the JSON file format and the demo set arrive in the next commits.
#include <stdexcept>

#include "platform/sim/SimCameras.h"

namespace korvane::sim {
std::shared_ptr<SimStore> MakeFileStore(const std::filesystem::path&) {
  throw std::runtime_error("file-backed simulated cameras are not built yet");
}
SimDescription DemoCameras() {
  return {};
}
std::string ToJson(const SimDescription&) {
  throw std::runtime_error("the simulated camera file format is not built yet");
}
}  // namespace korvane::sim
