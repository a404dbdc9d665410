#pragma once
// Baseline JPEG on libjpeg-turbo: the Motion JPEG pictures of a simulated camera, our Motion
// JPEG compressor and the decoder the graph puts before a renderer that does not take them.
// One object serves a whole stream: its working memory is kept from picture to picture.

#include <cstddef>
#include <memory>

#include "platform/com/ComTypes.h"

namespace korvane::graph {

class JpegEncoder {
 public:
  JpegEncoder();
  ~JpegEncoder();
  JpegEncoder(const JpegEncoder&) = delete;
  JpegEncoder& operator=(const JpegEncoder&) = delete;

  // The most bytes a picture of this size can take, whatever it shows.
  static std::size_t MaxEncodedSize(int width, int height);

  // Encodes packed YUY2 rows, top row first (4:2:2, the samples as they are). Returns the bytes
  // written into out, 0 when they would not fit or the size is not one YUY2 can have.
  std::size_t EncodeYuy2(const BYTE* pixels, int width, int height, BYTE* out,
                         std::size_t capacity);
  // Encodes 24- or 32-bit blue-green-red rows padded to four bytes, bottom row first when
  // bottomUp, as a bitmap keeps them.
  std::size_t EncodeBgr(const BYTE* pixels, int width, int height, int bytesPerPixel, bool bottomUp,
                        BYTE* out, std::size_t capacity);

 private:
  struct Codec;
  std::unique_ptr<Codec> codec_;
};

class JpegDecoder {
 public:
  JpegDecoder();
  ~JpegDecoder();
  JpegDecoder(const JpegDecoder&) = delete;
  JpegDecoder& operator=(const JpegDecoder&) = delete;

  // Decodes a picture into width x height 24- or 32-bit blue-green-red rows padded to four
  // bytes (the fourth byte of a pixel 255), bottom row first when bottomUp. A picture of another
  // size is stretched to fill them; one cut short shows as far as its data goes. False, with
  // out left in any state, for data that is not a picture at all.
  bool DecodeBgr(const BYTE* data, std::size_t length, int width, int height, int bytesPerPixel,
                 bool bottomUp, BYTE* out);

 private:
  struct Codec;
  std::unique_ptr<Codec> codec_;
};

}  // namespace korvane::graph
