#pragma once
// GUIDs: their binary layout, constexpr construction from the registry spelling, and text.

#include <array>
#include <compare>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/com/ComTypes.h"

struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  std::array<BYTE, 8> Data4;

  friend constexpr bool operator==(const GUID&, const GUID&) = default;
  friend constexpr auto operator<=>(const GUID&, const GUID&) = default;
};
static_assert(sizeof(GUID) == 16);

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline constexpr GUID GUID_NULL{};

namespace korvane::com::detail {
constexpr int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
constexpr std::uint64_t HexField(std::string_view text, std::size_t offset, std::size_t digits) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    const int digit = HexDigit(text[offset + i]);
    if (digit < 0) throw "invalid hex digit in GUID";  // fails compilation in constant evaluation
    value = value * 16 + static_cast<std::uint64_t>(digit);
  }
  return value;
}
}  // namespace korvane::com::detail

// Parses "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (no braces); meant for constexpr constants.
constexpr GUID MakeGuid(std::string_view text) {
  using korvane::com::detail::HexField;
  if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
    throw "malformed GUID";
  GUID guid{static_cast<DWORD>(HexField(text, 0, 8)), static_cast<WORD>(HexField(text, 9, 4)),
            static_cast<WORD>(HexField(text, 14, 4)), {}};
  guid.Data4[0] = static_cast<BYTE>(HexField(text, 19, 2));
  guid.Data4[1] = static_cast<BYTE>(HexField(text, 21, 2));
  for (std::size_t i = 0; i < 6; ++i) guid.Data4[2 + i] = static_cast<BYTE>(HexField(text, 24 + 2 * i, 2));
  return guid;
}

namespace korvane::com {
// "{785E8F49-63A2-4144-AB70-FFB278FA26CE}": upper-case hex with braces, the registry spelling.
std::string GuidToString(const GUID& guid);
// Accepts the form above with or without braces, any case; nullopt for anything else.
std::optional<GUID> GuidFromString(std::string_view text);
}  // namespace korvane::com
