// Motion JPEG as many UVC cameras send it: frames without their Huffman tables, which a
// decoder must take from the standard (those the JPEG standard lists, which such cameras use),
// frames cut short, and frames of another size than the one agreed.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/graph/JpegCodec.h"

namespace korvane::graph {
namespace {

// The frame without its DHT segments.
std::vector<BYTE> WithoutHuffmanTables(const std::vector<BYTE>& jpeg) {
  std::vector<BYTE> out(jpeg.begin(), jpeg.begin() + 2);  // SOI
  std::size_t at = 2;
  while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF && jpeg[at + 1] != 0xDA) {
    const std::size_t length = std::size_t{jpeg[at + 2]} << 8 | jpeg[at + 3];
    if (jpeg[at + 1] != 0xC4)
      out.insert(out.end(), jpeg.begin() + at, jpeg.begin() + at + 2 + length);
    at += 2 + length;
  }
  out.insert(out.end(), jpeg.begin() + at, jpeg.end());  // the scan and EOI
  return out;
}

// A grey ramp (dark on the left, bright on the right, no colour) as a JPEG picture.
std::vector<BYTE> Ramp(int width, int height) {
  std::vector<BYTE> yuy2(static_cast<std::size_t>(width * height * 2));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      yuy2[static_cast<std::size_t>((y * width + x) * 2)] = static_cast<BYTE>(16 + x * 200 / width);
      yuy2[static_cast<std::size_t>((y * width + x) * 2 + 1)] = 128;
    }
  }
  JpegEncoder encoder;
  std::vector<BYTE> jpeg(JpegEncoder::MaxEncodedSize(width, height));
  jpeg.resize(encoder.EncodeYuy2(yuy2.data(), width, height, jpeg.data(), jpeg.size()));
  return jpeg;
}

TEST(JpegCodec, FramesCutShortOrOfAnotherSizeAreShownAsFarAsTheyGo) {
  constexpr int kWidth = 64, kHeight = 32;
  const std::vector<BYTE> agreed = Ramp(kWidth, kHeight);
  JpegDecoder decoder;
  std::vector<BYTE> whole(kWidth * kHeight * 4);
  ASSERT_TRUE(
      decoder.DecodeBgr(agreed.data(), agreed.size(), kWidth, kHeight, 4, false, whole.data()));
  const auto brightness = [](const std::vector<BYTE>& picture, int x, int y) {
    return picture[static_cast<std::size_t>((y * kWidth + x) * 4 + 1)];
  };
  // Half way through the scan, which follows the start-of-scan marker.
  const BYTE startOfScan[] = {0xFF, 0xDA};
  const std::size_t scan = static_cast<std::size_t>(
      std::search(agreed.begin(), agreed.end(), std::begin(startOfScan), std::end(startOfScan)) -
      agreed.begin());
  const std::size_t cut = scan + (agreed.size() - scan) / 2;

  const struct Case {
    const char* name;
    std::vector<BYTE> data;
    bool topRowsAsWhole;  // the rows before the cut decode exactly as the whole picture's
  } cases[] = {
      {"cut half way through its scan", {agreed.begin(), agreed.begin() + cut}, true},
      {"cut before its end marker", {agreed.begin(), agreed.end() - 2}, true},
      {"half the size", Ramp(kWidth / 2, kHeight / 2), false},
      {"four times the size", Ramp(kWidth * 4, kHeight * 4), false},
      {"wider, not as high", Ramp(kWidth * 2, kHeight / 2), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<BYTE> picture(whole.size(), 0);
    ASSERT_TRUE(
        decoder.DecodeBgr(c.data.data(), c.data.size(), kWidth, kHeight, 4, false, picture.data()));
    if (c.topRowsAsWhole) {
      EXPECT_TRUE(std::equal(picture.begin(), picture.begin() + kWidth * 4 * 8, whole.begin()));
    }
    // The ramp fills the agreed size: dark on the left, bright on the right, top and bottom.
    for (const int y : {0, kHeight - 1}) {
      EXPECT_LT(brightness(picture, 2, 0) + 60, brightness(picture, kWidth - 3, 0)) << y;
    }
  }
  const std::vector<BYTE> header(agreed.begin(), agreed.begin() + 20);
  std::vector<BYTE> picture(whole.size());
  EXPECT_FALSE(
      decoder.DecodeBgr(header.data(), header.size(), kWidth, kHeight, 4, false, picture.data()))
      << "a frame cut inside its header is no picture";
  // The decoder is whole again for the next frame.
  ASSERT_TRUE(
      decoder.DecodeBgr(agreed.data(), agreed.size(), kWidth, kHeight, 4, false, picture.data()));
  EXPECT_EQ(picture, whole);
}

TEST(JpegCodec, FramesWithoutHuffmanTablesDecodeWithTheStandardOnes) {
  constexpr int kWidth = 64, kHeight = 32;
  // A grey ramp in YUY2: Y rises along the row, no colour.
  std::vector<BYTE> yuy2(kWidth * kHeight * 2);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      yuy2[(y * kWidth + x) * 2] = static_cast<BYTE>(16 + x * 3);
      yuy2[(y * kWidth + x) * 2 + 1] = 128;
    }
  }
  JpegEncoder encoder;
  std::vector<BYTE> jpeg(JpegEncoder::MaxEncodedSize(kWidth, kHeight));
  jpeg.resize(encoder.EncodeYuy2(yuy2.data(), kWidth, kHeight, jpeg.data(), jpeg.size()));
  ASSERT_FALSE(jpeg.empty());
  const std::vector<BYTE> bare = WithoutHuffmanTables(jpeg);
  ASSERT_LT(bare.size(), jpeg.size()) << "the encoder wrote no Huffman tables to take out";

  JpegDecoder decoder;
  std::vector<BYTE> whole(kWidth * kHeight * 4), stripped(kWidth * kHeight * 4);
  ASSERT_TRUE(decoder.DecodeBgr(jpeg.data(), jpeg.size(), kWidth, kHeight, 4, false, whole.data()));
  ASSERT_TRUE(
      decoder.DecodeBgr(bare.data(), bare.size(), kWidth, kHeight, 4, false, stripped.data()));
  // The encoder writes the standard tables, so both decode alike.
  EXPECT_EQ(stripped, whole);
  EXPECT_LT(whole[4 * 2], whole[4 * (kWidth - 2)]);  // and the ramp is there
}

}  // namespace
}  // namespace korvane::graph
