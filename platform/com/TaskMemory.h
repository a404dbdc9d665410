#pragma once
// Task memory: what the platform allocates for a caller (media types, page lists, strings)
// and the caller frees with CoTaskMemFree. Allocations are counted so tests can prove that
// every path gives them back.

#include <cstddef>
#include <memory>

#include "platform/com/ComTypes.h"

void* CoTaskMemAlloc(std::size_t size);
void CoTaskMemFree(void* block);

namespace korvane::com {

// Blocks from CoTaskMemAlloc not yet freed, process-wide.
std::size_t OutstandingTaskMemoryBlocks();

struct TaskMemFree {
  void operator()(void* block) const { CoTaskMemFree(block); }
};
// Owns one task-memory block.
template <class T>
using TaskMemPtr = std::unique_ptr<T, TaskMemFree>;

}  // namespace korvane::com
