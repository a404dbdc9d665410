#include "platform/os/ProfileText.h"

#include <array>

#include "platform/com/WideString.h"

namespace korvane::os::profile {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// 0x80..0x9F of Windows-1252; the five holes map to the C1 controls of the same
// value, as the Windows conversion functions do, so every byte round-trips.
constexpr std::array<char32_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::optional<unsigned char> UnicodeToWindows1252(char32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
    return static_cast<unsigned char>(codePoint);
  }
  for (std::size_t i = 0; i < kWindows1252High.size(); ++i) {
    if (kWindows1252High[i] == codePoint) return static_cast<unsigned char>(0x80 + i);
  }
  return std::nullopt;
}

void AppendUtf16(std::string& out, char16_t unit, bool bigEndian) {
  const auto low = static_cast<char>(unit & 0xFF);
  const auto high = static_cast<char>(unit >> 8);
  if (bigEndian) {
    out += high;
    out += low;
  } else {
    out += low;
    out += high;
  }
}

}  // namespace

std::string_view ByteOrderMark(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf8Bom:
      return "\xEF\xBB\xBF";
    case TextEncoding::Utf16Le:
      return "\xFF\xFE";
    case TextEncoding::Utf16Be:
      return "\xFE\xFF";
    case TextEncoding::Utf8:
    case TextEncoding::Windows1252:
      break;
  }
  return {};
}

char32_t NextCodePoint(std::string_view utf8, std::size_t& pos) {
  const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
  const unsigned char lead = byteAt(pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  std::size_t length = 0;
  char32_t codePoint = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1F;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0F;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07;
    minimum = 0x10000;
  } else {
    ++pos;
    return kReplacementCharacter;
  }
  if (pos + length > utf8.size()) {
    ++pos;
    return kReplacementCharacter;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = byteAt(pos + i);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return kReplacementCharacter;
    }
    codePoint = (codePoint << 6) | (next & 0x3F);
  }
  if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    ++pos;
    return kReplacementCharacter;
  }
  pos += length;
  return codePoint;
}

bool IsValidUtf8(std::string_view bytes) {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t start = pos;
    if (NextCodePoint(bytes, pos) == kReplacementCharacter) {
      // U+FFFD itself is valid text; only a one-byte step marks a malformed sequence.
      if (pos - start == 1) return false;
    }
  }
  return true;
}

char32_t Windows1252ToUnicode(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kWindows1252High[byte - 0x80];
  return byte;
}

std::optional<std::string> EncodeText(std::string_view utf8, TextEncoding encoding) {
  if (encoding == TextEncoding::Utf8 || encoding == TextEncoding::Utf8Bom) {
    return std::string(utf8);
  }
  const std::u16string units = com::Utf8ToUtf16(utf8);
  std::string out;
  out.reserve(units.size() * 2);
  for (const char16_t unit : units) {
    if (encoding == TextEncoding::Windows1252) {
      const auto byte = UnicodeToWindows1252(unit);  // a surrogate is never representable
      if (!byte) return std::nullopt;
      out += static_cast<char>(*byte);
    } else {
      AppendUtf16(out, unit, encoding == TextEncoding::Utf16Be);
    }
  }
  return out;
}

char32_t FoldCase(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;  // Latin-1 capitals
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x130) return 'i';  // capital I with dot
    if (c == 0x178) return 0xFF;
    // Latin Extended-A pairs capitals with the next code point; the middle run
    // (L with stroke to N with caron) and the Z run start on an odd code point.
    const bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    if (oddPairs) return (c % 2 == 1) ? c + 1 : c;
    return (c % 2 == 0) ? c + 1 : c;
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;  // Greek capitals
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;                // Cyrillic capitals
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;                // Cyrillic Ѐ..Џ
  return c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (FoldCase(NextCodePoint(a, i)) != FoldCase(NextCodePoint(b, j))) return false;
  }
  return i == a.size() && j == b.size();
}

std::string_view TrimBlanks(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\v\f";
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

}  // namespace korvane::os::profile
