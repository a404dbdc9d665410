#include "platform/v4l2/OpenWatch.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/v4l2/NodeWatch.h"

namespace korvane::v4l2 {
namespace {

constexpr std::uint32_t kMask = IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE;

}  // namespace

namespace {

// Each process's open descriptors of the device, in every process this one may look into.
std::vector<std::pair<int, int>> DescriptorsByProcess(dev_t node) {
  std::vector<std::pair<int, int>> counts;  // pid, descriptors
  for (const std::string& process : FolderEntries("/proc")) {
    if (process.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string fds = "/proc/" + process + "/fd";
    int count = 0;
    // Another user's processes cannot be looked into; their opens are still counted by events.
    for (const std::string& fd : FolderEntries(fds)) {
      struct stat target = {};
      if (::stat((fds + "/" + fd).c_str(), &target) == 0 && S_ISCHR(target.st_mode) &&
          target.st_rdev == node) {
        ++count;
      }
    }
    if (count > 0) counts.emplace_back(std::stoi(process), count);
  }
  return counts;
}

}  // namespace

int CountOpenDescriptors(dev_t node) {
  int count = 0;
  for (const auto& [pid, descriptors] : DescriptorsByProcess(node)) count += descriptors;
  return count;
}

std::vector<int> ProcessesHolding(dev_t node) {
  std::vector<int> pids;
  for (const auto& [pid, descriptors] : DescriptorsByProcess(node)) {
    if (pid != ::getpid()) pids.push_back(pid);
  }
  return pids;
}

OpenWatch::~OpenWatch() {
  if (fd_ >= 0) ::close(fd_);
}

int OpenWatch::Start(const std::string& path) {
  struct stat node = {};
  if (::stat(path.c_str(), &node) != 0) return -1;
  if (!S_ISCHR(node.st_mode)) {
    errno = ENOTTY;
    return -1;
  }
  node_ = node.st_rdev;
  // Counted before the watch begins: an open in between goes uncounted rather than counted
  // twice, since a count too high would keep the camera held after everyone has closed it.
  open_ = CountOpenDescriptors(node_);
  fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) return -1;
  // Links (/dev/v4l/by-id/...) are followed: the watch is on the node they lead to.
  if (::inotify_add_watch(fd_, path.c_str(), kMask) < 0) {
    const int error = errno;
    ::close(fd_);
    fd_ = -1;
    errno = error;
    return -1;
  }
  return 0;
}

int OpenWatch::Read(int ownOpen, int* othersOpen) {
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, sizeof buffer);
    if (got < 0 && errno == EAGAIN) break;
    if (got < 0) return -1;
    if (got == 0) break;
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
      inotify_event event;
      std::memcpy(&event, buffer + at, sizeof event);
      if (event.mask & IN_OPEN) ++open_;
      if (event.mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) --open_;
      // Lost events: counted afresh.
      if (event.mask & IN_Q_OVERFLOW) open_ = CountOpenDescriptors(node_);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
    }
  }
  open_ = std::max<long>(open_, ownOpen);
  *othersOpen = static_cast<int>(open_ - ownOpen);
  return 0;
}

}  // namespace korvane::v4l2
