// The renderer's vector conversions of YUY2 against its equations in plain integers, over
// every (Y, U, V) triple: the vectors saturate 16-bit sums and shuffle lanes, and neither may
// change a pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "platform/graph/Yuy2Rows.h"

namespace korvane::graph {
namespace {

using PairConverter = std::size_t (*)(const BYTE*, BYTE*, std::size_t);

BYTE Channel(int value) {
  return static_cast<BYTE>(std::clamp((value + 32) >> 6, 0, 255));
}

// Blue, green, red, opaque: R = 1.164 (Y - 16) + 1.596 (V - 128) and so on, six fraction bits.
std::uint32_t Expected(int y, int u, int v) {
  const int luma = (y - 16) * 75;
  u -= 128;
  v -= 128;
  return 0xFF000000u | std::uint32_t{Channel(luma + 102 * v)} << 16 |
         std::uint32_t{Channel(luma - 25 * u - 52 * v)} << 8 | Channel(luma + 129 * u);
}

struct Path {
  const char* name;
  PairConverter convert;
  bool available;
  friend void PrintTo(const Path& path, std::ostream* out) { *out << path.name; }
};

class Yuy2Rows : public ::testing::TestWithParam<Path> {};

TEST_P(Yuy2Rows, EveryTripleGivesThePixelOfTheEquations) {
  if (!GetParam().available) GTEST_SKIP() << "this processor lacks " << GetParam().name;
  // One row per (U, V): 256 pairs, the first pixel of pair i with Y = i, the second with
  // Y = 255 - i, so both positions of a pair see every Y. 257 pairs leave one over for the
  // caller, as a row whose width is no multiple of the vector does.
  constexpr std::size_t kPairs = 257;
  std::vector<BYTE> row(4 * kPairs);
  std::vector<std::uint32_t> pixels(2 * kPairs);
  for (int u = 0; u < 256; ++u) {
    for (int v = 0; v < 256; ++v) {
      for (std::size_t i = 0; i < kPairs; ++i) {
        const auto y = static_cast<BYTE>(i);
        row[4 * i] = y;
        row[4 * i + 1] = static_cast<BYTE>(u);
        row[4 * i + 2] = static_cast<BYTE>(255 - y);
        row[4 * i + 3] = static_cast<BYTE>(v);
      }
      std::fill(pixels.begin(), pixels.end(), 0u);
      const std::size_t done =
          GetParam().convert(row.data(), reinterpret_cast<BYTE*>(pixels.data()), kPairs);
      ASSERT_GE(done, kPairs - 16);
      ASSERT_LT(done, kPairs);
      for (std::size_t i = 0; i < done; ++i) {
        const int y = static_cast<BYTE>(i);
        ASSERT_EQ(pixels[2 * i], Expected(y, u, v)) << "Y " << y << " U " << u << " V " << v;
        ASSERT_EQ(pixels[2 * i + 1], Expected(255 - y, u, v))
            << "Y " << 255 - y << " U " << u << " V " << v;
      }
      ASSERT_EQ(pixels[2 * done], 0u) << "wrote past the pairs it reported";
    }
  }
}

#ifdef KORVANE_GRAPH_YUY2_X86
INSTANTIATE_TEST_SUITE_P(Vectors, Yuy2Rows,
                         ::testing::Values(Path{"sse2", Yuy2PairsToBgraSse2, true},
                                           Path{"avx2", Yuy2PairsToBgraAvx2,
                                                __builtin_cpu_supports("avx2") != 0}),
                         [](const auto& test) { return std::string(test.param.name); });
#endif

}  // namespace
}  // namespace korvane::graph
