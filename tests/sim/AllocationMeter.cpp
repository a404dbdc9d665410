#include "tests/sim/AllocationMeter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> held{0};
std::atomic<std::size_t> peak{0};

void* Take(std::size_t size, std::size_t alignment = 0) {
  void* block = nullptr;
  if (alignment > alignof(std::max_align_t)) {
    if (::posix_memalign(&block, alignment, size == 0 ? 1 : size) != 0) block = nullptr;
  } else {
    block = std::malloc(size == 0 ? 1 : size);
  }
  if (block == nullptr) return nullptr;
  const std::size_t now = held.fetch_add(::malloc_usable_size(block)) + ::malloc_usable_size(block);
  std::size_t highest = peak.load();
  while (now > highest && !peak.compare_exchange_weak(highest, now)) {
  }
  return block;
}

void Give(void* block) noexcept {
  if (block == nullptr) return;
  held.fetch_sub(::malloc_usable_size(block));
  std::free(block);
}

void* TakeOrThrow(std::size_t size, std::size_t alignment = 0) {
  if (void* block = Take(size, alignment)) return block;
  throw std::bad_alloc();
}

}  // namespace

namespace korvane::testing {

PeakMeter::PeakMeter() : base_(held.load()) {
  peak.store(base_);
}

std::size_t PeakMeter::Peak() const {
  return peak.load() - base_;
}

}  // namespace korvane::testing

void* operator new(std::size_t size) {
  return TakeOrThrow(size);
}
void* operator new[](std::size_t size) {
  return TakeOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return Take(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Take(size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  return TakeOrThrow(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return TakeOrThrow(size, static_cast<std::size_t>(alignment));
}
void operator delete(void* block) noexcept {
  Give(block);
}
void operator delete[](void* block) noexcept {
  Give(block);
}
void operator delete(void* block, std::size_t) noexcept {
  Give(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  Give(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
  Give(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  Give(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
  Give(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
  Give(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
  Give(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
  Give(block);
}
