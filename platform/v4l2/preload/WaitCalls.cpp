// Waiting for descriptors: poll, select and epoll with emulated device nodes among the
// program's own descriptors. The emulated kernel's poll waits for both: the system waits on
// the program's own descriptors while the emulated ones are looked at by the kernel, which
// alone knows whether a frame, an event or an unplug is there to report.

#include <poll.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/select.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <vector>

#include "platform/v4l2/Kernel.h"
#include "platform/v4l2/preload/Emulation.h"
#include "platform/v4l2/preload/NextCall.h"

#define KORVANE_EXPORT extern "C" __attribute__((visibility("default")))

namespace korvane::v4l2::preload {
namespace {

bool AnyEmulated(const pollfd* fds, nfds_t count) {
  for (nfds_t i = 0; i < count; ++i) {
    if (EmulatedDescriptor(fds[i].fd)) return true;
  }
  return false;
}

// poll(2) over the program's descriptors and emulated ones, through the emulated kernel.
int Poll(Emulation& emulation, pollfd* fds, nfds_t count, int timeoutMs) {
  std::vector<pollfd> kernelSide(fds, fds + count);
  for (pollfd& entry : kernelSide) {
    if (EmulatedDescriptor(entry.fd)) entry.fd = emulation.KernelFd(entry.fd);
  }
  int ready = 0;
  int error = 0;
  {
    Inside inside;
    ready = emulation.TheKernel().Poll(kernelSide.data(), count, timeoutMs);
    error = errno;
  }
  if (ready >= 0) {
    for (nfds_t i = 0; i < count; ++i) fds[i].revents = kernelSide[i].revents;
  }
  errno = error;
  return ready;
}

int TimeoutOf(const timespec* timeout) {
  if (!timeout) return -1;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(
      std::chrono::seconds(timeout->tv_sec) + std::chrono::nanoseconds(timeout->tv_nsec));
  return static_cast<int>(std::min<std::int64_t>(ms.count(), INT_MAX));
}

// The signal mask of ppoll(2) and pselect(2) holds while waiting.
class SignalMask {
 public:
  explicit SignalMask(const sigset_t* mask) : set_(mask != nullptr) {
    if (set_) ::pthread_sigmask(SIG_SETMASK, mask, &before_);
  }
  ~SignalMask() {
    if (set_) ::pthread_sigmask(SIG_SETMASK, &before_, nullptr);
  }
  SignalMask(const SignalMask&) = delete;
  SignalMask& operator=(const SignalMask&) = delete;

 private:
  bool set_;
  sigset_t before_{};
};

bool AnyEmulated(int count, const fd_set* sets[3]) {
  for (int fd = 0; fd < count && fd < FD_SETSIZE; ++fd) {
    if (!EmulatedDescriptor(fd)) continue;
    for (int set = 0; set < 3; ++set) {
      if (sets[set] && FD_ISSET(fd, sets[set])) return true;
    }
  }
  return false;
}

// select(2) as the kernel makes it: a poll of every descriptor in the sets, with readable
// meaning data, a hang-up or an error.
int Select(Emulation& emulation, int count, fd_set* read, fd_set* write, fd_set* except,
           int timeoutMs) {
  std::vector<pollfd> fds;
  for (int fd = 0; fd < count && fd < FD_SETSIZE; ++fd) {
    short events = 0;
    if (read && FD_ISSET(fd, read)) events |= POLLIN | POLLRDNORM;
    if (write && FD_ISSET(fd, write)) events |= POLLOUT | POLLWRNORM;
    if (except && FD_ISSET(fd, except)) events |= POLLPRI;
    if (events) fds.push_back({fd, events, 0});
  }
  const int ready = Poll(emulation, fds.data(), fds.size(), timeoutMs);
  if (ready < 0) return -1;
  for (fd_set* set : {read, write, except}) {
    if (set) FD_ZERO(set);
  }
  int bits = 0;
  for (const pollfd& entry : fds) {
    if (entry.revents & POLLNVAL) {
      errno = EBADF;
      return -1;
    }
    const auto mark = [&](fd_set* set, short wanted, short seen) {
      if (set && (entry.events & wanted) && (entry.revents & seen)) {
        FD_SET(entry.fd, set);
        ++bits;
      }
    };
    mark(read, POLLIN, POLLIN | POLLRDNORM | POLLHUP | POLLERR);
    mark(write, POLLOUT, POLLOUT | POLLWRNORM | POLLERR);
    mark(except, POLLPRI, POLLPRI);
  }
  return bits;
}

// epoll_wait(2) on a set that holds emulated descriptors: the set itself (for the program's
// own descriptors) and the emulated ones are polled together.
int EpollWait(Emulation& emulation, int epoll, epoll_event* events, int capacity, int timeoutMs,
              const std::vector<std::pair<int, epoll_event>>& emulated) {
  if (capacity <= 0 || !events) {
    errno = EINVAL;
    return -1;
  }
  std::vector<pollfd> fds{{epoll, POLLIN, 0}};
  for (const auto& [fd, event] : emulated) {
    fds.push_back({fd, static_cast<short>(event.events & 0xffff), 0});
  }
  if (Poll(emulation, fds.data(), fds.size(), timeoutMs) < 0) return -1;
  int count = 0;
  if (fds[0].revents & POLLIN) {
    count = KORVANE_NEXT(epoll_wait)(epoll, events, capacity, 0);
    if (count < 0) return -1;
  }
  for (std::size_t i = 1; i < fds.size() && count < capacity; ++i) {
    if (fds[i].revents == 0) continue;
    const auto& [fd, event] = emulated[i - 1];
    events[count].events = static_cast<std::uint32_t>(fds[i].revents);
    events[count].data = event.data;
    ++count;
    if (event.events & EPOLLONESHOT) emulation.EpollDisarm(epoll, fd);
  }
  return count;
}

}  // namespace
}  // namespace korvane::v4l2::preload

