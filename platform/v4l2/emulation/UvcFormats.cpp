#include "platform/v4l2/emulation/UvcFormats.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <numeric>

namespace korvane::v4l2::emulation {
namespace {

constexpr std::uint64_t kUnitsPerSecond = 10'000'000;

constexpr PixelFormatInfo kPixelFormats[] = {
    {V4L2_PIX_FMT_YUYV, "YUYV 4:2:2", false, 16, 16},
    {V4L2_PIX_FMT_UYVY, "UYVY 4:2:2", false, 16, 16},
    {V4L2_PIX_FMT_NV12, "Y/UV 4:2:0", false, 12, 8},
    {V4L2_PIX_FMT_YUV420, "Planar YUV 4:2:0", false, 12, 8},
    {V4L2_PIX_FMT_GREY, "8-bit Greyscale", false, 8, 8},
    {V4L2_PIX_FMT_RGB24, "24-bit RGB 8-8-8", false, 24, 24},
    {V4L2_PIX_FMT_BGR24, "24-bit BGR 8-8-8", false, 24, 24},
    {V4L2_PIX_FMT_MJPEG, "Motion-JPEG", true, 16, 0},
    {V4L2_PIX_FMT_H264, "H.264", true, 16, 0},
};

bool OnStep(std::uint32_t value, std::uint32_t minimum, std::uint32_t maximum, std::uint32_t step) {
  return value >= minimum && value <= maximum && (value - minimum) % std::max(step, 1u) == 0;
}

std::uint32_t NearestOnStep(std::uint32_t value, std::uint32_t minimum, std::uint32_t maximum,
                            std::uint32_t step) {
  step = std::max(step, 1u);
  const std::uint64_t clamped = std::clamp(value, minimum, maximum);
  const std::uint64_t rounded = minimum + (clamped - minimum + step / 2) / step * step;
  return static_cast<std::uint32_t>(rounded > maximum ? rounded - step : rounded);
}

// A time in units of 100 ns as the driver reports it: whole frame rates as 1/n.
Fraction FromUnits(std::uint64_t units) {
  units = std::max<std::uint64_t>(units, 1);
  const std::uint64_t rate = (kUnitsPerSecond + units / 2) / units;
  if (rate > 0 && (kUnitsPerSecond + rate / 2) / rate == units) {
    return {1, static_cast<std::uint32_t>(rate)};
  }
  const std::uint64_t divisor = std::gcd(units, kUnitsPerSecond);
  return {static_cast<std::uint32_t>(units / divisor),
          static_cast<std::uint32_t>(kUnitsPerSecond / divisor)};
}

Fraction DefaultInterval(const IntervalSet& intervals) {
  return intervals.range ? intervals.minimum : intervals.discrete.front();
}

Fraction NearestInterval(const IntervalSet& intervals, std::uint64_t wanted) {
  if (intervals.range) {
    const std::uint64_t minimum = IntervalUnits(intervals.minimum);
    const std::uint64_t maximum = IntervalUnits(intervals.maximum);
    if (intervals.continuous) return FromUnits(std::clamp(wanted, minimum, maximum));
    const std::uint64_t step = std::max<std::uint64_t>(IntervalUnits(intervals.step), 1);
    const std::uint64_t clamped = std::clamp(wanted, minimum, maximum);
    std::uint64_t rounded = minimum + (clamped - minimum + step / 2) / step * step;
    if (rounded > maximum) rounded -= step;
    return FromUnits(rounded);
  }
  Fraction best = intervals.discrete.front();
  std::uint64_t bestDistance = std::numeric_limits<std::uint64_t>::max();
  for (const Fraction& candidate : intervals.discrete) {
    const std::uint64_t units = IntervalUnits(candidate);
    const std::uint64_t distance = units > wanted ? units - wanted : wanted - units;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = candidate;
    }
  }
  return best;
}

}  // namespace

const PixelFormatInfo* FindPixelFormat(std::uint32_t fourcc) {
  for (const PixelFormatInfo& info : kPixelFormats) {
    if (info.fourcc == fourcc) return &info;
  }
  return nullptr;
}

