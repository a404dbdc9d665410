#include "cli/PrintableText.h"

#include <cstdio>

namespace korvane::cli {

std::string PrintableText(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  char escaped[8];
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F) {
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      shown += escaped;
    } else if (byte == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      // U+0080 to U+009F, among them the one-character CSI a terminal also obeys.
      std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned char>(text[++i]));
      shown += escaped;
    } else {
      shown += text[i];
    }
  }
  return shown;
}

}  // namespace korvane::cli
