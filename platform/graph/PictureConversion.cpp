#include "platform/graph/PictureConversion.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/graph/Yuy2RowKernel.h"
#include "platform/graph/Yuy2Rows.h"

namespace korvane::graph {
namespace {

BYTE Clamp(int value) {
  return static_cast<BYTE>(std::clamp(value, 0, 255));
}

// YUY2 to 32-bit pixels one pair at a time, by the equations the vectors use, for the pixels
// of a row that do not fill a whole vector and on processors without those vectors.

BYTE Channel(int value) {
  return Clamp((value + kRound) >> 6);
}

void Yuy2PairToBgra(const BYTE* source, BYTE* target) {
  const int u = source[1] - 128, v = source[3] - 128;
  for (int i = 0; i < 2; ++i) {
    const int luma = (source[2 * i] - 16) * kLuma;
    BYTE* out = target + 4 * i;
    out[0] = Channel(luma + kBlueU * u);
    out[1] = Channel(luma - kGreenU * u - kGreenV * v);
    out[2] = Channel(luma + kRedV * v);
    out[3] = 255;
  }
}

using PairConverter = std::size_t (*)(const BYTE* source, BYTE* target, std::size_t pairs);

// The window takes a picture for every repaint, so the widest vectors the processor has are
// worth choosing once.
PairConverter FastestPairConverter() {
#ifdef KORVANE_GRAPH_YUY2_X86
  return __builtin_cpu_supports("avx2") ? Yuy2PairsToBgraAvx2 : Yuy2PairsToBgraSse2;
#else
  return [](const BYTE*, BYTE*, std::size_t) -> std::size_t { return 0; };
#endif
}

void Yuy2RowToBgra(const BYTE* source, BYTE* target, std::size_t pairs) {
  static const PairConverter vectors = FastestPairConverter();
  for (std::size_t pair = vectors(source, target, pairs); pair < pairs; ++pair) {
    Yuy2PairToBgra(source + 4 * pair, target + 8 * pair);
  }
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
  return ToRgb32Rows(subtype, picture, data, length, out,
                     static_cast<std::size_t>(picture.Width()) * 4, true);
}

bool ToRgb32Rows(const GUID& subtype, const VideoPicture& picture, const BYTE* data,
                 std::size_t length, BYTE* out, std::size_t outStride, bool bottomUp) {
  const auto bytes = PictureBytes(subtype, picture.Width(), picture.header.biHeight);
  if (!bytes || !data || !out || length < *bytes) return false;
  const auto width = static_cast<std::size_t>(picture.Width());
  const auto height = static_cast<std::size_t>(picture.Height());
  if (outStride < width * 4) return false;
  // Output row `row`, counted from the top of the picture.
  const auto target = [&](std::size_t row) {
    return out + (bottomUp ? height - 1 - row : row) * outStride;
  };
  if (subtype == MEDIASUBTYPE_YUY2) {
    // Packed YUV pictures are stored top row first whatever the sign of their height.
    for (std::size_t row = 0; row < height; ++row) {
      Yuy2RowToBgra(data + row * width * 2, target(row), width / 2);
    }
    return true;
  }
  const std::size_t pixelBytes = subtype == MEDIASUBTYPE_RGB24 ? 3 : 4;
  const std::size_t stride = DibStride(picture.Width(), static_cast<WORD>(pixelBytes * 8));
  for (std::size_t row = 0; row < height; ++row) {
    const std::size_t sourceRow = picture.BottomUp() ? height - 1 - row : row;
    const BYTE* source = data + sourceRow * stride;
    BYTE* pixels = target(row);
    if (pixelBytes == 4) {
      // Whole pixels made opaque in one pass, which the compiler turns into vector code.
      for (std::size_t x = 0; x < width; ++x) {
        std::uint32_t pixel;
        std::memcpy(&pixel, source + 4 * x, 4);
        pixel |= 0xFF000000u;
        std::memcpy(pixels + 4 * x, &pixel, 4);
      }
    } else {
      for (std::size_t x = 0; x < width; ++x, source += 3, pixels += 4) {
        pixels[0] = source[0];
        pixels[1] = source[1];
        pixels[2] = source[2];
        pixels[3] = 255;
      }
    }
  }
  return true;
}

}  // namespace korvane::graph
