#include "platform/v4l2/emulation/Readiness.h"

#include <sys/epoll.h>
#include <sys/timerfd.h>

#include <algorithm>
#include <cerrno>

namespace korvane::v4l2::emulation {
namespace {

int Watch(int epoll, int fd) {
  epoll_event wanted{};
  wanted.events = EPOLLIN;
  wanted.data.fd = fd;
  return ::epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &wanted) == 0 ? 0 : errno;
}

}  // namespace

std::unique_ptr<Readiness> Readiness::Create(int fileWatch, int* error) {
  std::unique_ptr<Readiness> readiness(new Readiness);
  readiness->epoll_ = os::UniqueFd(::epoll_create1(EPOLL_CLOEXEC));
  // steady_clock is the monotonic clock, so its times are the timer's.
  readiness->timer_ = os::UniqueFd(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
  *error = 0;
  if (!readiness->epoll_.Valid() || !readiness->timer_.Valid()) *error = errno;
  if (!*error) *error = Watch(readiness->Fd(), readiness->timer_.Get());
  if (!*error && fileWatch >= 0) *error = Watch(readiness->Fd(), fileWatch);
  return *error ? nullptr : std::move(readiness);
}

void Readiness::WakeAt(std::optional<Clock::time_point> at) {
  if (at == armed_) return;
  armed_ = at;
  itimerspec setting{};
  if (at) {
    // A zero time would disarm the timer instead of firing it.
    const auto since = std::max(at->time_since_epoch(), Clock::duration(1));
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
    setting.it_value.tv_sec = seconds.count();
    setting.it_value.tv_nsec =
        std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds).count();
  }
  // Setting the timer also forgets its expiries, so a disarmed timer is no longer readable.
  ::timerfd_settime(timer_.Get(), TFD_TIMER_ABSTIME, &setting, nullptr);
}

}  // namespace korvane::v4l2::emulation
