#include "platform/sim/TestPicture.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/graph/MediaType.h"
#include "platform/graph/PictureConversion.h"

namespace korvane::sim {
namespace {

using Layout = TestPicture::Layout;

struct Rgb {
  BYTE red, green, blue;
};

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
// The bars at three quarters of full level, as test cards show them.
constexpr Rgb kBars[] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                         {191, 0, 191},   {191, 0, 0},   {0, 0, 191},   {0, 0, 0}};

// Seven segments per digit, bit 0 = top (a) to bit 6 = middle (g).
constexpr BYTE kDigitSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

// Rectangles drawn into a frame in its own layout, clipped to the picture.
struct Canvas {
  Layout layout;
  int width, height;
  bool bottomUp;
  BYTE* data;

  void Fill(int x, int y, int w, int h, Rgb color) const {
    int left = std::max(0, x), top = std::max(0, y);
    int right = std::min(width, x + w), bottom = std::min(height, y + h);
    if (left >= right || top >= bottom) return;
    const auto columns = static_cast<std::size_t>(width);
    switch (layout) {
      case Layout::Rgb32:
      case Layout::Rgb24: {
        const std::size_t pixel = layout == Layout::Rgb32 ? 4 : 3;
        const std::size_t stride = graph::DibStride(width, static_cast<WORD>(pixel * 8));
        for (int row = top; row < bottom; ++row) {
          const auto line = static_cast<std::size_t>(bottomUp ? height - 1 - row : row);
          BYTE* out = data + line * stride + static_cast<std::size_t>(left) * pixel;
          for (int column = left; column < right; ++column, out += pixel) {
            out[0] = color.blue;
            out[1] = color.green;
            out[2] = color.red;
            if (pixel == 4) out[3] = 255;
          }
        }
        return;
      }
      case Layout::Yuy2: {
        // Pixels come in pairs that share their colour: whole pairs are filled.
        left &= ~1;
        right = std::min(width, (right + 1) & ~1);
        const graph::Yuv yuv = graph::RgbToYuv(color.red, color.green, color.blue);
        for (int row = top; row < bottom; ++row) {
          BYTE* out = data + static_cast<std::size_t>(row) * columns * 2 +
                      static_cast<std::size_t>(left) * 2;
          for (int column = left; column < right; column += 2, out += 4) {
            out[0] = yuv.y;
            out[1] = yuv.u;
            out[2] = yuv.y;
            out[3] = yuv.v;
          }
        }
        return;
      }
      case Layout::Nv12: {
        const graph::Yuv yuv = graph::RgbToYuv(color.red, color.green, color.blue);
        for (int row = top; row < bottom; ++row) {
          std::memset(
              data + static_cast<std::size_t>(row) * columns + static_cast<std::size_t>(left),
              yuv.y, static_cast<std::size_t>(right - left));
        }
        // Chroma covers two by two pixels: whole blocks are filled.
        BYTE* chroma = data + columns * static_cast<std::size_t>(height);
        left &= ~1;
        right = std::min(width, (right + 1) & ~1);
        for (int row = top / 2; row < (bottom + 1) / 2; ++row) {
          BYTE* out =
              chroma + static_cast<std::size_t>(row) * columns + static_cast<std::size_t>(left);
          for (int column = left; column < right; column += 2, out += 2) {
            out[0] = yuv.u;
            out[1] = yuv.v;
          }
        }
        return;
      }
    }
  }
};

std::optional<Layout> LayoutOf(const GUID& subtype, WORD bitCount) {
  if (subtype == MEDIASUBTYPE_YUY2 && bitCount == 16) return Layout::Yuy2;
  if (subtype == MEDIASUBTYPE_NV12 && bitCount == 12) return Layout::Nv12;
  if (subtype == MEDIASUBTYPE_RGB24 && bitCount == 24) return Layout::Rgb24;
  if (subtype == MEDIASUBTYPE_RGB32 && bitCount == 32) return Layout::Rgb32;
  return std::nullopt;
}

GUID SubtypeOf(Layout layout) {
  switch (layout) {
    case Layout::Yuy2:
      return MEDIASUBTYPE_YUY2;
    case Layout::Nv12:
      return MEDIASUBTYPE_NV12;
    case Layout::Rgb24:
      return MEDIASUBTYPE_RGB24;
    case Layout::Rgb32:
      return MEDIASUBTYPE_RGB32;
  }
  return GUID_NULL;
}

}  // namespace

