#include "platform/com/TaskMemory.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <utility>

namespace {

std::atomic<std::size_t> outstanding_blocks{0};

// Video frames go through task memory at frame rate, a block of several megabytes each time
// (the renderer's current image, given back once the window has drawn it). Fresh blocks that
// large come straight from the system, and each of their pages then costs a fault when first
// written: at 1080p that is most of a repaint. So the last large block given back is kept and
// handed out again for a request it fits; at most one, so what is kept stays one frame.
constexpr std::size_t kKeptBlockMinimum = std::size_t{1} << 20;

class KeptBlock {
 public:
  // A kept block of at least `size` bytes and not more than twice that, or null.
  void* Take(std::size_t size) {
    std::lock_guard lock(mutex_);
    if (!block_ || capacity_ < size || capacity_ / 2 > size) return nullptr;
    return std::exchange(block_, nullptr);
  }
  // Keeps the block in place of the one kept before; the block that is not kept is returned.
  void* Keep(void* block, std::size_t capacity) {
    std::lock_guard lock(mutex_);
    capacity_ = capacity;
    return std::exchange(block_, block);
  }
  ~KeptBlock() { std::free(block_); }

 private:
  std::mutex mutex_;
  void* block_ = nullptr;
  std::size_t capacity_ = 0;
};

KeptBlock& Kept() {
  static KeptBlock kept;
  return kept;
}

}  // namespace

void* CoTaskMemAlloc(std::size_t size) {
  void* block = size >= kKeptBlockMinimum ? Kept().Take(size) : nullptr;
  // A zero-byte request still yields a distinct block, as on the original platform.
  if (!block) block = std::malloc(size == 0 ? 1 : size);
  if (block) ++outstanding_blocks;
  return block;
}

void CoTaskMemFree(void* block) {
  if (!block) return;
  --outstanding_blocks;
  if (const std::size_t capacity = malloc_usable_size(block); capacity >= kKeptBlockMinimum) {
    block = Kept().Keep(block, capacity);
  }
  std::free(block);
}

namespace korvane::com {
std::size_t OutstandingTaskMemoryBlocks() {
  return outstanding_blocks.load();
}
}  // namespace korvane::com
