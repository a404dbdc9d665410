#include "platform/os/Waiting.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

#include "platform/os/FileAccess.h"

namespace korvane::os {

struct StopSignals::PreviousMask {
  sigset_t mask;
};

StopSignals::StopSignals() : previous_(std::make_unique<PreviousMask>()) {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  // A closed terminal ends a command as a stop request does, not in the middle of a step.
  sigaddset(&stop, SIGHUP);
  if (const int error = ::pthread_sigmask(SIG_BLOCK, &stop, &previous_->mask); error != 0) {
    throw std::system_error(error, std::system_category(),
                            "cannot block SIGINT, SIGTERM and SIGHUP");
  }
  fd_ = ::signalfd(-1, &stop, SFD_NONBLOCK | SFD_CLOEXEC);
  if (fd_ < 0) {
    const int error = errno;
    ::pthread_sigmask(SIG_SETMASK, &previous_->mask, nullptr);
    throw std::system_error(error, std::system_category(),
                            "cannot read SIGINT, SIGTERM and SIGHUP");
  }
}

StopSignals::~StopSignals() {
  ::close(fd_);
  ::pthread_sigmask(SIG_SETMASK, &previous_->mask, nullptr);
}

std::string StopSignals::Take() {
  signalfd_siginfo info{};
  const ssize_t got = RetryOnInterrupt([&] { return ::read(fd_, &info, sizeof info); });
  if (got != static_cast<ssize_t>(sizeof info)) return {};
  switch (info.ssi_signo) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "signal " + std::to_string(info.ssi_signo);
  }
}

std::vector<bool> WaitReadable(const std::vector<int>& descriptors, int timeoutMs) {
  std::vector<WaitEntry> entries;
  for (const int fd : descriptors) entries.push_back({fd, POLLIN});
  return WaitReady(entries, timeoutMs);
}

std::vector<bool> WaitReady(const std::vector<WaitEntry>& descriptors, int timeoutMs) {
  std::vector<pollfd> entries;
  for (const WaitEntry& entry : descriptors) entries.push_back({entry.descriptor, entry.events, 0});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int wait = timeoutMs;
  for (;;) {
    const int ready = ::poll(entries.data(), entries.size(), wait);
    if (ready >= 0) break;
    if (errno != EINTR) {
      throw std::system_error(errno, std::system_category(), "cannot wait for the devices");
    }
    // Interrupted (a stop and continue of the process): wait on for what is left.
    if (timeoutMs >= 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      wait = static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
    }
  }
  std::vector<bool> readable;
  for (const pollfd& entry : entries) readable.push_back(entry.revents != 0);
  return readable;
}

}  // namespace korvane::os
