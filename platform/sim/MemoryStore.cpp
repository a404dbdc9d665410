// The device state of cameras that live in this process only (the demo set, most tests).

#include <mutex>
#include <utility>

#include "platform/sim/SimCameras.h"

namespace korvane::sim {
namespace {

class MemoryStore final : public SimStore {
 public:
  explicit MemoryStore(SimDescription description)
      : state_(std::make_shared<const SimDescription>(std::move(description))) {}

  SimDescription Read() override { return *Snapshot(); }

  std::shared_ptr<const SimDescription> Snapshot() override {
    std::lock_guard lock(mutex_);
    return state_;
  }

  bool Modify(const std::function<void(SimDescription&)>& change) override {
    std::lock_guard lock(mutex_);
    auto next = std::make_shared<SimDescription>(*state_);
    change(*next);
    state_ = std::move(next);
    return true;
  }

 private:
  std::mutex mutex_;
  // Snapshots are immutable, so a reader keeps a consistent state while a writer replaces it.
  std::shared_ptr<const SimDescription> state_;
};

}  // namespace

std::shared_ptr<SimStore> MakeMemoryStore(SimDescription description) {
  return std::make_shared<MemoryStore>(std::move(description));
}

}  // namespace korvane::sim
