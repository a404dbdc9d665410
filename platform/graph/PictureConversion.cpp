#include "platform/graph/PictureConversion.h"

#include <algorithm>
#include <cstring>

namespace korvane::graph {
namespace {

BYTE Clamp(int value) {
  return static_cast<BYTE>(std::clamp(value, 0, 255));
}

// One pixel from studio-range YCbCr, in fixed point with eight fraction bits.
void YuvToBgra(int y, int u, int v, BYTE* out) {
  const int c = 298 * (y - 16) + 128;
  const int d = u - 128;
  const int e = v - 128;
  out[0] = Clamp((c + 516 * d) >> 8);
  out[1] = Clamp((c - 100 * d - 208 * e) >> 8);
  out[2] = Clamp((c + 409 * e) >> 8);
  out[3] = 255;
}

}  // namespace

Yuv RgbToYuv(BYTE red, BYTE green, BYTE blue) {
  const int r = red, g = green, b = blue;
  return Yuv{Clamp(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16),
             Clamp(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128),
             Clamp(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128)};
}

bool ToBottomUpRgb32(const GUID& subtype, const VideoPicture& picture, const BYTE* data,
                     std::size_t length, BYTE* out) {
  const auto bytes = PictureBytes(subtype, picture.Width(), picture.header.biHeight);
  if (!bytes || !data || !out || length < *bytes) return false;
  const auto width = static_cast<std::size_t>(picture.Width());
  const auto height = static_cast<std::size_t>(picture.Height());
  const std::size_t outStride = width * 4;
  if (subtype == MEDIASUBTYPE_YUY2) {
    // Packed YUV pictures are stored top row first whatever the sign of their height.
    for (std::size_t row = 0; row < height; ++row) {
      const BYTE* source = data + row * width * 2;
      BYTE* target = out + (height - 1 - row) * outStride;
      for (std::size_t x = 0; x < width; x += 2, source += 4, target += 8) {
        YuvToBgra(source[0], source[1], source[3], target);
        YuvToBgra(source[2], source[1], source[3], target + 4);
      }
    }
    return true;
  }
  const std::size_t pixelBytes = subtype == MEDIASUBTYPE_RGB24 ? 3 : 4;
  const std::size_t stride = DibStride(picture.Width(), static_cast<WORD>(pixelBytes * 8));
  for (std::size_t row = 0; row < height; ++row) {
    // Row `row` of the output counts from the bottom, as the input does when it is bottom-up.
    const std::size_t sourceRow = picture.BottomUp() ? row : height - 1 - row;
    const BYTE* source = data + sourceRow * stride;
    BYTE* target = out + row * outStride;
    if (pixelBytes == 4) {
      std::memcpy(target, source, outStride);
      for (std::size_t x = 0; x < width; ++x) target[4 * x + 3] = 255;
    } else {
      for (std::size_t x = 0; x < width; ++x, source += 3, target += 4) {
        target[0] = source[0];
        target[1] = source[1];
        target[2] = source[2];
        target[3] = 255;
      }
    }
  }
  return true;
}

}  // namespace korvane::graph