using namespace korvane::v4l2::preload;

KORVANE_EXPORT int poll(pollfd* fds, nfds_t count, int timeoutMs) {
  if (AnyEmulated(fds, count)) {
    if (Emulation* emulation = Emulation::Get()) return Poll(*emulation, fds, count, timeoutMs);
  }
  return KORVANE_NEXT(poll)(fds, count, timeoutMs);
}

KORVANE_EXPORT int ppoll(pollfd* fds, nfds_t count, const timespec* timeout, const sigset_t* mask) {
  if (AnyEmulated(fds, count)) {
    if (Emulation* emulation = Emulation::Get()) {
      SignalMask during(mask);
      return Poll(*emulation, fds, count, TimeoutOf(timeout));
    }
  }
  return KORVANE_NEXT(ppoll)(fds, count, timeout, mask);
}

KORVANE_EXPORT int select(int count, fd_set* read, fd_set* write, fd_set* except,
                          timeval* timeout) {
  const fd_set* sets[3] = {read, write, except};
  if (AnyEmulated(count, sets)) {
    if (Emulation* emulation = Emulation::Get()) {
      const int timeoutMs =
          timeout ? static_cast<int>(timeout->tv_sec * 1000 + (timeout->tv_usec + 999) / 1000) : -1;
      return Select(*emulation, count, read, write, except, timeoutMs);
    }
  }
  return KORVANE_NEXT(select)(count, read, write, except, timeout);
}

KORVANE_EXPORT int pselect(int count, fd_set* read, fd_set* write, fd_set* except,
                           const timespec* timeout, const sigset_t* mask) {
  const fd_set* sets[3] = {read, write, except};
  if (AnyEmulated(count, sets)) {
    if (Emulation* emulation = Emulation::Get()) {
      SignalMask during(mask);
      return Select(*emulation, count, read, write, except, TimeoutOf(timeout));
    }
  }
  return KORVANE_NEXT(pselect)(count, read, write, except, timeout, mask);
}

KORVANE_EXPORT int epoll_ctl(int epoll, int operation, int fd, epoll_event* event) {
  if (EmulatedDescriptor(fd)) {
    if (Emulation* emulation = Emulation::Get()) {
      if (const int error = emulation->EpollControl(epoll, operation, fd, event)) {
        errno = error;
        return -1;
      }
      return 0;
    }
  }
  return KORVANE_NEXT(epoll_ctl)(epoll, operation, fd, event);
}

KORVANE_EXPORT int epoll_wait(int epoll, epoll_event* events, int capacity, int timeoutMs) {
  if (EpollInUse()) {
    Emulation* emulation = Emulation::Get();
    if (emulation) {
      const auto emulated = emulation->EpollEntries(epoll);
      if (!emulated.empty()) {
        return EpollWait(*emulation, epoll, events, capacity, timeoutMs, emulated);
      }
    }
  }
  return KORVANE_NEXT(epoll_wait)(epoll, events, capacity, timeoutMs);
}

KORVANE_EXPORT int epoll_pwait(int epoll, epoll_event* events, int capacity, int timeoutMs,
                               const sigset_t* mask) {
  if (EpollInUse()) {
    Emulation* emulation = Emulation::Get();
    if (emulation) {
      const auto emulated = emulation->EpollEntries(epoll);
      if (!emulated.empty()) {
        SignalMask during(mask);
        return EpollWait(*emulation, epoll, events, capacity, timeoutMs, emulated);
      }
    }
  }
  return KORVANE_NEXT(epoll_pwait)(epoll, events, capacity, timeoutMs, mask);
}
