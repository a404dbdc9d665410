// The YUY2 conversion: its tables, single pixels, the order of rows and the pairing of chroma
// across row ends, and every vectorised path against the tables over all (Y, U, V) triples.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "camera/YUY2ToRGB32.h"

namespace {

using korvane::camera::AvailableYUY2Paths;
using korvane::camera::ConvertYUY2RunByTables;
using korvane::camera::TYUY2Path;

// k × (c - 128) truncated toward zero, with k given in millionths.
std::int32_t Truncated(std::int64_t MillionthsOfK, int c) {
  const std::int64_t Product = MillionthsOfK * (c - 128);
  return static_cast<std::int32_t>(Product / 1'000'000);  // C++ division truncates toward zero
}

TEST(YUY2Test, TablesHoldTheTruncatedProducts) {
  const struct {
    const std::array<std::int32_t, 256>& Table;
    std::int64_t K;
    std::int32_t At0, At255;
  } tables[] = {{korvane::camera::kRedFromV, 1'370'705, -175, 174},
                {korvane::camera::kGreenFromV, -698'001, 89, -88},
                {korvane::camera::kGreenFromU, -337'633, 43, -42},
                {korvane::camera::kBlueFromU, 1'732'446, -221, 220}};
  for (const auto& t : tables) {
    SCOPED_TRACE(t.K);
    EXPECT_EQ(t.Table[0], t.At0);
    EXPECT_EQ(t.Table[255], t.At255);
    for (int c = 0; c < 256; ++c) EXPECT_EQ(t.Table[c], Truncated(t.K, c)) << "c = " << c;
  }
}

TEST(YUY2Test, SinglePixelsOnEveryPath) {
  const struct {
    BYTE Y, U, V;
    DWORD Pixel;
  } cases[] = {{128, 128, 128, 0xFF808080},
               {0, 0, 255, 0xFFAE0000},  // G is -88 + 43, clamped to 0
               {255, 255, 0, 0xFF50FFFF},
               {100, 200, 50, 0xFF0082E0}};
  for (const TYUY2Path& path : AvailableYUY2Paths()) {
    for (const auto& c : cases) {
      // Long enough for a whole vector block, so each path converts it itself.
      std::vector<BYTE> source;
      for (int group = 0; group < 64; ++group) source.insert(source.end(), {c.Y, c.U, c.Y, c.V});
      std::vector<DWORD> pixels(128);
      path.Convert(source.data(), 0, pixels.size(), pixels.data());
      for (DWORD pixel : pixels) ASSERT_EQ(pixel, c.Pixel) << path.Name << " Y " << int(c.Y);
    }
  }
}

TEST(YUY2Test, RowsAreReversedAndChromaPairsRunAcrossRowEnds) {
  // 3 × 2 pixels: pixel 3 (row 1, column 0) shares the group of pixel 2 (row 0, column 2).
  const BYTE source[] = {10, 0, 20, 255, 30, 255, 40, 0, 50, 128, 60, 128};
  std::vector<DWORD> pixels(6, 0);
  YUY2ToRGB32(source, 3, 2, pixels.data());
  auto Expected = [](BYTE Y, BYTE U, BYTE V) {
    DWORD result;
    ConvertYUY2RunByTables(std::array<BYTE, 4>{Y, U, Y, V}.data(), 0, 1, &result);
    return result;
  };
  const std::vector<DWORD> expected = {
      Expected(40, 255, 0), Expected(50, 128, 128), Expected(60, 128, 128),  // source row 1
      Expected(10, 0, 255), Expected(20, 0, 255),   Expected(30, 255, 0)};   // source row 0
  EXPECT_EQ(pixels, expected);
  EXPECT_EQ(Expected(128, 128, 128), 0xFF808080u);
}

TEST(YUY2Test, SourceSizeCoversWholeGroups) {
  EXPECT_EQ(korvane::camera::YUY2SourceSize(640, 480), 614'400u);
  EXPECT_EQ(korvane::camera::YUY2SourceSize(3, 1), 8u);  // the last pixel's group whole
  EXPECT_EQ(korvane::camera::YUY2SourceSize(0, 480), 0u);
  EXPECT_EQ(korvane::camera::YUY2SourceSize(640, -480), 0u);
}

TEST(YUY2Test, VectorisedPathsEqualTheTablesForEveryTriple) {
  // Groups (Y, U, Y + 1, V) for each even Y and every (U, V) pair; neighbouring groups differ
  // in their chroma, so a path that gives a pixel the chroma of another group is caught.
  std::vector<BYTE> source(std::size_t{1} << 25);
  BYTE* out = source.data();
  for (int y = 0; y < 256; y += 2) {
    for (int u = 0; u < 256; ++u) {
      for (int v = 0; v < 256; ++v) {
        *out++ = static_cast<BYTE>(y);
        *out++ = static_cast<BYTE>(u);
        *out++ = static_cast<BYTE>(y + 1);
        *out++ = static_cast<BYTE>(v);
      }
    }
  }
  const std::size_t count = source.size() / 2;
  std::vector<DWORD> expected(count);
  ConvertYUY2RunByTables(source.data(), 0, count, expected.data());
  std::vector<DWORD> actual(count);
  for (const TYUY2Path& path : AvailableYUY2Paths().subspan(1)) {
    std::fill(actual.begin(), actual.end(), 0);
    path.Convert(source.data(), 0, count, actual.data());
    const auto mismatch = std::mismatch(actual.begin(), actual.end(), expected.begin());
    if (mismatch.first != actual.end()) {
      const std::size_t pixel = mismatch.first - actual.begin();
      const std::size_t group = pixel / 2;
      ADD_FAILURE() << path.Name << " differs at Y " << 2 * (group >> 16) + pixel % 2 << " U "
                    << (group >> 8) % 256 << " V " << group % 256 << ": " << std::hex
                    << *mismatch.first << " instead of " << *mismatch.second;
    }
  }
}

TEST(YUY2Test, VectorisedPathsHandleOddStartsAndShortRuns) {
  std::vector<BYTE> source(400);
  std::mt19937 random(8);
  for (BYTE& byte : source) byte = static_cast<BYTE>(random());
  for (const TYUY2Path& path : AvailableYUY2Paths()) {
    for (std::size_t first : {0, 1, 3}) {
      for (std::size_t count : {0, 1, 2, 31, 32, 33, 64, 65, 130}) {
        std::vector<DWORD> expected(count + 1, 0x12345678);
        std::vector<DWORD> actual(count + 1, 0x12345678);  // the last one must stay untouched
        ConvertYUY2RunByTables(source.data(), first, count, expected.data());
        path.Convert(source.data(), first, count, actual.data());
        EXPECT_EQ(actual, expected) << path.Name << " from " << first << " for " << count;
      }
    }
  }
}

}  // namespace
