#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/os/ProfileText.h"

namespace korvane::os::profile {

enum class LineKind : std::uint8_t { Other, Section, Key };

// One line of the file. Offsets are 32-bit because the loader refuses files that are
// anywhere near 4 GiB; the raw range excludes the line terminator, rawNext follows it.
struct ProfileLine {
  std::uint32_t rawBegin = 0;
  std::uint32_t rawEnd = 0;
  std::uint32_t rawNext = 0;
  std::uint32_t textBegin = 0;  // the line decoded to UTF-8, in ProfileDocument::text
  std::uint32_t textEnd = 0;
  std::uint32_t nameBegin = 0;  // section or key name, trimmed
  std::uint32_t nameEnd = 0;
  std::uint32_t valueBegin = 0;  // key value, trimmed
  std::uint32_t valueEnd = 0;
  LineKind kind = LineKind::Other;
};

// A profile file as it is stored: its bytes, kept unchanged so that a write only
// touches the line it changes, plus the decoded text and the classified lines.
struct ProfileDocument {
  std::string raw;
  TextEncoding encoding = TextEncoding::Utf8;
  std::string text;
  std::vector<ProfileLine> lines;
  std::string newline = "\n";   // decoded; the style of the file's first line break
  bool truncatedUtf16 = false;  // an odd byte count: appending would shift every unit

  std::string_view Name(const ProfileLine& line) const;
  std::string_view Value(const ProfileLine& line) const;
  std::string_view Text(const ProfileLine& line) const;
};

ProfileDocument ParseProfile(std::string raw);

// The trimmed value of the first matching key of the first matching section.
std::optional<std::string_view> FindValue(const ProfileDocument& document, std::string_view section,
                                          std::string_view key);
bool HasSection(const ProfileDocument& document, std::string_view section);

// Why a name or value cannot be written without damaging the file; nullopt when it can.
std::optional<std::string> CheckWritable(std::string_view section, std::string_view key,
                                         std::string_view value);

// The new bytes of the file after setting one key, or the reason it cannot be done.
struct EditError {
  std::string reason;
};
std::variant<std::string, EditError> SetValue(const ProfileDocument& document,
                                              std::string_view section, std::string_view key,
                                              std::string_view value);

struct KeyValue {
  std::string key;
  std::string value;
};
// The new bytes after setting the keys of one section in their order: byte for byte what
// SetValue once per key would give, worked out in one pass over the file.
std::variant<std::string, EditError> SetValues(const ProfileDocument& document,
                                               std::string_view section,
                                               const std::vector<KeyValue>& keys);

}  // namespace korvane::os::profile
