#pragma once
// The descriptor an open emulated file is known by: a real descriptor of the process (an epoll
// instance), so that the system's poll, select and epoll wait on it beside the process's own
// descriptors and a program's event loop serves both. It turns readable when the file may have
// something to report, through a timer set for now (an event waits, the camera is gone) or for
// its next frame, and when the camera file changes (the kernel's watch of that file, which
// every open file shares). Readable only means "ask": the emulated kernel's Poll says what.

#include <chrono>
#include <memory>
#include <optional>

#include "platform/os/FileAccess.h"

namespace korvane::v4l2::emulation {

class Readiness {
 public:
  using Clock = std::chrono::steady_clock;

  // nullptr with *error set when the process has no descriptors left. fileWatch < 0: no
  // camera file to watch.
  static std::unique_ptr<Readiness> Create(int fileWatch, int* error);

  int Fd() const { return epoll_.Get(); }
  // Readable from `at` on (at once for a time passed), or not at all. The timer is only set
  // again when the time changes, so a caller may say this after every call.
  void WakeAt(std::optional<Clock::time_point> at);

 private:
  Readiness() = default;

  os::UniqueFd epoll_;
  os::UniqueFd timer_;
  std::optional<Clock::time_point> armed_;
};

}  // namespace korvane::v4l2::emulation
