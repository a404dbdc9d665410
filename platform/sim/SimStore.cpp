#include <string>

#include "platform/sim/SimCameras.h"

namespace korvane::sim {

std::size_t SimStore::CallCount(std::string_view call) const {
  std::lock_guard lock(countMutex_);
  const auto found = callCounts_.find(call);
  return found == callCounts_.end() ? 0 : found->second;
}

void SimStore::ResetCallCounts() {
  std::lock_guard lock(countMutex_);
  callCounts_.clear();
}

void SimStore::CountCall(std::string_view call, std::optional<LONG> index) {
  std::lock_guard lock(countMutex_);
  auto count = [this](std::string key) { ++callCounts_[std::move(key)]; };
  count(std::string(call));
  if (index) count(std::string(call) + '#' + std::to_string(*index));
}

}  // namespace korvane::sim
