#include "platform/sim/SimMediaTypes.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace korvane::sim {
namespace {

// The video-info-2 block: the video-info fields, six more 32-bit fields, then the picture
// header at byte 72; 112 bytes in all.
constexpr std::size_t kVideoInfo2HeaderOffset = 72;
constexpr std::size_t kVideoInfo2Size = kVideoInfo2HeaderOffset + sizeof(BITMAPINFOHEADER);

// The size along one side, also for the lowest LONG, whose negation does not fit a LONG.
unsigned long long Magnitude(LONG side) {
  return side < 0 ? 0ULL - static_cast<unsigned long long>(static_cast<long long>(side))
                  : static_cast<unsigned long long>(side);
}

std::size_t HeaderOffset(const GUID& formatType) {
  return formatType == FORMAT_VideoInfo2 ? kVideoInfo2HeaderOffset
                                         : offsetof(VIDEOINFOHEADER, bmiHeader);
}

std::size_t NaturalSize(const GUID& formatType) {
  return formatType == FORMAT_VideoInfo2 ? kVideoInfo2Size : sizeof(VIDEOINFOHEADER);
}

// The complete block in its natural size; the declared size may cut it short or pad it.
std::vector<BYTE> FormatBlock(const SimFormat& format) {
  // A top-down picture (negative height) has the same rectangle as an upright one.
  const LONG height = static_cast<LONG>(
      std::min<unsigned long long>(Magnitude(format.height), std::numeric_limits<LONG>::max()));
  const ULONG imageSize = SampleSizeOf(format);
  VIDEOINFOHEADER info{};
  info.rcSource = RECT{0, 0, format.width, height};
  info.rcTarget = info.rcSource;
  if (format.avgTimePerFrame > 0) {
    const long long bitsPerSecond =
        static_cast<long long>(imageSize) * 8 * 10'000'000 / format.avgTimePerFrame;
    info.dwBitRate = static_cast<DWORD>(std::min<long long>(bitsPerSecond, 0xFFFFFFFFll));
  }
  info.AvgTimePerFrame = format.avgTimePerFrame;
  BITMAPINFOHEADER& header = info.bmiHeader;
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = format.width;
  header.biHeight = format.height;
  header.biPlanes = 1;
  header.biBitCount = format.bitCount;
  header.biCompression = format.compression;
  header.biSizeImage = imageSize;

  std::vector<BYTE> block(NaturalSize(format.formattype), 0);
  // The leading fields (rectangles, rates, frame time) sit alike in both layouts.
  std::memcpy(block.data(), &info, offsetof(VIDEOINFOHEADER, bmiHeader));
  std::memcpy(block.data() + HeaderOffset(format.formattype), &header, sizeof(header));
  return block;
}

ULONG DeclaredSize(const SimFormat& format) {
  return format.formatSize.value_or(static_cast<ULONG>(NaturalSize(format.formattype)));
}

}  // namespace

ULONG SampleSizeOf(const SimFormat& format) {
  if (format.sampleSize != 0) return format.sampleSize;
  const unsigned long long bytes =
      Magnitude(format.width) * Magnitude(format.height) * format.bitCount / 8;
  return static_cast<ULONG>(std::min<unsigned long long>(bytes, 0xFFFFFFFFull));
}

AM_MEDIA_TYPE* CreateSimMediaType(const SimFormat& format) {
  const ULONG declaredSize = DeclaredSize(format);
  if (declaredSize > kMaxFormatBlockSize) return nullptr;
  std::vector<BYTE> block = FormatBlock(format);
  block.resize(declaredSize, 0);

  AM_MEDIA_TYPE type{};
  type.majortype = format.majortype;
  type.subtype = format.subtype;
  type.bFixedSizeSamples = format.fixedSizeSamples ? TRUE : FALSE;
  type.bTemporalCompression = format.temporalCompression ? TRUE : FALSE;
  type.lSampleSize = SampleSizeOf(format);
  type.formattype = format.formattype;
  type.pUnk = nullptr;
  type.cbFormat = declaredSize;
  // A missing block keeps its declared size: that is the fault such a driver shows.
  type.pbFormat = format.formatBlockMissing || block.empty() ? nullptr : block.data();
  return com::CreateMediaType(type);
}

bool DescribesFormat(const AM_MEDIA_TYPE& type, const SimFormat& format) {
  if (type.majortype != format.majortype || type.subtype != format.subtype ||
      type.formattype != format.formattype) {
    return false;
  }
  // The very type the pin handed out matches even when its block is odd (short, padded).
  if (format.formatBlockMissing) return !type.pbFormat && type.cbFormat == DeclaredSize(format);
  if (DeclaredSize(format) <= kMaxFormatBlockSize) {
    std::vector<BYTE> offered = FormatBlock(format);
    offered.resize(DeclaredSize(format), 0);
    if (type.pbFormat && type.cbFormat == offered.size() &&
        std::memcmp(type.pbFormat, offered.data(), offered.size()) == 0) {
      return true;
    }
  }
  // A type the caller filled in itself matches on what defines the picture.
  const std::size_t offset = HeaderOffset(format.formattype);
  if (!type.pbFormat || type.cbFormat < offset + sizeof(BITMAPINFOHEADER)) return false;
  REFERENCE_TIME frameTime = 0;
  std::memcpy(&frameTime, type.pbFormat + offsetof(VIDEOINFOHEADER, AvgTimePerFrame),
              sizeof(frameTime));
  BITMAPINFOHEADER header{};
  std::memcpy(&header, type.pbFormat + offset, sizeof(header));
  return header.biWidth == format.width && header.biHeight == format.height &&
         frameTime == format.avgTimePerFrame && header.biBitCount == format.bitCount &&
         header.biCompression == format.compression;
}

}  // namespace korvane::sim

namespace korvane::sim {

void DeleteSimMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return;
  CoTaskMemFree(type->pbFormat);
  if (type->pUnk) type->pUnk->Release();
  CoTaskMemFree(type);
}

}  // namespace korvane::sim
