#include "platform/os/ProfileFile.h"

#include <sys/stat.h>

#include <charconv>
#include <limits>
#include <optional>
#include <system_error>
#include <utility>
#include <variant>

#include "platform/os/FileAccess.h"
#include "platform/os/ProfileDocument.h"

namespace korvane::os {

// A settings file holds 35 short keys per camera and the geometry file four; 4 MiB
// is thousands of cameras. A larger file is treated as unreadable, which bounds the
// memory that a hostile or mistaken file (a video, a disk image) can claim.
constexpr std::size_t kMaxProfileFileBytes = 4u << 20;

// The platform reads a value into a 2048-character buffer, one of which ends it.
constexpr std::size_t kMaxValueCharacters = 2047;

struct CachedProfile {
  profile::ProfileDocument parsed;
  std::optional<FileStamp> stamp;  // none when the file was missing or unreadable
};

namespace {

std::optional<FileStamp> CurrentStamp(const std::filesystem::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return StampOf(status);
}

std::string CutToCharacters(std::string_view text, std::size_t maxCharacters) {
  std::size_t pos = 0;
  for (std::size_t count = 0; count < maxCharacters && pos < text.size(); ++count) {
    profile::NextCodePoint(text, pos);
  }
  return std::string(text.substr(0, pos));
}

std::string PresentValue(std::string_view value) {
  if (value.size() >= 2 && value.front() == value.back() &&
      (value.front() == '"' || value.front() == '\'')) {
    value = value.substr(1, value.size() - 2);
  }
  // The platform hands the value over as a C string, which ends at a NUL.
  value = value.substr(0, value.find('\0'));
  return CutToCharacters(value, kMaxValueCharacters);
}

// Decimal with an optional sign, or hexadecimal after "0x"/"0X" (up to eight digits,
// taken as the 32-bit pattern, so 0xFFFFFFFF is -1); anything else, including a
// number that does not fit, is not an integer.
std::optional<std::int32_t> ParseProfileInteger(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    std::uint32_t bits = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data() + 2, end, bits, 16);
    if (error != std::errc() || stop != end) return std::nullopt;
    return static_cast<std::int32_t>(bits);
  }
  if (text.starts_with('+')) {
    text.remove_prefix(1);
    if (text.starts_with('-')) return std::nullopt;
  }
  std::int32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, 10);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
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
  auto loaded = LoadRegularFile(path_, kMaxProfileFileBytes, "a profile file");
  if (auto* file = std::get_if<LoadedFile>(&loaded)) {
    fresh->stamp = file->stamp;
    fresh->parsed = profile::ParseProfile(std::move(file->bytes));
  }
  cache_ = std::move(fresh);
  return *cache_;
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
  const auto value = profile::FindValue(Current().parsed, section, key);
  if (!value) return CutToCharacters(defaultValue, kMaxValueCharacters);
  return PresentValue(*value);
}

std::int32_t ProfileFile::ReadInteger(std::string_view section, std::string_view key,
                                      std::int32_t defaultValue) const {
  return ParseProfileInteger(ReadString(section, key, "")).value_or(defaultValue);
}

bool ProfileFile::ReadBool(std::string_view section, std::string_view key,
                           bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool ProfileFile::SectionExists(std::string_view section) const {
  return profile::HasSection(Current().parsed, section);
}

bool ProfileFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
  errorText_.clear();
  const auto fail = [this](std::string reason) {
    errorText_ = std::move(reason);
    return false;
  };
  if (auto problem = profile::CheckWritable(section, key, value)) {
    return fail("cannot write \"" + path_.string() + "\": " + *problem);
  }

  // Writing through a symbolic link changes the file it points to, not the link.
  std::filesystem::path target = path_;
  std::error_code error;
  if (std::filesystem::is_symlink(path_, error)) {
    target = std::filesystem::weakly_canonical(path_, error);
    if (error) return fail("cannot follow the link \"" + path_.string() + "\": " + error.message());
  }

  // Always the file as it is now, never the read cache: another program may have
  // written it since.
  auto loaded = LoadRegularFile(target, kMaxProfileFileBytes, "a profile file");
  if (auto* problem = std::get_if<FileError>(&loaded)) {
    return fail(problem->reason + "; the file is left as it is");
  }
  const LoadedFile* previous = std::get_if<LoadedFile>(&loaded);
  std::string oldBytes = previous != nullptr ? previous->bytes : std::string();
  const auto document = profile::ParseProfile(std::move(oldBytes));
  auto edited = profile::SetValue(document, section, key, value);
  if (auto* problem = std::get_if<profile::EditError>(&edited)) {
    return fail("cannot write \"" + target.string() + "\": " + problem->reason);
  }
  const std::string reason = ReplaceFileAtomically(target, std::get<std::string>(edited), previous);
  cache_.reset();
  if (!reason.empty()) return fail(reason);
  return true;
}

bool ProfileFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
  return WriteString(section, key, std::to_string(value));
}

bool ProfileFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  return WriteString(section, key, value ? "1" : "0");
}

std::string ProfileFile::ErrorText() const {
  return errorText_;
}

}  // namespace korvane::os
