#include "platform/v4l2/emulation/FileWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>

namespace korvane::v4l2::emulation {
namespace {

// A file written in place, or renamed into place.
constexpr std::uint32_t kMask = IN_CLOSE_WRITE | IN_MOVED_TO | IN_ONLYDIR;

std::filesystem::path FolderOf(const std::filesystem::path& file) {
  const std::filesystem::path folder = std::filesystem::absolute(file).parent_path();
  return folder.empty() ? std::filesystem::path("/") : folder;
}

}  // namespace

int FileWatch::Start(const std::filesystem::path& file) {
  fd_ = os::UniqueFd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (!fd_.Valid()) return errno;
  if (::inotify_add_watch(fd_.Get(), FolderOf(file).c_str(), kMask) < 0) {
    const int error = errno;
    fd_ = os::UniqueFd();
    return error;
  }
  std::error_code error;
  const std::filesystem::path target = std::filesystem::canonical(file, error);
  // The file a link leads to is written where it lies; a folder watched twice is one watch.
  if (!error) ::inotify_add_watch(fd_.Get(), FolderOf(target).c_str(), kMask);
  return 0;
}

int FileWatch::Drain() {
  alignas(inotify_event) char buffer[4096];
  bool took = false;
  for (;;) {
    const ssize_t got = ::read(fd_.Get(), buffer, sizeof buffer);
    if (got > 0) {
      took = true;
      continue;
    }
    if (got == 0 || errno == EAGAIN || (errno == EINTR && took)) return 0;
    return errno;
  }
}

}  // namespace korvane::v4l2::emulation
