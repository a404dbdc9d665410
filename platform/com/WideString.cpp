#include "platform/com/WideString.h"

#include <cstdint>
#include <cstring>

#include "platform/com/TaskMemory.h"

namespace korvane::com {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

void AppendUtf16(std::u16string& out, char32_t code) {
  if (code < 0x10000) {
    out += static_cast<char16_t>(code);
  } else {
    code -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (code >> 10));
    out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3
                                                         : (lead >> 3) == 0x1E ? 4 : 0;
    char32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool valid = length != 0 && i + static_cast<std::size_t>(length) <= text.size();
    for (int k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (valid && (code < kMinimum[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)))
      valid = false;
    if (!valid) {
      AppendUtf16(out, kReplacement);
      i += 1;
      continue;
    }
    AppendUtf16(out, code);
    i += static_cast<std::size_t>(length);
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

std::size_t WideLength(const WCHAR* text) {
  std::size_t length = 0;
  if (text)
    while (text[length] != 0) ++length;
  return length;
}

}  // namespace korvane::com

// Layout: a 32-bit byte count, then the characters, then a NUL; the BSTR points at the characters.
BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  auto* block = static_cast<BYTE*>(CoTaskMemAlloc(sizeof(std::uint32_t) + (length + 1) * sizeof(OLECHAR)));
  if (!block) return nullptr;
  const std::uint32_t bytes = length * sizeof(OLECHAR);
  std::memcpy(block, &bytes, sizeof bytes);
  auto* characters = reinterpret_cast<OLECHAR*>(block + sizeof(std::uint32_t));
  if (text) std::memcpy(characters, text, length * sizeof(OLECHAR));
  else std::memset(characters, 0, length * sizeof(OLECHAR));
  characters[length] = 0;
  return characters;
}

BSTR SysAllocString(const OLECHAR* text) {
  if (!text) return nullptr;
  return SysAllocStringLen(text, static_cast<UINT>(korvane::com::WideLength(text)));
}

void SysFreeString(BSTR text) {
  if (text) CoTaskMemFree(reinterpret_cast<BYTE*>(text) - sizeof(std::uint32_t));
}

UINT SysStringLen(BSTR text) {
  if (!text) return 0;
  std::uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<BYTE*>(text) - sizeof(std::uint32_t), sizeof bytes);
  return bytes / sizeof(OLECHAR);
}
