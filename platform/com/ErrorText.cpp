#include "platform/com/ErrorText.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "platform/com/WideString.h"

namespace korvane::com {
namespace {

struct CodeText {
  HRESULT code;
  std::string_view text;
};

// Codes of the media framework itself: what AMGetErrorTextW knows.
constexpr CodeText kMediaTexts[] = {
    {VFW_E_INVALIDMEDIATYPE, "The media type given is not valid"},
    {VFW_E_NOT_CONNECTED, "The operation needs a connected pin"},
    {VFW_E_NOT_FOUND, "The requested object was not found in the filter graph"},
    {VFW_E_CANNOT_CONNECT, "No chain of filters could be found to make the connection"},
    {VFW_E_CANNOT_RENDER, "No chain of filters could be found to render the stream"},
    {VFW_E_NOT_STOPPED, "The operation needs the filter graph to be stopped"},
    {VFW_E_WRONG_STATE, "The operation is not possible in the current state"},
    {VFW_E_NO_CAPTURE_HARDWARE, "No capture hardware is available"},
    {VFW_S_STATE_INTERMEDIATE, "The filter graph is still changing state"},
    {VFW_S_DUPLICATE_NAME,
     "The filter was added under a name of its own, as the name given was taken"},
    {VFW_S_CANT_CUE,
     "The graph is paused, and a live source cannot deliver data while it is paused"},
    {VFW_S_NOPREVIEWPIN,
     "The preview was rendered through a tee, as the device has no preview pin"},
    {VFW_E_ALREADY_CONNECTED, "The pin is already connected"},
    {VFW_E_INVALID_DIRECTION, "The pins cannot be connected in this direction"},
    {VFW_E_TYPE_NOT_ACCEPTED, "The media type is not accepted"},
    {VFW_E_SAMPLE_TIME_NOT_SET, "The sample carries no time stamps"},
    {VFW_E_NOT_IN_GRAPH, "The filter is not in the filter graph"},
    {HRESULT_ASF_NOT_AVAILABLE,
     "Recording into ASF files is not available on this platform; record into an AVI file"},
};

// Codes the system explains; the rest have no text.
constexpr CodeText kSystemTexts[] = {
    {S_OK, "The operation completed successfully"},
    {S_FALSE, "The operation completed with a negative answer"},
    {E_NOTIMPL, "The operation is not implemented"},
    {E_NOINTERFACE, "The object does not offer the requested interface"},
    {E_POINTER, "A required pointer was missing"},
    {E_ABORT, "The operation was aborted"},
    {E_FAIL, "The operation failed for an unspecified reason"},
    {E_UNEXPECTED, "An unexpected failure occurred"},
    {E_ACCESSDENIED, "Access is denied"},
    {E_HANDLE, "The handle is not valid"},
    {E_OUTOFMEMORY, "There is not enough memory to complete the operation"},
    {E_INVALIDARG, "One or more arguments are not valid"},
    {HRESULT_ERROR_PATH_NOT_FOUND, "The system cannot find the path specified"},
    {HRESULT_ERROR_WRITE_PROTECT, "The medium is write protected"},
    {HRESULT_ERROR_DISK_FULL, "There is not enough space on the disk"},
    {HRESULT_ERROR_BUSY, "The device or resource is busy"},
    {HRESULT_ERROR_FILE_TOO_LARGE, "The file is as large as this file format allows"},
    {HRESULT_ERROR_GEN_FAILURE, "The device does not work as expected"},
    {HRESULT_ERROR_NOT_SUPPORTED, "The request is not supported"},
    {HRESULT_ERROR_DEVICE_NOT_CONNECTED, "The device is not connected"},
    {HRESULT_ERROR_NOT_FOUND, "The element was not found"},
    {HRESULT_ERROR_SET_NOT_FOUND, "The property set was not found on the object"},
    {HRESULT_ERROR_TIMEOUT, "The operation timed out"},
    {HRESULT_CAMERA_PERMISSION_DENIED,
     "Access to the camera is denied: your user needs to be a member of the group 'video' "
     "(sudo usermod -aG video $USER), then log out and in again"},
    {HRESULT_CONTROL_IS_AUTOMATIC,
     "The camera does not accept this value while the control is in automatic mode"},
    {REGDB_E_CLASSNOTREG, "The class is not registered"},
    {CLASS_E_NOAGGREGATION, "The class cannot be created as part of an aggregate"},
};

template <std::size_t N>
std::string_view Find(const CodeText (&table)[N], HRESULT hr) {
  const auto found = std::find_if(std::begin(table), std::end(table),
                                  [hr](const CodeText& entry) { return entry.code == hr; });
  return found == std::end(table) ? std::string_view{} : found->text;
}

}  // namespace

std::string SystemMessageText(HRESULT hr) {
  return std::string(Find(kSystemTexts, hr));
}

std::string OleErrorMessage(HRESULT hr) {
  std::string text = SystemMessageText(hr);
  if (!text.empty()) return text;
  char fallback[32];
  std::snprintf(fallback, sizeof fallback, "OLE error %.8x", static_cast<unsigned>(hr));
  return fallback;
}

}  // namespace korvane::com

DWORD AMGetErrorTextW(HRESULT hr, WCHAR* buffer, DWORD maxLen) {
  const std::string_view text = korvane::com::Find(korvane::com::kMediaTexts, hr);
  if (text.empty() || !buffer || maxLen == 0) return 0;
  const std::u16string wide = korvane::com::Utf8ToUtf16(text);
  const std::size_t copied = std::min<std::size_t>(wide.size(), maxLen - 1);
  std::copy_n(wide.begin(), copied, buffer);
  buffer[copied] = 0;
  return static_cast<DWORD>(copied);
}
