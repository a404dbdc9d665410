#pragma once
// The UVC driver's formats: enumeration of pixel formats, frame sizes and frame intervals as
// the camera's descriptors list them, and the nearest offered format and frame rate for what a
// caller asks, the way the driver negotiates them with the camera.

#include <linux/videodev2.h>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/v4l2/emulation/Description.h"

namespace korvane::v4l2::emulation {

struct PixelFormatInfo {
  std::uint32_t fourcc;
  std::string_view description;  // as ENUM_FMT reports it
  bool compressed;
  std::uint32_t bitsPerPixel;  // of the picture in memory; compressed ones get 16
  std::uint32_t lineBitsPerPixel;
};
// nullptr for a pixel format the emulation does not know.
const PixelFormatInfo* FindPixelFormat(std::uint32_t fourcc);

// An interval in seconds (infinite for a zero denominator).
double IntervalSeconds(const Fraction& interval);

// The intervals offered for a size of a format; nullptr when the format has no such size.
const IntervalSet* IntervalsFor(const std::vector<FormatDescription>& formats, std::uint32_t fourcc,
                                std::uint32_t width, std::uint32_t height);
bool IntervalOffered(const IntervalSet& intervals, const Fraction& interval);

class UvcFormats {
 public:
  // Both outlive this object; current is the device's format, changed by Store.
  UvcFormats(const std::vector<FormatDescription>& formats, CurrentFormat& current);

  // Each returns 0 or the errno of the ioctl.
  int Enumerate(v4l2_fmtdesc& format) const;
  int EnumerateSizes(v4l2_frmsizeenum& size) const;
  int EnumerateIntervals(v4l2_frmivalenum& interval) const;

  void Fill(const CurrentFormat& format, v4l2_pix_format& pix) const;
  // The offered format nearest to the request, at that size's default interval.
  CurrentFormat Nearest(const v4l2_pix_format& requested) const;
  // The current format at the offered interval nearest to the request.
  CurrentFormat WithInterval(const v4l2_fract& requested) const;

  const CurrentFormat& Current() const { return current_; }
  void Store(const CurrentFormat& format) { current_ = format; }

 private:
  const FormatDescription* Find(std::uint32_t fourcc) const;

  const std::vector<FormatDescription>& formats_;
  CurrentFormat& current_;
};

}  // namespace korvane::v4l2::emulation
