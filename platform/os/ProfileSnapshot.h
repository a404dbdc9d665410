#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <variant>

#include "platform/os/ProfileDocument.h"

namespace korvane::os {

// A profile file as one read of it found it. Every value comes from the same bytes, so a file
// that another program replaces meanwhile is read as one version or the other, never a mix.
// Names match as the Windows profile functions match them (see ProfileFile).
class ProfileSnapshot {
 public:
  // No file: every key gives its default.
  ProfileSnapshot() = default;
  explicit ProfileSnapshot(std::string bytes);

  bool FileExists() const { return exists_; }

  // At most 2047 characters, as the platform's 2048-character buffer holds.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
  // Decimal, or hexadecimal after "0x"/"0X" (up to 8 digits, as the 32-bit pattern, so
  // 0xFFFFFFFF is -1); a malformed, overflowing or missing value gives the default.
  std::int32_t ReadInteger(std::string_view section, std::string_view key,
                           std::int32_t defaultValue) const;
  bool SectionExists(std::string_view section) const;

 private:
  profile::ProfileDocument parsed_;
  bool exists_ = false;
};

// A settings file holds 35 short keys per camera and the geometry file four; 4 MiB is
// thousands of cameras. A larger file is refused unread, which bounds the memory that a hostile
// or mistaken file (a video, a disk image) can claim, and no save makes a file larger.
inline constexpr std::size_t kMaxProfileFileBytes = 4u << 20;

// Why a profile file cannot be read: not a regular file, larger than the cap, no permission.
struct ProfileReadError {
  std::string reason;  // names the file
  std::string cause;   // the same without the file's name
  bool tooLarge = false;
};

// One read of the file. A missing file is an empty snapshot (FileExists() false).
std::variant<ProfileSnapshot, ProfileReadError> ReadProfileSnapshot(
    const std::filesystem::path& path);

}  // namespace korvane::os
