#include "platform/os/ProfileFile.h"

#include <sys/stat.h>

#include <optional>
#include <system_error>
#include <utility>
#include <variant>

#include "platform/os/FileAccess.h"
#include "platform/os/ProfileDocument.h"
#include "platform/os/ProfileSnapshot.h"
#include "platform/os/WholeFileSave.h"

namespace korvane::os {

struct CachedProfile {
  ProfileSnapshot snapshot;
  std::optional<FileStamp> stamp;  // none when the file was missing or unreadable
};

namespace {

std::optional<FileStamp> CurrentStamp(const std::filesystem::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return StampOf(status);
}

}  // namespace

ProfileFile::ProfileFile(std::filesystem::path path) : path_(std::move(path)) {}
ProfileFile::~ProfileFile() = default;
ProfileFile::ProfileFile(ProfileFile&&) noexcept = default;
ProfileFile& ProfileFile::operator=(ProfileFile&&) noexcept = default;

const std::filesystem::path& ProfileFile::Path() const {
  return path_;
}

const CachedProfile& ProfileFile::Current() const {
  const std::optional<FileStamp> stamp = CurrentStamp(path_);
  if (cache_ && stamp && cache_->stamp == stamp) return *cache_;
  auto fresh = std::make_unique<CachedProfile>();
  // A missing, unreadable or oversized file reads as empty: every key gives its default.
  auto loaded = LoadRegularFile(path_, kMaxProfileFileBytes, "a settings file");
  if (auto* file = std::get_if<LoadedFile>(&loaded)) {
    fresh->stamp = file->stamp;
    fresh->snapshot = ProfileSnapshot(std::move(file->bytes));
  }
  cache_ = std::move(fresh);
  return *cache_;
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
  return Current().snapshot.ReadString(section, key, defaultValue);
}

std::int32_t ProfileFile::ReadInteger(std::string_view section, std::string_view key,
                                      std::int32_t defaultValue) const {
  return Current().snapshot.ReadInteger(section, key, defaultValue);
}

bool ProfileFile::ReadBool(std::string_view section, std::string_view key,
                           bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool ProfileFile::SectionExists(std::string_view section) const {
  return Current().snapshot.SectionExists(section);
}

bool ProfileFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
  return WriteKeys(section, {profile::KeyValue{std::string(key), std::string(value)}});
}

bool ProfileFile::WriteKeys(std::string_view section, const std::vector<profile::KeyValue>& keys) {
  errorCause_ =
      SaveWholeFile(path_, kMaxProfileFileBytes, "a settings file",
                    [&](const std::string* current) -> std::variant<std::string, EditRefusal> {
                      auto edited = profile::SetValues(
                          profile::ParseProfile(current ? *current : std::string()), section, keys);
                      if (auto* problem = std::get_if<profile::EditError>(&edited)) {
                        return EditRefusal{std::move(problem->reason)};
                      }
                      return std::move(std::get<std::string>(edited));
                    });
  cache_.reset();
  return errorCause_.empty();
}

bool ProfileFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
  return WriteString(section, key, std::to_string(value));
}

bool ProfileFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  return WriteString(section, key, value ? "1" : "0");
}

std::string ProfileFile::ErrorText() const {
  return errorCause_.empty() ? errorCause_
                             : "cannot write " + QuotedPath(path_) + ": " + errorCause_;
}

std::string ProfileFile::ErrorCause() const {
  return errorCause_;
}

}  // namespace korvane::os
