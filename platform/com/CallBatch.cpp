#include "platform/com/CallBatch.h"

#include <atomic>

namespace korvane::com {
namespace {

std::atomic<std::uint64_t> lastBatch{0};
thread_local int depth = 0;
thread_local std::uint64_t current = 0;

}  // namespace

ScopedCallBatch::ScopedCallBatch() {
  if (depth++ == 0) current = lastBatch.fetch_add(1, std::memory_order_relaxed) + 1;
}

ScopedCallBatch::~ScopedCallBatch() {
  if (--depth == 0) current = 0;
}

std::uint64_t CurrentCallBatch() {
  return current;
}

}  // namespace korvane::com
