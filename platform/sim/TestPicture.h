#pragma once
// The picture a simulated camera films: colour bars, a square that moves across them and the
// frame's number, so a person sees at once that the picture is live and how far it has come.
// It is drawn in the format the camera streams (YUY2, NV12, RGB24, RGB32, or Motion JPEG
// compressed from YUY2); the still part is drawn once, each frame copies it and adds the rest.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/DirectShow9.h"
#include "platform/graph/JpegCodec.h"

namespace korvane::sim {

class TestPicture {
 public:
  // The picture for a connection's type; nullptr for a type a camera cannot stream: another
  // subtype, a bit count that does not fit the subtype, or a size the subtype cannot have.
  static std::unique_ptr<TestPicture> For(const AM_MEDIA_TYPE& type);

  // The most bytes one frame takes.
  std::size_t FrameBytes() const { return frameBytes_; }
  // Draws frame `number` into out and returns its length; 0 when it did not fit.
  std::size_t Draw(std::uint64_t number, BYTE* out, std::size_t capacity);

  enum class Layout { Yuy2, Nv12, Rgb24, Rgb32 };

 private:
  TestPicture(Layout layout, int width, int height, bool bottomUp, bool jpeg);
  void DrawMoving(std::uint64_t number, BYTE* frame) const;

  Layout layout_;
  int width_, height_;
  bool bottomUp_;
  bool jpeg_;
  std::size_t rawBytes_ = 0;    // one uncompressed frame
  std::size_t frameBytes_ = 0;  // what a delivered frame may take
  std::vector<BYTE> still_;     // the bars, drawn once
  std::vector<BYTE> scratch_;   // a Motion JPEG frame before it is compressed
  graph::JpegEncoder encoder_;
};

}  // namespace korvane::sim
