#include <charconv>
#include <string>

#include "platform/sim/SimCameras.h"

namespace korvane::sim {

std::size_t SimStore::CallCount(std::string_view call) const {
  const std::size_t hash = call.find('#');
  const std::string_view name = call.substr(0, hash);
  std::lock_guard lock(countMutex_);
  const auto found = callCounts_.find(name);
  if (found == callCounts_.end()) return 0;
  if (hash == std::string_view::npos) return found->second.total;
  const std::string_view digits = call.substr(hash + 1);
  LONG index = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
  if (error != std::errc() || end != digits.data() + digits.size()) return 0;
  const auto counted = found->second.byIndex.find(index);
  return counted == found->second.byIndex.end() ? 0 : counted->second;
}

void SimStore::ResetCallCounts() {
  std::lock_guard lock(countMutex_);
  callCounts_.clear();
}

void SimStore::CountCall(std::string_view call, std::optional<LONG> index) {
  std::lock_guard lock(countMutex_);
  auto found = callCounts_.find(call);
  if (found == callCounts_.end())
    found = callCounts_.emplace(std::string(call), CallCounts{}).first;
  ++found->second.total;
  if (index) ++found->second.byIndex[*index];
}

}  // namespace korvane::sim
