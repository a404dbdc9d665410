#include "platform/com/TaskMemory.h"

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<std::size_t> outstanding_blocks{0};
}

void* CoTaskMemAlloc(std::size_t size) {
  // A zero-byte request still yields a distinct block, as on the original platform.
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block) ++outstanding_blocks;
  return block;
}

void CoTaskMemFree(void* block) {
  if (!block) return;
  --outstanding_blocks;
  std::free(block);
}

namespace korvane::com {
std::size_t OutstandingTaskMemoryBlocks() { return outstanding_blocks.load(); }
}  // namespace korvane::com
