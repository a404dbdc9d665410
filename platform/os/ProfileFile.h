#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os/ProfileDocument.h"

namespace korvane::os {

struct CachedProfile;

// One INI file read and written the way the Windows profile functions treat it:
// section and key names match without regard to case, the first match wins,
// whitespace around names and values is trimmed, and a value in matching double
// quotes loses them. Writes change one key and keep every other byte of the file
// (comments, foreign sections, blank lines, line endings, encoding) and replace
// the file whole under the lock every save takes (SaveWholeFile). A path that is not a
// regular file, or a file larger than 4 MiB, reads as empty and is never written over.
// Reads keep the parsed file until its size or modification time changes; one object
// serves one thread at a time. Several values that must agree are read from one
// ProfileSnapshot instead.
class ProfileFile {
 public:
  explicit ProfileFile(std::filesystem::path path);
  ~ProfileFile();
  ProfileFile(ProfileFile&&) noexcept;
  ProfileFile& operator=(ProfileFile&&) noexcept;
  ProfileFile(const ProfileFile&) = delete;
  ProfileFile& operator=(const ProfileFile&) = delete;

  const std::filesystem::path& Path() const;

  // At most 2047 characters, as the platform's 2048-character buffer holds.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
  // Decimal, or hexadecimal after "0x"/"0X" (up to 8 digits, as the 32-bit pattern, so
  // 0xFFFFFFFF is -1); a malformed, overflowing or missing value gives the default.
  std::int32_t ReadInteger(std::string_view section, std::string_view key,
                           std::int32_t defaultValue) const;
  // ReadInteger(...) != 0.
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;
  bool SectionExists(std::string_view section) const;

  // Replaces one key in place, or appends it to its section, or appends the section.
  // false when the system refused (ErrorText() says why) or when the name or value
  // cannot be stored without corrupting the file (a line break, a key with '=', ...).
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);
  bool WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
  bool WriteBool(std::string_view section, std::string_view key, bool value);
  // Sets the keys of one section in one replacement of the file: all of them, or none.
  bool WriteKeys(std::string_view section, const std::vector<profile::KeyValue>& keys);

  // Why the last write failed, naming the file; empty after a successful write.
  std::string ErrorText() const;
  // The same without the file's name ("Permission denied").
  std::string ErrorCause() const;

 private:
  // Parses the file again only when its size or modification time changed.
  const CachedProfile& Current() const;

  std::filesystem::path path_;
  mutable std::unique_ptr<CachedProfile> cache_;
  std::string errorCause_;
};

}  // namespace korvane::os