std::unique_ptr<TestPicture> TestPicture::For(const AM_MEDIA_TYPE& type) {
  const auto picture = graph::VideoPictureOf(type);
  if (!picture) return nullptr;
  const bool jpeg = type.subtype == MEDIASUBTYPE_MJPG;
  // Motion JPEG pictures are drawn as YUY2 and compressed as they are.
  const auto layout = jpeg ? std::optional<Layout>(Layout::Yuy2)
                           : LayoutOf(type.subtype, picture->header.biBitCount);
  if (!layout) return nullptr;
  const bool bottomUp =
      !jpeg && (*layout == Layout::Rgb24 || *layout == Layout::Rgb32) && picture->BottomUp();
  if (!graph::PictureBytes(SubtypeOf(*layout), picture->Width(), picture->header.biHeight)) {
    return nullptr;
  }
  return std::unique_ptr<TestPicture>(
      new TestPicture(*layout, picture->Width(), picture->Height(), bottomUp, jpeg));
}

TestPicture::TestPicture(Layout layout, int width, int height, bool bottomUp, bool jpeg)
    : layout_(layout), width_(width), height_(height), bottomUp_(bottomUp), jpeg_(jpeg) {
  rawBytes_ = *graph::PictureBytes(SubtypeOf(layout), width, height);
  frameBytes_ = jpeg ? graph::JpegEncoder::MaxEncodedSize(width, height) : rawBytes_;
  still_.resize(rawBytes_);
  const Canvas canvas{layout_, width_, height_, bottomUp_, still_.data()};
  const int bars = static_cast<int>(std::size(kBars));
  for (int bar = 0; bar < bars; ++bar) {
    const int left = width_ * bar / bars;
    canvas.Fill(left, 0, width_ * (bar + 1) / bars - left, height_, kBars[bar]);
  }
  if (jpeg_) scratch_.resize(rawBytes_);
}

void TestPicture::DrawMoving(std::uint64_t number, BYTE* frame) const {
  const Canvas canvas{layout_, width_, height_, bottomUp_, frame};
  // A square that crosses the picture and comes back, about every eight seconds at 30 frames.
  const int side = std::max(8, height_ / 6) & ~1;
  const int travel = std::max(1, width_ - side);
  const auto step = static_cast<std::uint64_t>(std::max(2, width_ / 120));
  const auto along = static_cast<int>(number * step % (2 * static_cast<std::uint64_t>(travel)));
  const int x = along < travel ? along : 2 * travel - along;
  const int y = (height_ - side) / 2;
  const int border = std::max(2, side / 16);
  canvas.Fill(x, y, side, side, kBlack);
  canvas.Fill(x + border, y + border, side - 2 * border, side - 2 * border, kWhite);

  // The frame number in seven-segment digits on a black box in the top left corner.
  const std::string digits = std::to_string(number);
  const int digitHeight = std::max(10, height_ / 8);
  const int digitWidth = digitHeight / 2;
  const int thick = std::max(2, digitHeight / 8);
  const int margin = thick * 2;
  const int advance = digitWidth + margin;
  canvas.Fill(margin, margin, static_cast<int>(digits.size()) * advance + margin,
              digitHeight + 2 * margin, kBlack);
  int left = 2 * margin;
  const int top = 2 * margin;
  const int half = digitHeight / 2;
  const int upright = half - thick;
  const int across = digitWidth - 2 * thick;
  for (const char digit : digits) {
    const BYTE segments = kDigitSegments[digit - '0'];
    const struct {
      int x, y, w, h;
    } kPlaces[7] = {{left + thick, top, across, thick},
                    {left + digitWidth - thick, top + thick, thick, upright},
                    {left + digitWidth - thick, top + half, thick, upright},
                    {left + thick, top + digitHeight - thick, across, thick},
                    {left, top + half, thick, upright},
                    {left, top + thick, thick, upright},
                    {left + thick, top + half - thick / 2, across, thick}};
    for (int segment = 0; segment < 7; ++segment) {
      if (segments & (1 << segment)) {
        const auto& place = kPlaces[segment];
        canvas.Fill(place.x, place.y, place.w, place.h, kWhite);
      }
    }
    left += advance;
  }
}

std::size_t TestPicture::Draw(std::uint64_t number, BYTE* out, std::size_t capacity) {
  if (!out) return 0;
  BYTE* frame = jpeg_ ? scratch_.data() : out;
  if (!jpeg_ && capacity < rawBytes_) return 0;
  std::memcpy(frame, still_.data(), rawBytes_);
  DrawMoving(number, frame);
  if (!jpeg_) return rawBytes_;
  return encoder_.EncodeYuy2(frame, width_, height_, out, capacity);
}

}  // namespace korvane::sim
