#include "platform/graph/PictureConversion.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvane::graph {
namespace {

BYTE Clamp(int value) {
  return static_cast<BYTE>(std::clamp(value, 0, 255));
}

// YUY2 to 32-bit pixels from studio-range YCbCr, in fixed point with six fraction bits so that
// eight pixels fit the 16-bit lanes of one vector register: R = 1.164 (Y - 16) + 1.596 (V - 128),
// G = 1.164 (Y - 16) - 0.391 (U - 128) - 0.813 (V - 128), B = 1.164 (Y - 16) + 2.018 (U - 128).
// The window takes a picture for every repaint, so this runs on every pixel of every frame shown.
constexpr int kLuma = 75, kRedV = 102, kGreenU = 25, kGreenV = 52, kBlueU = 129, kRound = 32;

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

void Yuy2RowToBgra(const BYTE* source, BYTE* target, std::size_t pairs) {
  std::size_t pair = 0;
#if defined(__SSE2__)
  // Four pairs at a time. Sums beyond the 16-bit range saturate, which clamps them as well.
  const __m128i lowBytes = _mm_set1_epi16(0x00FF);
  const __m128i black = _mm_set1_epi16(16), middle = _mm_set1_epi16(128);
  const __m128i round = _mm_set1_epi16(kRound), opaque = _mm_set1_epi8(-1);
  for (; pair + 4 <= pairs; pair += 4) {
    const __m128i packed = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 4 * pair));
    const __m128i y = _mm_and_si128(packed, lowBytes);
    const __m128i uv = _mm_sub_epi16(_mm_srli_epi16(packed, 8), middle);  // U0 V0 U1 V1 ...
    // Each pair's U and V for both of its pixels.
    const __m128i u = _mm_shufflehi_epi16(_mm_shufflelo_epi16(uv, 0xA0), 0xA0);
    const __m128i v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(uv, 0xF5), 0xF5);
    const __m128i luma =
        _mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(y, black), _mm_set1_epi16(kLuma)), round);
    const __m128i blue =
        _mm_srai_epi16(_mm_adds_epi16(luma, _mm_mullo_epi16(u, _mm_set1_epi16(kBlueU))), 6);
    const __m128i green = _mm_srai_epi16(
        _mm_subs_epi16(_mm_subs_epi16(luma, _mm_mullo_epi16(u, _mm_set1_epi16(kGreenU))),
                       _mm_mullo_epi16(v, _mm_set1_epi16(kGreenV))),
        6);
    const __m128i red =
        _mm_srai_epi16(_mm_adds_epi16(luma, _mm_mullo_epi16(v, _mm_set1_epi16(kRedV))), 6);
    const __m128i blueGreen =
        _mm_unpacklo_epi8(_mm_packus_epi16(blue, blue), _mm_packus_epi16(green, green));
    const __m128i redAlpha = _mm_unpacklo_epi8(_mm_packus_epi16(red, red), opaque);
    BYTE* out = target + 8 * pair;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(blueGreen, redAlpha));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpackhi_epi16(blueGreen, redAlpha));
  }
#endif
  for (; pair < pairs; ++pair) Yuy2PairToBgra(source + 4 * pair, target + 8 * pair);
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
      Yuy2RowToBgra(data + row * width * 2, out + (height - 1 - row) * outStride, width / 2);
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
