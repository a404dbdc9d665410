#include "platform/com/Guid.h"

#include <cstdio>

namespace korvane::com {

std::string GuidToString(const GUID& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                guid.Data1, guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2],
                guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

std::optional<GUID> GuidFromString(std::string_view text) {
  if (text.size() == 38 && text.front() == '{' && text.back() == '}')
    text = text.substr(1, 36);
  if (text.size() != 36) return std::nullopt;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? text[i] != '-' : detail::HexDigit(text[i]) < 0) return std::nullopt;
  }
  return MakeGuid(text);
}

}  // namespace korvane::com
