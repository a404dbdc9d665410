// Our Motion JPEG compressor (CLSID_KorvaneMjpegEncoder), the filter behind the video compressor
// devices we list: YUY2, RGB24 or RGB32 pictures in, one JPEG picture per sample out.

#include "platform/graph/GraphClasses.h"
#include "platform/graph/JpegCodec.h"
#include "platform/graph/TransformFilter.h"

namespace korvane::graph {
namespace {

class MjpegEncoder final : public TransformFilter {
 public:
  MjpegEncoder() : TransformFilter(CLSID_KorvaneMjpegEncoder, u"Korvane Motion JPEG Encoder") {}

  HRESULT CheckInputType(const InputPin&, const AM_MEDIA_TYPE& type) override {
    const auto picture = VideoPictureOf(type);
    const WORD bits = type.subtype == MEDIASUBTYPE_YUY2    ? 16
                      : type.subtype == MEDIASUBTYPE_RGB24 ? 24
                      : type.subtype == MEDIASUBTYPE_RGB32 ? 32
                                                           : 0;
    if (bits == 0 || !picture || picture->header.biBitCount != bits ||
        !PictureBytes(type.subtype, picture->Width(), picture->header.biHeight)) {
      return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
  }

  std::vector<MediaType> OutputTypes(const OutputPin&) override {
    const auto picture = VideoPictureOf(InputType());
    if (!picture) return {};
    const auto largest =
        static_cast<ULONG>(JpegEncoder::MaxEncodedSize(picture->Width(), picture->Height()));
    MediaType type = MakeVideoType(MEDIASUBTYPE_MJPG, picture->Width(), picture->Height(), 24,
                                   MakeFourCC('M', 'J', 'P', 'G'), picture->frameTime, largest);
    type.fixedSizeSamples = false;
    return {std::move(type)};
  }

 protected:
  std::optional<std::size_t> Prepare(const MediaType& input, const MediaType&) override {
    const auto picture = VideoPictureOf(input.View());
    const auto bytes = picture
                           ? PictureBytes(input.subtype, picture->Width(), picture->header.biHeight)
                           : std::nullopt;
    if (!bytes) return std::nullopt;
    subtype_ = input.subtype;
    width_ = picture->Width();
    height_ = picture->Height();
    bottomUp_ = picture->BottomUp();
    inputBytes_ = *bytes;
    return JpegEncoder::MaxEncodedSize(width_, height_);
  }

  std::size_t Transform(const BYTE* data, std::size_t length, BYTE* out,
                        std::size_t capacity) override {
    if (length < inputBytes_) return 0;  // a short picture cannot be encoded whole
    if (subtype_ == MEDIASUBTYPE_YUY2)
      return encoder_.EncodeYuy2(data, width_, height_, out, capacity);
    return encoder_.EncodeBgr(data, width_, height_, subtype_ == MEDIASUBTYPE_RGB24 ? 3 : 4,
                              bottomUp_, out, capacity);
  }

 private:
  JpegEncoder encoder_;
  GUID subtype_{};
  int width_ = 0, height_ = 0;
  bool bottomUp_ = true;
  std::size_t inputBytes_ = 0;
};

}  // namespace

HRESULT CreateMjpegEncoder(REFIID iid, void** object) {
  return com::MakeCom<MjpegEncoder>()->QueryInterface(iid, object);
}

}  // namespace korvane::graph
