#pragma once
// The fixed-width vocabulary of the media platform: the same names and widths the
// capture framework uses on Windows, so code written against it reads the same here.

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;  // 32 bits here too, unlike the C long of LP64 Linux
using ULONG = std::uint32_t;
using BOOL = std::int32_t;
using LONGLONG = std::int64_t;
using REFERENCE_TIME = std::int64_t;  // units of 100 ns
using HRESULT = std::int32_t;
using LCID = std::uint32_t;
using UINT = std::uint32_t;
using WCHAR = char16_t;  // UTF-16 code unit, as the platform's wide strings
using OLECHAR = WCHAR;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using LPCWSTR = const WCHAR*;
using LPWSTR = WCHAR*;
using BSTR = OLECHAR*;
using LPVOID = void*;
using HWND = void*;  // an opaque native window handle
using COLORREF = DWORD;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

constexpr bool SUCCEEDED(HRESULT hr) {
  return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
  return hr < 0;
}

// Builds an HRESULT from its unsigned 32-bit spelling (0x80004005) without narrowing warnings.
constexpr HRESULT MakeHResult(std::uint32_t code) {
  return static_cast<HRESULT>(code);
}

// Result codes the platform produces, with their Windows values.
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002);
inline constexpr HRESULT E_POINTER = MakeHResult(0x80004003);
inline constexpr HRESULT E_ABORT = MakeHResult(0x80004004);
inline constexpr HRESULT E_FAIL = MakeHResult(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = MakeHResult(0x80070005);
inline constexpr HRESULT E_HANDLE = MakeHResult(0x80070006);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057);
inline constexpr HRESULT HRESULT_ERROR_PATH_NOT_FOUND =
    MakeHResult(0x80070003);  // ERROR_PATH_NOT_FOUND
inline constexpr HRESULT HRESULT_ERROR_WRITE_PROTECT =
    MakeHResult(0x80070013);                                                 // ERROR_WRITE_PROTECT
inline constexpr HRESULT HRESULT_ERROR_DISK_FULL = MakeHResult(0x80070070);  // ERROR_DISK_FULL
inline constexpr HRESULT HRESULT_ERROR_BUSY = MakeHResult(0x800700AA);       // ERROR_BUSY
inline constexpr HRESULT HRESULT_ERROR_FILE_TOO_LARGE =
    MakeHResult(0x800700DF);  // ERROR_FILE_TOO_LARGE
inline constexpr HRESULT HRESULT_ERROR_DEVICE_NOT_CONNECTED = MakeHResult(0x8007048F);
inline constexpr HRESULT HRESULT_ERROR_NOT_FOUND = MakeHResult(0x80070490);  // ERROR_NOT_FOUND
inline constexpr HRESULT HRESULT_ERROR_SET_NOT_FOUND =
    MakeHResult(0x80070492);  // ERROR_SET_NOT_FOUND
inline constexpr HRESULT HRESULT_ERROR_GEN_FAILURE = MakeHResult(0x8007001F);
inline constexpr HRESULT HRESULT_ERROR_NOT_SUPPORTED = MakeHResult(0x80070032);
inline constexpr HRESULT HRESULT_ERROR_TIMEOUT = MakeHResult(0x800705B4);
// Our own codes for what a camera driver on this platform answers and no system code says.
// A device node the user may not open: the text names the fix.
inline constexpr HRESULT HRESULT_CAMERA_PERMISSION_DENIED = MakeHResult(0x8004A001);
// A control the driver refuses to change while its automatic companion runs it.
inline constexpr HRESULT HRESULT_CONTROL_IS_AUTOMATIC = MakeHResult(0x8004A002);
// Recording into an ASF container: there is no ASF multiplexer on this platform.
inline constexpr HRESULT HRESULT_ASF_NOT_AVAILABLE = MakeHResult(0x8004A003);
inline constexpr HRESULT E_PROP_ID_UNSUPPORTED = HRESULT_ERROR_NOT_FOUND;
inline constexpr HRESULT E_PROP_SET_UNSUPPORTED = HRESULT_ERROR_SET_NOT_FOUND;
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHResult(0x80040110);
inline constexpr HRESULT VFW_S_STATE_INTERMEDIATE = MakeHResult(0x00040237);
inline constexpr HRESULT VFW_S_DUPLICATE_NAME = MakeHResult(0x0004022D);
inline constexpr HRESULT VFW_S_CANT_CUE = MakeHResult(0x00040268);
inline constexpr HRESULT VFW_S_NOPREVIEWPIN = MakeHResult(0x0004027E);
inline constexpr HRESULT VFW_E_ALREADY_CONNECTED = MakeHResult(0x80040204);
inline constexpr HRESULT VFW_E_INVALID_DIRECTION = MakeHResult(0x80040208);
inline constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = MakeHResult(0x80040249);
inline constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = MakeHResult(0x8004022A);
inline constexpr HRESULT VFW_E_NOT_IN_GRAPH = MakeHResult(0x8004025F);
inline constexpr HRESULT VFW_E_NOT_CONNECTED = MakeHResult(0x80040209);
inline constexpr HRESULT VFW_E_NOT_FOUND = MakeHResult(0x80040216);
inline constexpr HRESULT VFW_E_CANNOT_CONNECT = MakeHResult(0x80040217);
inline constexpr HRESULT VFW_E_CANNOT_RENDER = MakeHResult(0x80040218);
inline constexpr HRESULT VFW_E_INVALIDMEDIATYPE = MakeHResult(0x80040200);
inline constexpr HRESULT VFW_E_NOT_STOPPED = MakeHResult(0x80040224);
inline constexpr HRESULT VFW_E_WRONG_STATE = MakeHResult(0x80040227);
inline constexpr HRESULT VFW_E_NO_CAPTURE_HARDWARE = MakeHResult(0x80040256);

// Builds the HRESULT that wraps a Win32-style error number, as HRESULT_FROM_WIN32 does.
constexpr HRESULT HResultFromWin32(std::uint32_t error) {
  return error == 0 ? S_OK : MakeHResult((error & 0xFFFFu) | 0x80070000u);
}

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
static_assert(sizeof(RECT) == 16);

struct SIZE {
  LONG cx;
  LONG cy;
};

struct POINT {
  LONG x;
  LONG y;
};

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
