#include "platform/os/ProfileSnapshot.h"

#include <charconv>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/os/FileAccess.h"

namespace korvane::os {
namespace {

// The platform reads a value into a 2048-character buffer, one of which ends it.
constexpr std::size_t kMaxValueCharacters = 2047;

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

ProfileSnapshot::ProfileSnapshot(std::string bytes)
    : parsed_(profile::ParseProfile(std::move(bytes))), exists_(true) {}

std::string ProfileSnapshot::ReadString(std::string_view section, std::string_view key,
                                        std::string_view defaultValue) const {
  const auto value = profile::FindValue(parsed_, section, key);
  if (!value) return CutToCharacters(defaultValue, kMaxValueCharacters);
  return PresentValue(*value);
}

std::int32_t ProfileSnapshot::ReadInteger(std::string_view section, std::string_view key,
                                          std::int32_t defaultValue) const {
  return ParseProfileInteger(ReadString(section, key, "")).value_or(defaultValue);
}

bool ProfileSnapshot::SectionExists(std::string_view section) const {
  return profile::HasSection(parsed_, section);
}

std::variant<ProfileSnapshot, ProfileReadError> ReadProfileSnapshot(
    const std::filesystem::path& path) {
  auto loaded = LoadRegularFile(path, kMaxProfileFileBytes, "a settings file");
  if (auto* file = std::get_if<LoadedFile>(&loaded)) return ProfileSnapshot(std::move(file->bytes));
  if (std::holds_alternative<FileMissing>(loaded)) return ProfileSnapshot();
  auto& failure = std::get<FileError>(loaded);
  return ProfileReadError{std::move(failure.reason), std::move(failure.cause), failure.tooLarge};
}

}  // namespace korvane::os
