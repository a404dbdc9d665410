#include "platform/v4l2/V4l2Formats.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <numeric>
#include <optional>

namespace korvane::v4l2 {
namespace {

// A camera with stepwise sizes and continuous intervals must still give a list a person can
// pick from; this caps what a driver's odd answer can make of it.
constexpr std::size_t kMaxFormats = 2000;

struct PixelFormatInfo {
  std::uint32_t pixelFormat;
  GUID subtype;
  WORD bitCount;
  DWORD compression;
  bool bottomUp;  // RGB bitmaps are stored bottom-up unless the height is negative
};

const PixelFormatInfo kPixelFormats[] = {
    {V4L2_PIX_FMT_YUYV, MEDIASUBTYPE_YUY2, 16, MakeFourCC('Y', 'U', 'Y', '2'), false},
    {V4L2_PIX_FMT_UYVY, FourCCSubtype(MakeFourCC('U', 'Y', 'V', 'Y')), 16,
     MakeFourCC('U', 'Y', 'V', 'Y'), false},
    {V4L2_PIX_FMT_NV12, MEDIASUBTYPE_NV12, 12, MakeFourCC('N', 'V', '1', '2'), false},
    {V4L2_PIX_FMT_YUV420, FourCCSubtype(MakeFourCC('I', '4', '2', '0')), 12,
     MakeFourCC('I', '4', '2', '0'), false},
    {V4L2_PIX_FMT_YVU420, FourCCSubtype(MakeFourCC('Y', 'V', '1', '2')), 12,
     MakeFourCC('Y', 'V', '1', '2'), false},
    {V4L2_PIX_FMT_GREY, FourCCSubtype(MakeFourCC('Y', '8', '0', '0')), 8,
     MakeFourCC('Y', '8', '0', '0'), false},
    {V4L2_PIX_FMT_BGR24, MEDIASUBTYPE_RGB24, 24, BI_RGB, true},
    // Compressed pictures have no bit depth of their own; 24 is what a decoder makes of them,
    // and keeps an MJPG format apart from the YUYV format of the same size and rate.
    {V4L2_PIX_FMT_MJPEG, MEDIASUBTYPE_MJPG, 24, MakeFourCC('M', 'J', 'P', 'G'), false},
    {V4L2_PIX_FMT_JPEG, MEDIASUBTYPE_MJPG, 24, MakeFourCC('M', 'J', 'P', 'G'), false},
    {V4L2_PIX_FMT_H264, FourCCSubtype(MakeFourCC('H', '2', '6', '4')), 24,
     MakeFourCC('H', '2', '6', '4'), false},
};

const PixelFormatInfo* InfoOf(std::uint32_t pixelFormat) {
  const auto found =
      std::find_if(std::begin(kPixelFormats), std::end(kPixelFormats),
                   [&](const auto& info) { return info.pixelFormat == pixelFormat; });
  return found == std::end(kPixelFormats) ? nullptr : found;
}

bool Compressed(const PixelFormatInfo& info) {
  return info.subtype == MEDIASUBTYPE_MJPG || info.pixelFormat == V4L2_PIX_FMT_H264;
}

ULONG ImageSize(const PixelFormatInfo& info, std::uint32_t width, std::uint32_t height) {
  const unsigned long long bytes =
      static_cast<unsigned long long>(width) * height * info.bitCount / 8;
  return static_cast<ULONG>(std::min<unsigned long long>(bytes, 0xFFFFFFFFull));
}

struct Size {
  std::uint32_t width, height;
};

// Sizes people pick, offered where a stepwise or continuous range allows them.
constexpr Size kCommonSizes[] = {
    {160, 120},  {176, 144},  {320, 180},  {320, 240},   {352, 288},   {424, 240},  {640, 360},
    {640, 480},  {800, 448},  {800, 600},  {848, 480},   {960, 540},   {1024, 576}, {1024, 768},
    {1280, 720}, {1280, 960}, {1600, 896}, {1920, 1080}, {2560, 1440}, {3840, 2160}};
constexpr std::uint32_t kCommonRates[] = {120, 60, 50, 30, 25, 24, 20, 15, 10, 5, 1};

bool OnStep(std::uint32_t value, std::uint32_t min, std::uint32_t max, std::uint32_t step) {
  return value >= min && value <= max && (step == 0 || (value - min) % step == 0);
}

std::vector<Size> ExpandSizes(const v4l2_frmsize_stepwise& range, bool continuous) {
  const std::uint32_t stepWidth = continuous ? 1 : range.step_width;
  const std::uint32_t stepHeight = continuous ? 1 : range.step_height;
  std::vector<Size> sizes{{range.min_width, range.min_height}};
  for (const Size& size : kCommonSizes) {
    if (OnStep(size.width, range.min_width, range.max_width, stepWidth) &&
        OnStep(size.height, range.min_height, range.max_height, stepHeight)) {
      sizes.push_back(size);
    }
  }
  sizes.push_back({range.max_width, range.max_height});
  const auto same = [](const Size& a, const Size& b) {
    return a.width == b.width && a.height == b.height;
  };
  std::vector<Size> unique;
  for (const Size& size : sizes) {
    if (std::none_of(unique.begin(), unique.end(), [&](const Size& s) { return same(s, size); }))
      unique.push_back(size);
  }
  return unique;
}

// a/b compared with c/d without overflow for 32-bit parts.
int Compare(std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t d) {
  const std::uint64_t left = a * d, right = c * b;
  return left < right ? -1 : (left > right ? 1 : 0);
}

std::vector<v4l2_fract> ExpandIntervals(const v4l2_frmival_stepwise& range, bool continuous) {
  std::vector<v4l2_fract> intervals{range.min};
  for (const std::uint32_t rate : kCommonRates) {
    // 1/rate within [min, max] and, for a stepwise range, min + k * step.
    if (range.min.denominator == 0 || range.max.denominator == 0) break;
    if (Compare(1, rate, range.min.numerator, range.min.denominator) < 0 ||
        Compare(1, rate, range.max.numerator, range.max.denominator) > 0) {
      continue;
    }
    if (!continuous && range.step.numerator != 0 && range.step.denominator != 0) {
      // (1/rate - n/d) / (sn/sd) = (d - rate*n) * sd / (rate * d * sn) must be whole.
      const std::uint64_t n = range.min.numerator, d = range.min.denominator;
      const std::uint64_t top = (d - rate * n) * range.step.denominator;
      const std::uint64_t bottom = std::uint64_t{rate} * d * range.step.numerator;
      if (bottom == 0 || top % bottom != 0) continue;
    }
    intervals.push_back({1, rate});
  }
  intervals.push_back(range.max);
  std::vector<v4l2_fract> unique;
  for (const v4l2_fract& interval : intervals) {
    if (interval.denominator == 0) continue;
    if (std::none_of(unique.begin(), unique.end(), [&](const v4l2_fract& f) {
          return Compare(f.numerator, f.denominator, interval.numerator, interval.denominator) == 0;
        })) {
      unique.push_back(interval);
    }
  }
  return unique;
}

std::vector<v4l2_fract> Intervals(V4l2Device& device, std::uint32_t pixelFormat, Size size) {
  std::vector<v4l2_fract> intervals;
  for (std::uint32_t index = 0; intervals.size() < kMaxFormats; ++index) {
    v4l2_frmivalenum interval{};
    interval.index = index;
    interval.pixel_format = pixelFormat;
    interval.width = size.width;
    interval.height = size.height;
    if (device.Ioctl(VIDIOC_ENUM_FRAMEINTERVALS, &interval) != 0) break;
    if (interval.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
      intervals.push_back(interval.discrete);
      continue;
    }
    const auto expanded =
        ExpandIntervals(interval.stepwise, interval.type == V4L2_FRMIVAL_TYPE_CONTINUOUS);
    intervals.insert(intervals.end(), expanded.begin(), expanded.end());
    break;  // a range is the only answer, at index 0
  }
  return intervals;
}

std::vector<Size> Sizes(V4l2Device& device, std::uint32_t pixelFormat) {
  std::vector<Size> sizes;
  for (std::uint32_t index = 0; sizes.size() < kMaxFormats; ++index) {
    v4l2_frmsizeenum size{};
    size.index = index;
    size.pixel_format = pixelFormat;
    if (device.Ioctl(VIDIOC_ENUM_FRAMESIZES, &size) != 0) break;
    if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
      sizes.push_back({size.discrete.width, size.discrete.height});
      continue;
    }
    const auto expanded = ExpandSizes(size.stepwise, size.type == V4L2_FRMSIZE_TYPE_CONTINUOUS);
    sizes.insert(sizes.end(), expanded.begin(), expanded.end());
    break;
  }
  return sizes;
}

}  // namespace

