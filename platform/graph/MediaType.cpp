#include "platform/graph/MediaType.h"

#include <algorithm>
#include <cstring>

namespace korvane::graph {
namespace {

// The video-info-2 block keeps its picture header after six more 32-bit fields.
constexpr std::size_t kVideoInfo2HeaderOffset = 72;

bool Wildcard(const GUID& guid) {
  return guid == GUID_NULL;
}

}  // namespace

MediaType MediaType::From(const AM_MEDIA_TYPE& type) {
  MediaType result;
  result.majortype = type.majortype;
  result.subtype = type.subtype;
  result.formattype = type.formattype;
  result.fixedSizeSamples = type.bFixedSizeSamples != FALSE;
  result.temporalCompression = type.bTemporalCompression != FALSE;
  result.sampleSize = type.lSampleSize;
  if (type.pbFormat && type.cbFormat > 0) {
    result.format.assign(type.pbFormat, type.pbFormat + type.cbFormat);
  }
  return result;
}

AM_MEDIA_TYPE MediaType::View() const {
  AM_MEDIA_TYPE type{};
  type.majortype = majortype;
  type.subtype = subtype;
  type.formattype = formattype;
  type.bFixedSizeSamples = fixedSizeSamples ? TRUE : FALSE;
  type.bTemporalCompression = temporalCompression ? TRUE : FALSE;
  type.lSampleSize = sampleSize;
  type.cbFormat = static_cast<ULONG>(format.size());
  // The platform's record has no const block; nobody writes through a view.
  type.pbFormat = format.empty() ? nullptr : const_cast<BYTE*>(format.data());
  return type;
}

HRESULT MediaType::CopyTo(AM_MEDIA_TYPE* target) const {
  if (!target) return E_POINTER;
  return com::CopyMediaType(target, View());
}

bool MatchesPartial(const AM_MEDIA_TYPE& partial, const AM_MEDIA_TYPE& complete) {
  return (Wildcard(partial.majortype) || partial.majortype == complete.majortype) &&
         (Wildcard(partial.subtype) || partial.subtype == complete.subtype) &&
         (Wildcard(partial.formattype) || partial.formattype == complete.formattype);
}

bool IsComplete(const AM_MEDIA_TYPE& type) {
  return !Wildcard(type.majortype) && !Wildcard(type.subtype) && !Wildcard(type.formattype);
}

std::optional<VideoPicture> VideoPictureOf(const AM_MEDIA_TYPE& type) {
  if (type.majortype != MEDIATYPE_Video || !type.pbFormat) return std::nullopt;
  std::size_t headerOffset = 0;
  if (type.formattype == FORMAT_VideoInfo) {
    headerOffset = offsetof(VIDEOINFOHEADER, bmiHeader);
  } else if (type.formattype == FORMAT_VideoInfo2) {
    headerOffset = kVideoInfo2HeaderOffset;
  } else {
    return std::nullopt;
  }
  if (type.cbFormat < headerOffset + sizeof(BITMAPINFOHEADER)) return std::nullopt;
  VideoPicture picture;
  std::memcpy(&picture.frameTime, type.pbFormat + offsetof(VIDEOINFOHEADER, AvgTimePerFrame),
              sizeof(picture.frameTime));
  std::memcpy(&picture.header, type.pbFormat + headerOffset, sizeof(picture.header));
  return picture;
}

std::optional<VideoPicture> VideoPictureOf(const std::optional<MediaType>& type) {
  if (!type) return std::nullopt;
  return VideoPictureOf(type->View());
}

std::size_t DibStride(LONG width, WORD bitCount) {
  return (static_cast<std::size_t>(width) * bitCount + 31) / 32 * 4;
}

std::optional<std::size_t> PictureBytes(const GUID& subtype, LONG width, LONG height) {
  if (width < 1 || width > kMaxPictureSide || height == 0 || height < -kMaxPictureSide ||
      height > kMaxPictureSide) {
    return std::nullopt;
  }
  const auto w = static_cast<std::size_t>(width);
  const auto h = static_cast<std::size_t>(height < 0 ? -height : height);
  if (subtype == MEDIASUBTYPE_YUY2) {
    if (w % 2 != 0) return std::nullopt;
    return w * h * 2;
  }
  if (subtype == MEDIASUBTYPE_NV12) {
    if (w % 2 != 0 || h % 2 != 0) return std::nullopt;
    return w * h * 3 / 2;
  }
  if (subtype == MEDIASUBTYPE_RGB24) return DibStride(width, 24) * h;
  if (subtype == MEDIASUBTYPE_RGB32) return DibStride(width, 32) * h;
  return std::nullopt;
}

MediaType MakeVideoType(const GUID& subtype, LONG width, LONG height, WORD bitCount,
                        DWORD compression, REFERENCE_TIME frameTime, ULONG imageSize) {
  VIDEOINFOHEADER info{};
  const LONG rows = height < 0 ? -height : height;
  info.rcSource = RECT{0, 0, width, rows};
  info.rcTarget = info.rcSource;
  info.AvgTimePerFrame = frameTime;
  if (frameTime > 0) {
    const long long bitsPerSecond = static_cast<long long>(imageSize) * 8 * 10'000'000 / frameTime;
    info.dwBitRate = static_cast<DWORD>(std::min<long long>(bitsPerSecond, 0xFFFFFFFFll));
  }
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = bitCount;
  info.bmiHeader.biCompression = compression;
  info.bmiHeader.biSizeImage = imageSize;

  MediaType type;
  type.majortype = MEDIATYPE_Video;
  type.subtype = subtype;
  type.formattype = FORMAT_VideoInfo;
  type.sampleSize = imageSize;
  const auto* bytes = reinterpret_cast<const BYTE*>(&info);
  type.format.assign(bytes, bytes + sizeof(info));
  return type;
}

}  // namespace korvane::graph
