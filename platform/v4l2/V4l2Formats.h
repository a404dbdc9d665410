#pragma once
// The formats of a camera as the platform's media types: one per pixel format, frame size and
// frame interval the driver lists. Only the enumeration calls are used to learn them: probing
// with TRY_FMT costs a USB transfer of tens of milliseconds per probe on a UVC camera.

#include <cstdint>
#include <vector>

#include "platform/DirectShow9.h"
#include "platform/v4l2/V4l2Device.h"

namespace korvane::v4l2 {

struct V4l2Format {
  std::uint32_t pixelFormat = 0;  // the driver's fourcc
  std::uint32_t width = 0, height = 0;
  std::uint32_t intervalNumerator = 0, intervalDenominator = 0;  // 0/0: the driver did not say

  friend bool operator==(const V4l2Format&, const V4l2Format&) = default;
};

// Every format the driver lists, in its order. An error only when the first call fails.
HRESULT EnumerateFormats(V4l2Device& device, std::vector<V4l2Format>* formats);
// The format the device is set to now (G_FMT and G_PARM), which any open file may read.
HRESULT CurrentFormat(V4l2Device& device, V4l2Format* format);
// S_FMT, then S_PARM where the format has an interval, on the descriptor that is about to
// request buffers: the driver gives the stream to the file that sets its format.
HRESULT ApplyFormat(const Door& door, int fd, const V4l2Format& format);

// Whether the platform can describe this pixel format (subtype, bit count, compression).
bool IsDescribable(std::uint32_t pixelFormat);
// The media type of a format in task memory, owned by the caller; nullptr when out of memory.
AM_MEDIA_TYPE* CreateMediaType(const V4l2Format& format);
// The offered format a media type describes (size, frame time, bit count, compression).
const V4l2Format* FindFormat(const std::vector<V4l2Format>& formats, const AM_MEDIA_TYPE& type);
// The frame interval in 100 ns units, truncated as the platform's camera drivers report it:
// 1/15 s is 666666, so that a display that divides ten million by it reads 15.
REFERENCE_TIME AverageTimePerFrame(const V4l2Format& format);

}  // namespace korvane::v4l2
