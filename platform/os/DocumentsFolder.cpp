#include "platform/os/DocumentsFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <sstream>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/os/FileAccess.h"

namespace korvane::os {
namespace {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* result = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 &&
      result != nullptr && result->pw_dir != nullptr && result->pw_dir[0] == '/') {
    return result->pw_dir;
  }
  return {};
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// home + "/Documents" without a doubled slash when home is the root folder.
std::string BelowHome(const std::string& home, std::string_view rest) {
  std::string folder = home;
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  return WithoutTrailingSlashes(folder + std::string(rest));
}

// The value of XDG_DOCUMENTS_DIR in user-dirs.dirs: a shell-quoted string that is
// either "$HOME/..." or an absolute path, with backslash escapes.
std::optional<std::string> ParseUserDirsLine(std::string_view line, const std::string& home) {
  constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=\"";
  const auto first = line.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::nullopt;
  line.remove_prefix(first);
  if (!line.starts_with(kKey)) return std::nullopt;
  line.remove_prefix(kKey.size());
  std::string value;
  bool closed = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') {
      closed = true;
      break;
    }
    if (line[i] == '\\' && i + 1 < line.size()) ++i;
    value += line[i];
  }
  if (!closed) return std::nullopt;
  constexpr std::string_view kHome = "$HOME";
  if (value.starts_with(kHome) && (value.size() == kHome.size() || value[kHome.size()] == '/')) {
    if (home.empty()) return std::nullopt;
    return BelowHome(home, std::string_view(value).substr(kHome.size()));
  }
  if (!value.starts_with('/')) return std::nullopt;  // relative paths are not allowed there
  return WithoutTrailingSlashes(value);
}

}  // namespace

std::string ConfigFolder() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/') {
    return WithoutTrailingSlashes(config);
  }
  const std::string home = HomeFolder();
  return home.empty() ? std::string() : BelowHome(home, "/.config");
}

std::string DocumentsFolder() {
  const std::string home = HomeFolder();
  const std::string configFolder = ConfigFolder();
  if (!configFolder.empty()) {
    // Read like a profile file: a FIFO or a huge file in its place must not hang us.
    auto loaded = LoadRegularFile(configFolder + "/user-dirs.dirs", 64 * 1024, "a user-dirs file");
    const auto* file = std::get_if<LoadedFile>(&loaded);
    std::istringstream userDirs(file != nullptr ? file->bytes : std::string());
    std::string line;
    std::optional<std::string> found;
    // The last assignment wins, as when the shell sources the file.
    while (std::getline(userDirs, line)) {
      if (auto folder = ParseUserDirsLine(line, home)) found = std::move(folder);
    }
    if (found) return *found;
  }
  if (home.empty()) return {};
  return BelowHome(home, "/Documents");
}

}  // namespace korvane::os
