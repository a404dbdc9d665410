#include "platform/v4l2/emulation/FilmingAhead.h"

#include <pthread.h>

#include <algorithm>
#include <cstring>

namespace korvane::v4l2::emulation {

FilmingAhead::FilmingAhead(Draw draw, std::size_t frameBytes)
    : draw_(std::move(draw)), ready_(frameBytes), filming_(frameBytes) {
  thread_ = std::thread([this] { Run(); });
}

FilmingAhead::~FilmingAhead() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

std::size_t FilmingAhead::Take(std::uint64_t number, unsigned char* out, std::size_t capacity) {
  std::unique_lock lock(mutex_);
  if (!(haveReady_ && readyNumber_ == number)) {
    wanted_ = number;
    changed_.notify_all();
    changed_.wait(lock, [&] { return haveReady_ && readyNumber_ == number; });
  }
  const std::size_t bytes = readyBytes_ <= capacity ? readyBytes_ : 0;
  if (bytes > 0) std::memcpy(out, ready_.data(), bytes);
  wanted_ = number + 1;
  changed_.notify_all();
  return bytes;
}

void FilmingAhead::Run() {
  pthread_setname_np(pthread_self(), "emulated camera");
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stopping_ || !(haveReady_ && readyNumber_ == wanted_); });
    if (stopping_) return;
    const std::uint64_t number = wanted_;
    lock.unlock();
    const std::size_t bytes = draw_(number, filming_.data(), filming_.size());
    lock.lock();
    std::swap(ready_, filming_);
    readyBytes_ = bytes;
    readyNumber_ = number;
    haveReady_ = true;
    changed_.notify_all();
  }
}

}  // namespace korvane::v4l2::emulation
