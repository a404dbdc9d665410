#pragma once
// The checks and utilities every part of the camera component uses: turning result codes
// and missing interfaces into errors, device lookup by name, and freeing media types.

#include <memory>
#include <string>
#include <string_view>

#include "camera/FCameraErrors.h"
#include "platform/com/Guid.h"
#include "platform/com/Unknown.h"

struct AM_MEDIA_TYPE;
struct IBaseFilter;

// Raises EOleSysError for a failed code (top bit set): the media framework's text for the
// code, else the system's. Success codes, S_FALSE included, pass.
void CheckResult(HRESULT Result);
// Raises EFCameraError with Message when Condition is false.
void CheckCondition(bool Condition, std::string_view Message);
// Raises EFCameraError "Cannot retrieve '<Name>' interface" for a nil reference.
void CheckInterface(const void* Intf, std::string_view Name);
template <class T>
void CheckInterface(const ComPtr<T>& Intf, std::string_view Name) {
  CheckInterface(static_cast<const void*>(Intf.Get()), Name);
}
// Raises EOleSysError with the system's own text for a failed code (no media text).
void CheckSystemResult(HRESULT Result);
// True exactly for the codes that say "this property (set) does not exist".
bool IsNotFoundResult(HRESULT Result);

// The first device of Category whose friendly name equals Name, bound to a filter; nil when
// none binds.
ComPtr<IBaseFilter> FindDevice(const GUID& Category, const std::string& Name);

// Frees what a media type record owns (format block, pUnk) and leaves it empty.
void FreeMediaType(AM_MEDIA_TYPE& MediaType);
// Frees a media type the platform allocated, the record included; nothing for nil.
void DeleteMediaType(AM_MEDIA_TYPE* MediaType);

struct TFMediaTypeDelete {
  void operator()(AM_MEDIA_TYPE* MediaType) const { DeleteMediaType(MediaType); }
};
// Owns a media type handed out by the platform.
using TFMediaTypePtr = std::unique_ptr<AM_MEDIA_TYPE, TFMediaTypeDelete>;
