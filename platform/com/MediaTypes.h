#pragma once
// Media types and the video format block, laid out byte for byte as the capture framework
// stores them, so a format block read from a file or another system means the same here.

#include <cstddef>

#include "platform/com/Guid.h"
#include "platform/com/Unknown.h"

struct AM_MEDIA_TYPE {
  GUID majortype;
  GUID subtype;
  BOOL bFixedSizeSamples;
  BOOL bTemporalCompression;
  ULONG lSampleSize;
  GUID formattype;
  IUnknown* pUnk;
  ULONG cbFormat;
  BYTE* pbFormat;
};

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct VIDEOINFOHEADER {
  RECT rcSource;
  RECT rcTarget;
  DWORD dwBitRate;
  DWORD dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  BITMAPINFOHEADER bmiHeader;
};
static_assert(sizeof(VIDEOINFOHEADER) == 88);
static_assert(offsetof(VIDEOINFOHEADER, AvgTimePerFrame) == 40);
static_assert(offsetof(VIDEOINFOHEADER, bmiHeader) == 48);

// A four-character code as biCompression holds it: the first character in the lowest byte.
constexpr DWORD MakeFourCC(char a, char b, char c, char d) {
  return static_cast<DWORD>(static_cast<BYTE>(a)) |
         (static_cast<DWORD>(static_cast<BYTE>(b)) << 8) |
         (static_cast<DWORD>(static_cast<BYTE>(c)) << 16) |
         (static_cast<DWORD>(static_cast<BYTE>(d)) << 24);
}
inline constexpr DWORD BI_RGB = 0;

// The video subtype that carries a FourCC: {XXXXXXXX-0000-0010-8000-00AA00389B71}.
constexpr GUID FourCCSubtype(DWORD fourcc) {
  GUID guid = MakeGuid("00000000-0000-0010-8000-00AA00389B71");
  guid.Data1 = fourcc;
  return guid;
}

inline constexpr GUID MEDIATYPE_Video = MakeGuid("73646976-0000-0010-8000-00AA00389B71");
inline constexpr GUID MEDIATYPE_Audio = MakeGuid("73647561-0000-0010-8000-00AA00389B71");
inline constexpr GUID MEDIATYPE_Stream = MakeGuid("E436EB83-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_YUY2 = FourCCSubtype(MakeFourCC('Y', 'U', 'Y', '2'));
inline constexpr GUID MEDIASUBTYPE_MJPG = FourCCSubtype(MakeFourCC('M', 'J', 'P', 'G'));
inline constexpr GUID MEDIASUBTYPE_NV12 = FourCCSubtype(MakeFourCC('N', 'V', '1', '2'));
inline constexpr GUID MEDIASUBTYPE_RGB24 = MakeGuid("E436EB7D-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_RGB32 = MakeGuid("E436EB7E-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_Avi = MakeGuid("E436EB88-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID MEDIASUBTYPE_Asf = MakeGuid("3DB80F90-9412-11D1-ADED-0000F8754B99");
inline constexpr GUID FORMAT_VideoInfo = MakeGuid("05589F80-C356-11CE-BF01-00AA0055595A");
inline constexpr GUID FORMAT_VideoInfo2 = MakeGuid("F72A76A0-EB0A-11D0-ACE4-0000C0CC16BA");

namespace korvane::com {

// A deep copy of a media type in task memory: the record and its format block are separate
// task-memory blocks and pUnk gains a reference, as the platform hands media types out.
// nullptr when memory runs out.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE& source);
// Fills target with a deep copy of source (format block in task memory, pUnk referenced).
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE& source);

}  // namespace korvane::com
