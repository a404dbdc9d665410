#include "platform/os/OwnExecutable.h"

#include <sys/stat.h>
#include <unistd.h>

#include <optional>

namespace korvane::os {
namespace {

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

}  // namespace

std::string OwnExecutableName() {
  return ExecutableNameOf("/proc/self").value_or(std::string());
}

}  // namespace korvane::os
