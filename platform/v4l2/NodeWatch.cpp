#include "platform/v4l2/NodeWatch.h"

#include <dirent.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace korvane::v4l2 {
namespace {

// Nodes come (devtmpfs) and then get their group and access list (udev): both may make a
// camera answer. Deletions are of no interest: a camera that went is found out by listing.
constexpr std::uint32_t kRootMask = IN_CREATE | IN_ATTRIB | IN_MOVED_TO | IN_ONLYDIR;
// udev makes a link under a hidden name and renames it into place.
constexpr std::uint32_t kFolderMask = IN_CREATE | IN_MOVED_TO | IN_ONLYDIR;

bool IsVideoNode(const std::string& name) {
  return name.starts_with("video");
}

}  // namespace

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  DIR* directory = ::opendir(folder.c_str());
  if (!directory) return names;
  while (const dirent* entry = ::readdir(directory)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(directory);
  return names;
}

NodeWatch::~NodeWatch() {
  if (fd_ >= 0) ::close(fd_);
}

int NodeWatch::Start() {
  fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) return -1;
  const int watched = ::inotify_add_watch(fd_, root_.c_str(), kRootMask);
  if (watched < 0) {
    const int error = errno;
    ::close(fd_);
    fd_ = -1;
    errno = error;
    return -1;
  }
  folders_[watched] = root_;
  // What is there already belongs to the caller's first listing.
  std::vector<std::string> present;
  WatchFolder(root_ + "/v4l", &present);
  return 0;
}

void NodeWatch::WatchFolder(const std::string& folder, std::vector<std::string>* appeared) {
  const int watched = ::inotify_add_watch(fd_, folder.c_str(), kFolderMask);
  if (watched < 0) return;  // not there yet, or gone again: its parent's watch tells
  folders_[watched] = folder;
  const bool linkParent = folder == root_ + "/v4l";
  for (const std::string& name : FolderEntries(folder)) {
    if (linkParent) {
      if (name == "by-id" || name == "by-path") WatchFolder(folder + "/" + name, appeared);
    } else if (!name.starts_with('.')) {
      appeared->push_back(folder + "/" + name);
    }
  }
}

void NodeWatch::ReportNodes(std::vector<std::string>* appeared) const {
  for (const std::string& name : FolderEntries(root_)) {
    if (IsVideoNode(name)) appeared->push_back(root_ + "/" + name);
  }
}

void NodeWatch::Take(int watched, std::uint32_t mask, const std::string& name,
                     std::vector<std::string>* appeared) {
  if (mask & IN_Q_OVERFLOW) {
    // Events were lost: everything there may be new.
    ReportNodes(appeared);
    WatchFolder(root_ + "/v4l", appeared);
    return;
  }
  const auto folder = folders_.find(watched);
  if (folder == folders_.end()) return;
  if (mask & IN_IGNORED) {
    folders_.erase(folder);
    return;
  }
  if (name.empty()) return;
  const std::string path = folder->second + "/" + name;
  if (folder->second == root_) {
    if (IsVideoNode(name)) appeared->push_back(path);
    if (name == "v4l") WatchFolder(path, appeared);
  } else if (folder->second == root_ + "/v4l") {
    if (name == "by-id" || name == "by-path") WatchFolder(path, appeared);
  } else if (!name.starts_with('.')) {
    appeared->push_back(path);
  }
}

int NodeWatch::Read(std::vector<std::string>* appeared) {
  const std::size_t before = appeared->size();
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EAGAIN) return 0;
      // What was taken is handed over; the rest stays pending for the next call.
      if (errno == EINTR && appeared->size() > before) return 0;
      return -1;
    }
    if (got == 0) return 0;
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
      inotify_event event;
      std::memcpy(&event, buffer + at, sizeof event);
      const char* nameStart = buffer + at + sizeof(inotify_event);
      const std::string name(nameStart, ::strnlen(nameStart, event.len));
      Take(event.wd, event.mask, name, appeared);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
    }
  }
}

}  // namespace korvane::v4l2
