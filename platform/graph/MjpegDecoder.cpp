// The Motion JPEG decoder (CLSID_MjpegDec): the converter the graph puts between a camera's
// Motion JPEG pin and a filter that takes only uncompressed pictures. It offers 32-bit RGB of the
// same size top row first, which a window draws as it is, then 32-bit and 24-bit RGB bottom row
// first as bitmaps keep them; libjpeg writes the rows in either order itself, so no pass turns
// them over. A picture that does not decode (a camera's damaged frame) is dropped.

#include "platform/graph/GraphClasses.h"
#include "platform/graph/JpegCodec.h"
#include "platform/graph/TransformFilter.h"

namespace korvane::graph {
namespace {

class MjpegDecoder final : public TransformFilter {
 public:
  MjpegDecoder() : TransformFilter(CLSID_MjpegDec, u"MJPEG Decompressor") {}

  HRESULT CheckInputType(const InputPin&, const AM_MEDIA_TYPE& type) override {
    const auto picture = VideoPictureOf(type);
    if (type.subtype != MEDIASUBTYPE_MJPG || !picture || picture->Width() < 1 ||
        picture->Width() > kMaxPictureSide || picture->Height() < 1 ||
        picture->Height() > kMaxPictureSide) {
      return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
  }

  std::vector<MediaType> OutputTypes(const OutputPin&) override {
    const auto picture = VideoPictureOf(InputType());
    if (!picture) return {};
    const struct {
      GUID subtype;
      WORD bits;
      bool topDown;
    } offers[] = {{MEDIASUBTYPE_RGB32, 32, true},
                  {MEDIASUBTYPE_RGB32, 32, false},
                  {MEDIASUBTYPE_RGB24, 24, false}};
    std::vector<MediaType> types;
    for (const auto& offer : offers) {
      const LONG height = offer.topDown ? -picture->Height() : picture->Height();
      const auto bytes = PictureBytes(offer.subtype, picture->Width(), height);
      if (!bytes) continue;
      types.push_back(MakeVideoType(offer.subtype, picture->Width(), height, offer.bits, BI_RGB,
                                    picture->frameTime, static_cast<ULONG>(*bytes)));
    }
    return types;
  }

 protected:
  std::optional<std::size_t> Prepare(const MediaType&, const MediaType& output) override {
    const auto picture = VideoPictureOf(output.View());
    if (!picture) return std::nullopt;
    width_ = picture->Width();
    height_ = picture->Height();
    bytesPerPixel_ = picture->header.biBitCount / 8;
    bottomUp_ = picture->BottomUp();
    pictureBytes_ = PictureBytes(output.subtype, picture->Width(), picture->header.biHeight);
    return pictureBytes_;
  }

  std::size_t Transform(const BYTE* data, std::size_t length, BYTE* out, std::size_t) override {
    const bool decoded =
        decoder_.DecodeBgr(data, length, width_, height_, bytesPerPixel_, bottomUp_, out);
    return decoded ? pictureBytes_.value_or(0) : 0;
  }

 private:
  JpegDecoder decoder_;
  int width_ = 0, height_ = 0, bytesPerPixel_ = 4;
  bool bottomUp_ = true;
  std::optional<std::size_t> pictureBytes_;
};

}  // namespace

HRESULT CreateMjpegDecoder(REFIID iid, void** object) {
  return com::MakeCom<MjpegDecoder>()->QueryInterface(iid, object);
}

}  // namespace korvane::graph
