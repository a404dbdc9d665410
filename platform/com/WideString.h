#pragma once
// Conversion between the platform's UTF-16 strings and the UTF-8 std::string used in our code,
// and the BSTR allocation the property bags hand out.

#include <string>
#include <string_view>

#include "platform/com/ComTypes.h"

namespace korvane::com {

// Invalid sequences become U+FFFD on either side; nothing is dropped silently.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
// Length of a NUL-terminated wide string (nullptr counts as empty).
std::size_t WideLength(const WCHAR* text);

}  // namespace korvane::com

// A length-prefixed wide string in task memory; freed with SysFreeString.
BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);
