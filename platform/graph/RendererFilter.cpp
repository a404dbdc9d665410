#include "platform/graph/RendererFilter.h"

#include <chrono>

namespace korvane::graph {

void RunStart::Begin(bool expectsSamples) {
  std::lock_guard lock(mutex_);
  waiting_ = expectsSamples;
  ended_ = false;
}

void RunStart::SampleArrived() {
  {
    std::lock_guard lock(mutex_);
    if (!waiting_) return;
    waiting_ = false;
  }
  changed_.notify_all();
}

bool RunStart::EndOfStream() {
  bool first = false;
  {
    std::lock_guard lock(mutex_);
    waiting_ = false;
    first = !ended_;
    ended_ = true;
  }
  changed_.notify_all();
  return first;
}

void RunStart::Halt() {
  {
    std::lock_guard lock(mutex_);
    waiting_ = false;
  }
  changed_.notify_all();
}

HRESULT RunStart::Wait(DWORD timeout) {
  std::unique_lock lock(mutex_);
  const auto started = [this] { return !waiting_; };
  if (timeout == 0xFFFFFFFF) {
    changed_.wait(lock, started);
  } else if (!changed_.wait_for(lock, std::chrono::milliseconds(timeout), started)) {
    return VFW_S_STATE_INTERMEDIATE;
  }
  return S_OK;
}

}  // namespace korvane::graph