HRESULT EnumerateFormats(V4l2Device& device, std::vector<V4l2Format>* formats) {
  formats->clear();
  const HRESULT opened = device.EnsureOpen();
  if (FAILED(opened)) return opened;
  for (std::uint32_t index = 0; formats->size() < kMaxFormats; ++index) {
    v4l2_fmtdesc description{};
    description.index = index;
    description.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    const int error = device.Ioctl(VIDIOC_ENUM_FMT, &description);
    if (error == EINVAL) break;  // the end of the list
    if (error != 0) return index == 0 ? ResultFromErrno(error, CallKind::Other) : S_OK;
    if (!IsDescribable(description.pixelformat)) continue;
    for (const Size& size : Sizes(device, description.pixelformat)) {
      const auto intervals = Intervals(device, description.pixelformat, size);
      if (intervals.empty()) {
        formats->push_back({description.pixelformat, size.width, size.height, 0, 0});
      }
      for (const v4l2_fract& interval : intervals) {
        if (formats->size() >= kMaxFormats) break;
        formats->push_back({description.pixelformat, size.width, size.height, interval.numerator,
                            interval.denominator});
      }
    }
  }
  return S_OK;
}

HRESULT CurrentFormat(V4l2Device& device, V4l2Format* format) {
  v4l2_format current{};
  current.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  HRESULT result = device.Call(VIDIOC_G_FMT, &current, CallKind::Other);
  if (FAILED(result)) return result;
  *format =
      V4l2Format{current.fmt.pix.pixelformat, current.fmt.pix.width, current.fmt.pix.height, 0, 0};
  v4l2_streamparm parameters{};
  parameters.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  // A driver without frame-rate control has a format all the same.
  if (device.Ioctl(VIDIOC_G_PARM, &parameters) == 0 &&
      parameters.parm.capture.timeperframe.denominator != 0) {
    format->intervalNumerator = parameters.parm.capture.timeperframe.numerator;
    format->intervalDenominator = parameters.parm.capture.timeperframe.denominator;
  }
  return S_OK;
}

