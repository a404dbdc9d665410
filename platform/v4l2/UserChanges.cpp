#include "platform/v4l2/UserChanges.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace korvane::v4l2 {
namespace {

std::atomic<bool> gNoted{true};

// One folder per node, by the node's name (video0).
std::string FolderOf(const Door& door, const std::string& nodePath) {
  const std::string notes = door.kernel().NotesFolder();
  if (notes.empty()) return {};
  return notes + "/user-changes-" + std::filesystem::path(nodePath).filename().string();
}

std::string FileOf(const std::string& folder, std::uint32_t id) {
  char name[16];
  std::snprintf(name, sizeof name, "%08x", id);
  return folder + "/" + name;
}

}  // namespace

void SetUserChangesNoted(bool noted) {
  gNoted = noted;
}

void NoteUserChange(const Door& door, const std::string& nodePath, std::uint32_t id) {
  if (!gNoted) return;
  const std::string folder = FolderOf(door, nodePath);
  if (folder.empty()) return;
  const std::string file = FileOf(folder, id);
  if (::utimensat(AT_FDCWD, file.c_str(), nullptr, 0) == 0 || errno != ENOENT) return;
  // Created only inside a folder that a guard made.
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd >= 0) ::close(fd);
}

UserChangeWatch::~UserChangeWatch() {
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

int UserChangeWatch::Start(const Door& door, const std::string& nodePath) {
  const std::string folder = FolderOf(door, nodePath);
  if (folder.empty()) return ENOTSUP;
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(folder).parent_path(), error);
  if (error) return error.value();
  claim_ = os::UniqueFd(::open((folder + ".claim").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!claim_.Valid()) return errno;
  if (::flock(claim_.Get(), LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? EBUSY : errno;
  std::filesystem::create_directories(folder, error);
  if (error) return error.value();
  folder_ = folder;
  fd_ = os::UniqueFd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (!fd_.Valid()) return errno;
  if (::inotify_add_watch(fd_.Get(), folder.c_str(), IN_CREATE | IN_ATTRIB | IN_ONLYDIR) < 0) {
    return errno;
  }
  return 0;
}

void UserChangeWatch::Take(std::vector<std::uint32_t>* ids) {
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd_.Get(), buffer, sizeof buffer);
    if (got <= 0) return;
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
      inotify_event event;
      std::memcpy(&event, buffer + at, sizeof event);
      const char* name = buffer + at + sizeof(inotify_event);
      if (event.len > 0 && name[0] != '\0') {
        char* end = nullptr;
        const unsigned long id = std::strtoul(name, &end, 16);
        if (end && *end == '\0') ids->push_back(static_cast<std::uint32_t>(id));
      }
      at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
    }
  }
}

}  // namespace korvane::v4l2
