#pragma once
// Colour conversions of the graph: pictures to the 32-bit bitmap a renderer hands out, and the
// studio-range YCbCr of ITU-R BT.601 that YUY2 and NV12 pictures carry.

#include <cstddef>

#include "platform/DirectShow9.h"
#include "platform/graph/MediaType.h"

namespace korvane::graph {

struct Yuv {
  BYTE y, u, v;
};
Yuv RgbToYuv(BYTE red, BYTE green, BYTE blue);

// Writes the picture as bottom-up rows of 32-bit pixels (blue, green, red, 255), width x height
// of them. Takes YUY2 (rows top first) and RGB24 or RGB32 (in the row order the height's sign
// gives). False when the subtype is another or length is too short for the picture.
bool ToBottomUpRgb32(const GUID& subtype, const VideoPicture& picture, const BYTE* data,
                     std::size_t length, BYTE* out);
// The same into rows outStride bytes apart, top row first unless bottomUp: one pass, for a
// picture that is drawn at once.
bool ToRgb32Rows(const GUID& subtype, const VideoPicture& picture, const BYTE* data,
                 std::size_t length, BYTE* out, std::size_t outStride, bool bottomUp);

}  // namespace korvane::graph
