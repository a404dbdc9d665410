#pragma once
// The texts the platform gives for its result codes: the media framework's own lookup
// (AMGetErrorTextW) and the system's message text with its documented fallback.

#include <string>

#include "platform/com/ComTypes.h"

// Copies the media framework's text for hr into buffer (at most maxLen characters including
// the terminating NUL) and returns the number of characters copied, 0 when it has no text
// for the code or the buffer is unusable.
DWORD AMGetErrorTextW(HRESULT hr, WCHAR* buffer, DWORD maxLen);

namespace korvane::com {

// The system's text for a result code, without a trailing full stop; empty when it has none.
std::string SystemMessageText(HRESULT hr);
// The system's text, or "OLE error %.8x" with the code when the system has none.
std::string OleErrorMessage(HRESULT hr);

}  // namespace korvane::com