std::uint64_t IntervalUnits(const Fraction& interval) {
  if (interval.denominator == 0) return std::numeric_limits<std::uint32_t>::max();
  return (static_cast<std::uint64_t>(interval.numerator) * kUnitsPerSecond +
          interval.denominator / 2) /
         interval.denominator;
}

const IntervalSet* IntervalsFor(const std::vector<FormatDescription>& formats, std::uint32_t fourcc,
                                std::uint32_t width, std::uint32_t height) {
  for (const FormatDescription& format : formats) {
    if (format.fourcc != fourcc) continue;
    if (format.range) {
      const SizeRange& r = *format.range;
      const bool offered = OnStep(width, r.minWidth, r.maxWidth, r.stepWidth) &&
                           OnStep(height, r.minHeight, r.maxHeight, r.stepHeight);
      return offered ? &r.intervals : nullptr;
    }
    for (const FrameSize& size : format.sizes) {
      if (size.width == width && size.height == height) return &size.intervals;
    }
    return nullptr;
  }
  return nullptr;
}

bool IntervalOffered(const IntervalSet& intervals, const Fraction& interval) {
  if (!intervals.range) {
    return std::find(intervals.discrete.begin(), intervals.discrete.end(), interval) !=
           intervals.discrete.end();
  }
  const std::uint64_t units = IntervalUnits(interval);
  const std::uint64_t minimum = IntervalUnits(intervals.minimum);
  const std::uint64_t maximum = IntervalUnits(intervals.maximum);
  if (units < minimum || units > maximum) return false;
  return intervals.continuous ||
         (units - minimum) % std::max<std::uint64_t>(IntervalUnits(intervals.step), 1) == 0;
}

UvcFormats::UvcFormats(const std::vector<FormatDescription>& formats, CurrentFormat& current)
    : formats_(formats), current_(current) {}

const FormatDescription* UvcFormats::Find(std::uint32_t fourcc) const {
  for (const FormatDescription& format : formats_) {
    if (format.fourcc == fourcc) return &format;
  }
  return nullptr;
}

int UvcFormats::Enumerate(v4l2_fmtdesc& format) const {
  if (format.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || format.index >= formats_.size()) {
    return EINVAL;
  }
  const std::uint32_t index = format.index;
  const PixelFormatInfo* info = FindPixelFormat(formats_[index].fourcc);
  format = v4l2_fmtdesc{};
  format.index = index;
  format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  format.flags = info && info->compressed ? V4L2_FMT_FLAG_COMPRESSED : 0;
  if (info) {
    std::memcpy(format.description, info->description.data(),
                std::min(info->description.size(), sizeof(format.description) - 1));
  }
  format.pixelformat = formats_[index].fourcc;
  return 0;
}

int UvcFormats::EnumerateSizes(v4l2_frmsizeenum& size) const {
  const FormatDescription* format = Find(size.pixel_format);
  if (!format) return EINVAL;
  const std::uint32_t index = size.index;
  const std::uint32_t fourcc = size.pixel_format;
  if (format->range ? index > 0 : index >= format->sizes.size()) return EINVAL;
  size = v4l2_frmsizeenum{};
  size.index = index;
  size.pixel_format = fourcc;
  if (format->range) {
    const SizeRange& r = *format->range;
    size.type = r.stepWidth == 1 && r.stepHeight == 1 ? V4L2_FRMSIZE_TYPE_CONTINUOUS
                                                      : V4L2_FRMSIZE_TYPE_STEPWISE;
    size.stepwise = {r.minWidth, r.maxWidth, r.stepWidth, r.minHeight, r.maxHeight, r.stepHeight};
  } else {
    size.type = V4L2_FRMSIZE_TYPE_DISCRETE;
    size.discrete = {format->sizes[index].width, format->sizes[index].height};
  }
  return 0;
}

