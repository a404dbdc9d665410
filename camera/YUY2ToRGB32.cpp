// The YUY2 conversion by its tables, the choice of the fastest path this processor runs, and
// the conversion of whole frames.

#include "camera/YUY2ToRGB32.h"

#include <algorithm>
#include <vector>

namespace korvane::camera {
namespace {

constexpr DWORD Clamped(std::int32_t Value) {
  return static_cast<DWORD>(std::clamp(Value, 0, 255));
}

constexpr DWORD PixelOf(std::int32_t Y, BYTE U, BYTE V) {
  return 0xFF000000u | Clamped(Y + kRedFromV[V]) << 16 |
         Clamped(Y + kGreenFromV[V] + kGreenFromU[U]) << 8 | Clamped(Y + kBlueFromU[U]);
}

std::vector<TYUY2Path> DetectPaths() {
  std::vector<TYUY2Path> Paths{{"tables", ConvertYUY2RunByTables}};
#ifdef KORVANE_YUY2_X86
  Paths.push_back({"sse2", ConvertYUY2RunSse2});
  if (__builtin_cpu_supports("avx2")) Paths.push_back({"avx2", ConvertYUY2RunAvx2});
#endif
  return Paths;
}

}  // namespace

void ConvertYUY2RunByTables(const BYTE* Source, std::size_t First, std::size_t Count,
                            DWORD* Destination) {
  for (std::size_t Pixel = First; Pixel < First + Count; ++Pixel) {
    // The group of pixels 2i and 2i + 1: Y0, U, Y1, V.
    const BYTE* Group = Source + 2 * (Pixel & ~std::size_t{1});
    *Destination++ = PixelOf(Source[2 * Pixel], Group[1], Group[3]);
  }
}

std::span<const TYUY2Path> AvailableYUY2Paths() {
  static const std::vector<TYUY2Path> Paths = DetectPaths();
  return Paths;
}

std::size_t YUY2SourceSize(LONG Width, LONG Height) {
  if (Width <= 0 || Height <= 0) return 0;
  const std::size_t Pixels = static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height);
  return 4 * ((Pixels + 1) / 2);
}

void ConvertYUY2Rows(const BYTE* Source, LONG Width, LONG Height, BYTE* Destination,
                     std::ptrdiff_t DestinationStride) {
  if (Width <= 0 || Height <= 0) return;
  const TYUY2RunConverter Convert = AvailableYUY2Paths().back().Convert;
  const auto RowPixels = static_cast<std::size_t>(Width);
  for (LONG Row = 0; Row < Height; ++Row) {
    Convert(Source, Row * RowPixels, RowPixels,
            reinterpret_cast<DWORD*>(Destination + Row * DestinationStride));
  }
}

}  // namespace korvane::camera

void YUY2ToRGB32(const BYTE* Source, LONG Width, LONG Height, DWORD* Destination) {
  if (Width <= 0 || Height <= 0) return;
  const std::ptrdiff_t Stride = static_cast<std::ptrdiff_t>(Width) * 4;
  korvane::camera::ConvertYUY2Rows(
      Source, Width, Height, reinterpret_cast<BYTE*>(Destination) + (Height - 1) * Stride, -Stride);
}
