#include "platform/os/ProcessSnapshot.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <optional>

namespace korvane::os {
namespace {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

// The file name of the executable behind /proc/<pid>/exe. The kernel appends
// " (deleted)" when the file was replaced while running (an update); the program
// is still the same one, so the marker goes.
std::optional<std::string> ExecutableNameOf(const std::string& procEntry) {
  std::string target(4096, '\0');
  const ssize_t length = ::readlink((procEntry + "/exe").c_str(), target.data(), target.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) return std::nullopt;
  target.resize(static_cast<std::size_t>(length));
  constexpr std::string_view kDeleted = " (deleted)";
  struct stat status {};
  if (target.ends_with(kDeleted) && ::lstat(target.c_str(), &status) != 0) {
    target.resize(target.size() - kDeleted.size());
  }
  const auto slash = target.rfind('/');
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  if (name.empty()) return std::nullopt;
  return name;
}

bool IsProcessId(const char* name) {
  if (*name == '\0') return false;
  for (; *name != '\0'; ++name) {
    if (*name < '0' || *name > '9') return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> RunningExecutableNames() {
  std::vector<std::string> names;
  const std::unique_ptr<DIR, DirCloser> proc(::opendir("/proc"));
  if (!proc) return names;
  const uid_t self = ::geteuid();
  while (const dirent* entry = ::readdir(proc.get())) {
    if (!IsProcessId(entry->d_name)) continue;
    const std::string path = std::string("/proc/") + entry->d_name;
    struct stat status {};
    // Processes end while the folder is walked; a vanished one is simply skipped.
    if (::stat(path.c_str(), &status) != 0 || status.st_uid != self) continue;
    if (auto name = ExecutableNameOf(path)) names.push_back(std::move(*name));
  }
  return names;
}

std::string OwnExecutableName() {
  return ExecutableNameOf("/proc/self").value_or(std::string());
}

std::size_t CountProcessesNamed(std::string_view exeName) {
  const auto names = RunningExecutableNames();
  return static_cast<std::size_t>(std::count(names.begin(), names.end(), exeName));
}

}  // namespace korvane::os