int UvcFormats::EnumerateIntervals(v4l2_frmivalenum& interval) const {
  const IntervalSet* intervals =
      IntervalsFor(formats_, interval.pixel_format, interval.width, interval.height);
  if (!intervals) return EINVAL;
  const std::uint32_t index = interval.index;
  if (intervals->range ? index > 0 : index >= intervals->discrete.size()) return EINVAL;
  const v4l2_frmivalenum asked = interval;
  interval = v4l2_frmivalenum{};
  interval.index = index;
  interval.pixel_format = asked.pixel_format;
  interval.width = asked.width;
  interval.height = asked.height;
  const auto fract = [](const Fraction& f) { return v4l2_fract{f.numerator, f.denominator}; };
  if (intervals->range) {
    interval.type =
        intervals->continuous ? V4L2_FRMIVAL_TYPE_CONTINUOUS : V4L2_FRMIVAL_TYPE_STEPWISE;
    interval.stepwise.min = fract(intervals->minimum);
    interval.stepwise.max = fract(intervals->maximum);
    interval.stepwise.step = intervals->continuous ? v4l2_fract{1, 1} : fract(intervals->step);
  } else {
    interval.type = V4L2_FRMIVAL_TYPE_DISCRETE;
    interval.discrete = fract(intervals->discrete[index]);
  }
  return 0;
}

void UvcFormats::Fill(const CurrentFormat& format, v4l2_pix_format& pix) const {
  const PixelFormatInfo* info = FindPixelFormat(format.fourcc);
  const std::uint32_t bits = info ? info->bitsPerPixel : 16;
  pix = v4l2_pix_format{};
  pix.width = format.width;
  pix.height = format.height;
  pix.pixelformat = format.fourcc;
  pix.field = V4L2_FIELD_NONE;
  pix.bytesperline = info ? format.width * info->lineBitsPerPixel / 8 : format.width * 2;
  pix.sizeimage = format.width * format.height * bits / 8;
  pix.colorspace = V4L2_COLORSPACE_SRGB;
  pix.priv = V4L2_PIX_FMT_PRIV_MAGIC;
}

CurrentFormat UvcFormats::Nearest(const v4l2_pix_format& requested) const {
  const FormatDescription* format = Find(requested.pixelformat);
  if (!format) format = &formats_.front();
  CurrentFormat chosen;
  chosen.fourcc = format->fourcc;
  if (format->range) {
    const SizeRange& r = *format->range;
    chosen.width = NearestOnStep(requested.width, r.minWidth, r.maxWidth, r.stepWidth);
    chosen.height = NearestOnStep(requested.height, r.minHeight, r.maxHeight, r.stepHeight);
    chosen.interval = DefaultInterval(r.intervals);
    return chosen;
  }
  // The distance between two sizes is the area they do not share.
  std::uint64_t best = std::numeric_limits<std::uint64_t>::max();
  for (const FrameSize& size : format->sizes) {
    const std::uint64_t shared = std::uint64_t{std::min(size.width, requested.width)} *
                                 std::min(size.height, requested.height);
    const std::uint64_t distance = std::uint64_t{size.width} * size.height +
                                   std::uint64_t{requested.width} * requested.height - 2 * shared;
    if (distance < best) {
      best = distance;
      chosen.width = size.width;
      chosen.height = size.height;
      chosen.interval = DefaultInterval(size.intervals);
    }
  }
  return chosen;
}

CurrentFormat UvcFormats::WithInterval(const v4l2_fract& requested) const {
  CurrentFormat chosen = current_;
  const IntervalSet* intervals =
      IntervalsFor(formats_, current_.fourcc, current_.width, current_.height);
  if (!intervals) return chosen;
  // A time per frame the driver cannot hold in 32 bits is read as the longest one.
  const std::uint64_t wanted =
      requested.denominator == 0 || requested.numerator / requested.denominator >=
                                        std::numeric_limits<std::uint32_t>::max() / kUnitsPerSecond
          ? std::numeric_limits<std::uint32_t>::max()
          : IntervalUnits({requested.numerator, requested.denominator});
  chosen.interval = NearestInterval(*intervals, wanted);
  return chosen;
}

}  // namespace korvane::v4l2::emulation
