// The video formats of the capture pin: the list it offers, the one it is set to, and
// selecting one of the offered ones. Every media type the platform hands out is owned by a
// TFMediaTypePtr, so it is freed on every path, errors included.

#include <cstring>

#include "camera/FCamera.h"
#include "camera/FCameraChecks.h"
#include "camera/FDirectShow9.h"

namespace {

bool HasVideoInfoBlock(const AM_MEDIA_TYPE& MediaType) {
  return MediaType.formattype == FORMAT_VideoInfo && MediaType.cbFormat >= sizeof(VIDEOINFOHEADER);
}

// The format block copied out, so an odd alignment of the platform's block does not matter.
VIDEOINFOHEADER VideoInfoOf(const AM_MEDIA_TYPE& MediaType) {
  VIDEOINFOHEADER Header;
  std::memcpy(&Header, MediaType.pbFormat, sizeof Header);
  return Header;
}

TFRect ToRect(const RECT& Rect) {
  return {Rect.left, Rect.top, Rect.right, Rect.bottom};
}

// The caller has checked the format type and size.
TFCameraFormat MediaTypeToCameraFormat(const AM_MEDIA_TYPE& MediaType) {
  CheckCondition(MediaType.pbFormat != nullptr, "Invalid MediaHeader");
  const VIDEOINFOHEADER Header = VideoInfoOf(MediaType);
  const BITMAPINFOHEADER& Bitmap = Header.bmiHeader;
  TFCameraFormat Format;
  Format.Width = Bitmap.biWidth;
  Format.Height = Bitmap.biHeight;
  Format.AvgTimePerFrame = Header.AvgTimePerFrame;
  Format.FixedSizeSamples = MediaType.bFixedSizeSamples != 0;
  Format.TemporalCompression = MediaType.bTemporalCompression != 0;
  Format.SampleSize = static_cast<LONG>(MediaType.lSampleSize);
  Format.Source = ToRect(Header.rcSource);
  Format.Target = ToRect(Header.rcTarget);
  Format.BitRate = static_cast<LONG>(Header.dwBitRate);
  Format.BitErrorRate = static_cast<LONG>(Header.dwBitErrorRate);
  Format.BitsPerPixel = Bitmap.biBitCount;
  std::memcpy(Format.Compression.data(), &Bitmap.biCompression, Format.Compression.size());
  Format.XPelsPerMeter = Bitmap.biXPelsPerMeter;
  Format.YPelsPerMeter = Bitmap.biYPelsPerMeter;
  return Format;
}

bool Matches(const AM_MEDIA_TYPE& MediaType, const TFCameraFormat& Requested) {
  if (!HasVideoInfoBlock(MediaType) || !MediaType.pbFormat) return false;
  const VIDEOINFOHEADER Header = VideoInfoOf(MediaType);
  return Header.bmiHeader.biWidth == Requested.Width &&
         Header.bmiHeader.biHeight == Requested.Height &&
         Header.AvgTimePerFrame == Requested.AvgTimePerFrame &&
         Header.bmiHeader.biBitCount == Requested.BitsPerPixel;
}

bool SameCompression(const AM_MEDIA_TYPE& MediaType, const TFCameraFormat& Requested) {
  const VIDEOINFOHEADER Header = VideoInfoOf(MediaType);
  return std::memcmp(&Header.bmiHeader.biCompression, Requested.Compression.data(),
                     Requested.Compression.size()) == 0;
}

// The next offered media type, nil at the end of the list or on any failure.
TFMediaTypePtr NextMediaType(IEnumMediaTypes& MediaTypes) {
  AM_MEDIA_TYPE* MediaType = nullptr;
  const HRESULT Result = MediaTypes.Next(1, &MediaType, nullptr);
  TFMediaTypePtr Owned(MediaType);
  if (Result != S_OK) return nullptr;
  return Owned;
}

ComPtr<IEnumMediaTypes> EnumMediaTypesOf(const ComPtr<IPin>& Pin) {
  CheckInterface(Pin, "Capture IPin");
  ComPtr<IEnumMediaTypes> MediaTypes;
  CheckResult(Pin->EnumMediaTypes(MediaTypes.ReleaseAndGetAddressOf()));
  CheckInterface(MediaTypes, "IEnumMediaTypes");
  return MediaTypes;
}

}  // namespace

TFCameraFormats TFCamera::GetSupportedFormats() {
  CheckDevice();
  ComPtr<IEnumMediaTypes> MediaTypes = EnumMediaTypesOf(GetCapturePin());
  TFCameraFormats Formats;
  // A failure part-way ends the list like its normal end: the caller gets what was gathered.
  while (TFMediaTypePtr MediaType = NextMediaType(*MediaTypes)) {
    if (HasVideoInfoBlock(*MediaType)) Formats.push_back(MediaTypeToCameraFormat(*MediaType));
  }
  return Formats;
}

TFCameraFormat TFCamera::GetFormat() {
  CheckDevice();
  ComPtr<IAMStreamConfig> StreamConfig = GetAMStreamConfig();
  CheckInterface(StreamConfig, "IAMStreamConfig");
  AM_MEDIA_TYPE* Current = nullptr;
  const HRESULT Result = StreamConfig->GetFormat(&Current);
  TFMediaTypePtr MediaType(Current);
  CheckResult(Result);
  // A driver that claims success but hands out nothing is a failure, not a format.
  if (!MediaType) CheckResult(E_POINTER);
  CheckCondition(MediaType->formattype == FORMAT_VideoInfo, "Incorrect format type");
  CheckCondition(MediaType->cbFormat >= sizeof(VIDEOINFOHEADER), "Incorrect format size");
  return MediaTypeToCameraFormat(*MediaType);
}

// A camera may offer one size, rate and bit count in several compressions (YUYV, H264 and
// MJPG at "1920x1080 30Hz 24bpp"): the one of the record's own compression is taken, else the
// first that matches the rest.
void TFCamera::SetFormat(const TFCameraFormat& Value) {
  CheckDevice();
  ComPtr<IEnumMediaTypes> MediaTypes = EnumMediaTypesOf(GetCapturePin());
  TFMediaTypePtr Chosen;
  while (TFMediaTypePtr MediaType = NextMediaType(*MediaTypes)) {
    if (!Matches(*MediaType, Value)) continue;
    const bool Exact = SameCompression(*MediaType, Value);
    if (!Chosen || Exact) Chosen = std::move(MediaType);
    if (Exact) break;
  }
  CheckCondition(Chosen != nullptr, "Format not found");
  ComPtr<IAMStreamConfig> StreamConfig = GetAMStreamConfig();
  CheckInterface(StreamConfig, "IAMStreamConfig");
  // Only an offered media type goes to the device, never the caller's record.
  CheckResult(StreamConfig->SetFormat(Chosen.get()));
}
