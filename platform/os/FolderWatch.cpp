#include "platform/os/FolderWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>

namespace korvane::os {

int FolderWatch::Start(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return error.value();
  fd_ = UniqueFd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (!fd_.Valid()) return errno;
  constexpr std::uint32_t kMask = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE;
  if (::inotify_add_watch(fd_.Get(), folder.c_str(), kMask | IN_ONLYDIR) < 0) return errno;
  return 0;
}

void FolderWatch::Drain() {
  alignas(inotify_event) char buffer[4096];
  while (::read(fd_.Get(), buffer, sizeof buffer) > 0) {
  }
}

}  // namespace korvane::os