HRESULT ApplyFormat(const Door& door, int fd, const V4l2Format& format) {
  v4l2_format wanted{};
  wanted.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  wanted.fmt.pix.pixelformat = format.pixelFormat;
  wanted.fmt.pix.width = format.width;
  wanted.fmt.pix.height = format.height;
  wanted.fmt.pix.field = V4L2_FIELD_ANY;
  if (const int error = door.Ioctl(fd, VIDIOC_S_FMT, &wanted); error != 0) {
    return ResultFromErrno(error, CallKind::Other);
  }
  if (format.intervalDenominator == 0) return S_OK;
  v4l2_streamparm parameters{};
  parameters.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  parameters.parm.capture.timeperframe = {format.intervalNumerator, format.intervalDenominator};
  const int error = door.Ioctl(fd, VIDIOC_S_PARM, &parameters);
  return error == 0 ? S_OK : ResultFromErrno(error, CallKind::Other);
}

bool IsDescribable(std::uint32_t pixelFormat) {
  return InfoOf(pixelFormat) != nullptr;
}

REFERENCE_TIME AverageTimePerFrame(const V4l2Format& format) {
  if (format.intervalDenominator == 0) return 0;
  const unsigned long long numerator = 10'000'000ull * format.intervalNumerator;
  return static_cast<REFERENCE_TIME>(numerator / format.intervalDenominator);
}

AM_MEDIA_TYPE* CreateMediaType(const V4l2Format& format) {
  const PixelFormatInfo* info = InfoOf(format.pixelFormat);
  if (!info) return nullptr;
  const LONG width = static_cast<LONG>(std::min<std::uint32_t>(format.width, 0x7FFFFFFF));
  const LONG height = static_cast<LONG>(std::min<std::uint32_t>(format.height, 0x7FFFFFFF));
  const ULONG imageSize = ImageSize(*info, format.width, format.height);
  VIDEOINFOHEADER header{};
  header.rcSource = RECT{0, 0, width, height};
  header.rcTarget = header.rcSource;
  header.AvgTimePerFrame = AverageTimePerFrame(format);
  if (header.AvgTimePerFrame > 0) {
    const long long bitsPerSecond =
        static_cast<long long>(imageSize) * 8 * 10'000'000 / header.AvgTimePerFrame;
    header.dwBitRate = static_cast<DWORD>(std::min<long long>(bitsPerSecond, 0xFFFFFFFFll));
  }
  header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  header.bmiHeader.biWidth = width;
  // Rows arrive top first; an RGB bitmap says so with a negative height.
  header.bmiHeader.biHeight = info->bottomUp ? -height : height;
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = info->bitCount;
  header.bmiHeader.biCompression = info->compression;
  header.bmiHeader.biSizeImage = imageSize;

  AM_MEDIA_TYPE type{};
  type.majortype = MEDIATYPE_Video;
  type.subtype = info->subtype;
  type.bFixedSizeSamples = Compressed(*info) ? FALSE : TRUE;
  type.bTemporalCompression = FALSE;
  type.lSampleSize = Compressed(*info) ? 0 : imageSize;
  type.formattype = FORMAT_VideoInfo;
  type.cbFormat = sizeof(VIDEOINFOHEADER);
  type.pbFormat = reinterpret_cast<BYTE*>(&header);
  return com::CreateMediaType(type);
}

const V4l2Format* FindFormat(const std::vector<V4l2Format>& formats, const AM_MEDIA_TYPE& type) {
  if (type.formattype != FORMAT_VideoInfo || !type.pbFormat ||
      type.cbFormat < sizeof(VIDEOINFOHEADER)) {
    return nullptr;
  }
  VIDEOINFOHEADER header;
  std::memcpy(&header, type.pbFormat, sizeof(header));
  for (const V4l2Format& format : formats) {
    const PixelFormatInfo* info = InfoOf(format.pixelFormat);
    const LONG height = static_cast<LONG>(format.height);
    if (info && type.subtype == info->subtype &&
        header.bmiHeader.biWidth == static_cast<LONG>(format.width) &&
        header.bmiHeader.biHeight == (info->bottomUp ? -height : height) &&
        header.bmiHeader.biBitCount == info->bitCount &&
        header.bmiHeader.biCompression == info->compression &&
        header.AvgTimePerFrame == AverageTimePerFrame(format)) {
      return &format;
    }
  }
  return nullptr;
}

}  // namespace korvane::v4l2
