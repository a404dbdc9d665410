#include "platform/v4l2/emulation/UvcFormats.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>

namespace korvane::v4l2::emulation {
namespace {

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

Fraction DefaultInterval(const IntervalSet& intervals) {
  return intervals.range ? intervals.minimum : intervals.discrete.front();
}

// A fraction in lowest terms; false when it does not fit the kernel's 32-bit fields.
bool Reduce(std::uint64_t numerator, std::uint64_t denominator, Fraction* fraction) {
  const std::uint64_t divisor = std::gcd(numerator, denominator);
  numerator /= divisor;
  denominator /= divisor;
  if (numerator > std::numeric_limits<std::uint32_t>::max() ||
      denominator > std::numeric_limits<std::uint32_t>::max()) {
    return false;
  }
  *fraction = {static_cast<std::uint32_t>(numerator), static_cast<std::uint32_t>(denominator)};
  return true;
}

// The interval k steps above a range's minimum: exact where it fits, else in units of 100 ns.
Fraction StepAbove(const IntervalSet& intervals, std::uint64_t k) {
  const std::uint64_t a = intervals.minimum.numerator, b = intervals.minimum.denominator;
  const std::uint64_t c = intervals.step.numerator, d = intervals.step.denominator;
  std::uint64_t kc = 0, stepped = 0, numerator = 0;
  Fraction exact;
  if (!__builtin_mul_overflow(k, c, &kc) && !__builtin_mul_overflow(kc, b, &stepped) &&
      !__builtin_add_overflow(a * d, stepped, &numerator) && Reduce(numerator, b * d, &exact)) {
    return exact;
  }
  const double seconds =
      IntervalSeconds(intervals.minimum) + static_cast<double>(k) * IntervalSeconds(intervals.step);
  Fraction rounded;
  Reduce(static_cast<std::uint64_t>(std::llround(seconds * 1e7)), 10'000'000, &rounded);
  return rounded;
}

// How many steps above the minimum a time is, as a real number.
double StepsAbove(const IntervalSet& intervals, double seconds) {
  return (seconds - IntervalSeconds(intervals.minimum)) / IntervalSeconds(intervals.step);
}

Fraction NearestInterval(const IntervalSet& intervals, double wanted, const Fraction& asked) {
  if (intervals.range) {
    if (wanted <= IntervalSeconds(intervals.minimum)) return intervals.minimum;
    if (wanted >= IntervalSeconds(intervals.maximum)) return intervals.maximum;
    Fraction exact = asked;
    if (intervals.continuous && Reduce(asked.numerator, asked.denominator, &exact)) return exact;
    const auto last = static_cast<std::uint64_t>(
        std::floor(StepsAbove(intervals, IntervalSeconds(intervals.maximum)) + 1e-9));
    return StepAbove(
        intervals,
        std::min(last, static_cast<std::uint64_t>(std::llround(StepsAbove(intervals, wanted)))));
  }
  Fraction best = intervals.discrete.front();
  double bestDistance = std::numeric_limits<double>::infinity();
  for (const Fraction& candidate : intervals.discrete) {
    const double distance = std::abs(IntervalSeconds(candidate) - wanted);
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

double IntervalSeconds(const Fraction& interval) {
  if (interval.denominator == 0) return std::numeric_limits<double>::infinity();
  return static_cast<double>(interval.numerator) / interval.denominator;
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
  const double seconds = IntervalSeconds(interval);
  constexpr double kSlack = 1e-9;
  if (seconds < IntervalSeconds(intervals.minimum) - kSlack ||
      seconds > IntervalSeconds(intervals.maximum) + kSlack) {
    return false;
  }
  const double steps = StepsAbove(intervals, seconds);
  return intervals.continuous || std::abs(steps - std::round(steps)) < 1e-6;
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
  // A time per frame without a denominator is read as the longest the driver can hold.
  const Fraction asked{requested.numerator, requested.denominator};
  const double longest = std::numeric_limits<std::uint32_t>::max() / 1e7;
  const double wanted = requested.denominator == 0 ? longest : IntervalSeconds(asked);
  chosen.interval = NearestInterval(*intervals, wanted, asked);
  return chosen;
}

}  // namespace korvane::v4l2::emulation
