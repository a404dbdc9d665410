// Result codes and missing interfaces turned into errors, and the release of media types.

#include "camera/FCameraChecks.h"

#include <algorithm>
#include <array>
#include <string>

#include "camera/FDirectShow9.h"

void CheckResult(HRESULT Result) {
  if (SUCCEEDED(Result)) return;
  std::array<WCHAR, 160> Text{};
  const DWORD Length = AMGetErrorTextW(Result, Text.data(), static_cast<DWORD>(Text.size()));
  if (Length == 0) CheckSystemResult(Result);
  // The text ends at the first NUL or at the end of the buffer, whatever the count said.
  const auto End =
      std::find(Text.begin(), Text.begin() + std::min<std::size_t>(Length, Text.size()), WCHAR{0});
  throw EOleSysError(
      korvane::com::Utf16ToUtf8(std::u16string_view(Text.data(), End - Text.begin())), Result);
}

void CheckSystemResult(HRESULT Result) {
  if (FAILED(Result)) throw EOleSysError(korvane::com::OleErrorMessage(Result), Result);
}

void CheckCondition(bool Condition, std::string_view Message) {
  if (!Condition) throw EFCameraError(std::string(Message));
}

void CheckInterface(const void* Intf, std::string_view Name) {
  if (!Intf) throw EFCameraError("Cannot retrieve '" + std::string(Name) + "' interface");
}

bool IsNotFoundResult(HRESULT Result) {
  return Result == HRESULT_ERROR_NOT_FOUND || Result == HRESULT_ERROR_SET_NOT_FOUND;
}

void FreeMediaType(AM_MEDIA_TYPE& MediaType) {
  // The block goes whenever it is there: a record that claims no size but still carries a
  // block would otherwise leak it.
  if (MediaType.cbFormat != 0 || MediaType.pbFormat) {
    CoTaskMemFree(MediaType.pbFormat);
    MediaType.cbFormat = 0;
    MediaType.pbFormat = nullptr;
  }
  if (MediaType.pUnk) {
    MediaType.pUnk->Release();
    MediaType.pUnk = nullptr;
  }
}

void DeleteMediaType(AM_MEDIA_TYPE* MediaType) {
  if (!MediaType) return;
  FreeMediaType(*MediaType);
  CoTaskMemFree(MediaType);
}
