#include "platform/graph/GraphEvents.h"

#include <atomic>
#include <chrono>

namespace korvane::graph {
namespace {

// Waits until done() holds or the time-out (milliseconds, negative for none) ends.
template <class Done>
bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& changed, LONG timeout,
               Done done) {
  if (timeout < 0) {
    changed.wait(lock, done);
    return true;
  }
  return changed.wait_for(lock, std::chrono::milliseconds(timeout), done);
}

}  // namespace

GraphEvents::~GraphEvents() {
  for (const Event& event : queue_) FreeEventParams(event.code, event.param1, event.param2);
}

void GraphEvents::StartRun(std::size_t renderers) {
  std::lock_guard lock(mutex_);
  renderers_ = renderers;
  completedRenderers_ = 0;
  completion_ = 0;
  abortError_ = S_OK;
}

void GraphEvents::StateChanged(bool stopped) {
  {
    std::lock_guard lock(mutex_);
    if (stopped) {
      abortError_ = S_OK;
      completion_ = 0;
    }
  }
  changed_.notify_all();
}

void GraphEvents::Queue(const Event& event) {
  if (queue_.size() == kMaxQueued) {
    const Event dropped = queue_.front();
    queue_.pop_front();
    FreeEventParams(dropped.code, dropped.param1, dropped.param2);
  }
  queue_.push_back(event);
}

void GraphEvents::Notify(LONG code, LONG_PTR param1, LONG_PTR param2) {
  {
    std::lock_guard lock(mutex_);
    switch (code) {
      case EC_COMPLETE:
        // Renderers report one by one; the application hears once, when the last one has.
        if (++completedRenderers_ != renderers_) return;
        if (completion_ == 0) completion_ = EC_COMPLETE;
        Queue({EC_COMPLETE, S_OK, 0});
        break;
      case EC_ERRORABORT:
      case EC_USERABORT:
        if (SUCCEEDED(abortError_)) {
          abortError_ = code == EC_ERRORABORT ? static_cast<HRESULT>(param1) : E_ABORT;
        }
        if (completion_ == 0) completion_ = code;
        Queue({code, param1, param2});
        break;
      case EC_DEVICE_LOST:
        // The event holds the device until the application frees its parameters.
        if (auto* device = reinterpret_cast<IUnknown*>(param1)) device->AddRef();
        Queue({code, param1, param2});
        break;
      default:
        Queue({code, param1, param2});
        break;
    }
  }
  changed_.notify_all();
}

HRESULT GraphEvents::GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeout) {
  if (!code || !param1 || !param2) return E_POINTER;
  std::unique_lock lock(mutex_);
  if (!WaitUntil(lock, changed_, timeout, [&] { return !queue_.empty(); })) {
    *code = 0;
    *param1 = *param2 = 0;
    return E_ABORT;
  }
  const Event event = queue_.front();
  queue_.pop_front();
  *code = event.code;
  *param1 = event.param1;
  *param2 = event.param2;
  return S_OK;
}

HRESULT GraphEvents::WaitForCompletion(LONG timeout, LONG* code,
                                       const std::atomic<FILTER_STATE>& state) {
  if (!code) return E_POINTER;
  *code = 0;
  std::unique_lock lock(mutex_);
  if (state.load() != State_Running) return VFW_E_WRONG_STATE;
  WaitUntil(lock, changed_, timeout,
            [&] { return completion_ != 0 || state.load() != State_Running; });
  if (completion_ != 0) {
    *code = completion_;
    return S_OK;
  }
  return state.load() != State_Running ? VFW_E_WRONG_STATE : E_ABORT;
}

HRESULT GraphEvents::FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR) {
  if (code == EC_DEVICE_LOST) {
    if (auto* device = reinterpret_cast<IUnknown*>(param1)) device->Release();
  }
  return S_OK;
}

HRESULT GraphEvents::AbortError() const {
  std::lock_guard lock(mutex_);
  return abortError_;
}

}  // namespace korvane::graph
