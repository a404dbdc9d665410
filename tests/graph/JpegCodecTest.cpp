// Motion JPEG as many UVC cameras send it: frames without their Huffman tables, which a
// decoder must take from the standard (those the JPEG standard lists, which such cameras use).

#include <gtest/gtest.h>

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
