// The VMR-9 renderer (CLSID_VideoMixingRenderer9) of this platform: it takes the pictures a
// real renderer takes (uncompressed RGB32, RGB24 and YUY2; Motion JPEG only through a decoder),
// keeps the current one for the window to draw, and answers the windowless control's geometry.
// It draws nothing into the clipping window itself: the window asks for the current image, or for
// the current picture without a copy (IVideoCurrentPicture).

#include <cstring>
#include <mutex>
#include <optional>

#include "platform/CurrentPicture.h"
#include "platform/graph/GraphClasses.h"
#include "platform/graph/PictureConversion.h"
#include "platform/graph/RendererFilter.h"

namespace korvane::graph {
namespace {

bool ValidRect(const RECT& rect) {
  return rect.left <= rect.right && rect.top <= rect.bottom;
}

class VideoRenderer final
    : public RendererFilter<IVMRFilterConfig9, IVMRWindowlessControl9, IVideoCurrentPicture> {
 public:
  VideoRenderer() : RendererFilter(CLSID_VideoMixingRenderer9, u"Video Mixing Renderer 9") {}

  // --- IVMRFilterConfig9 --------------------------------------------------------------------

  HRESULT SetNumberOfStreams(DWORD streams) override {
    if (streams < 1 || streams > 16) return E_INVALIDARG;
    if (input_.IsConnected()) return VFW_E_WRONG_STATE;
    std::lock_guard lock(mutex_);
    streams_ = streams;
    return S_OK;
  }
  HRESULT GetNumberOfStreams(DWORD* streams) override {
    if (!streams) return E_POINTER;
    std::lock_guard lock(mutex_);
    *streams = streams_;
    return S_OK;
  }
  // Windowed and windowless rendering behave alike here; there is no renderless mode.
  HRESULT SetRenderingMode(DWORD mode) override {
    if (mode != VMR9Mode_Windowed && mode != VMR9Mode_Windowless) return E_INVALIDARG;
    if (input_.IsConnected()) return VFW_E_WRONG_STATE;
    std::lock_guard lock(mutex_);
    mode_ = mode;
    return S_OK;
  }
  HRESULT GetRenderingMode(DWORD* mode) override {
    if (!mode) return E_POINTER;
    std::lock_guard lock(mutex_);
    *mode = mode_;
    return S_OK;
  }

  // --- IVMRWindowlessControl9 ---------------------------------------------------------------

  HRESULT GetNativeVideoSize(LONG* width, LONG* height, LONG* aspectWidth,
                             LONG* aspectHeight) override {
    if (FAILED(RequireWindowless())) return VFW_E_WRONG_STATE;
    const auto picture = Picture();
    if (!picture) return VFW_E_NOT_CONNECTED;
    if (width) *width = picture->Width();
    if (height) *height = picture->Height();
    if (aspectWidth) *aspectWidth = picture->Width();
    if (aspectHeight) *aspectHeight = picture->Height();
    return S_OK;
  }

  // The pictures are kept at their own size for the window to draw, so that is the ideal size,
  // the smallest and the largest alike.
  HRESULT GetMinIdealVideoSize(LONG* width, LONG* height) override {
    return GetNativeVideoSize(width, height, nullptr, nullptr);
  }
  HRESULT GetMaxIdealVideoSize(LONG* width, LONG* height) override {
    return GetNativeVideoSize(width, height, nullptr, nullptr);
  }

  HRESULT SetVideoPosition(const RECT* source, const RECT* destination) override {
    if (FAILED(RequireWindowless())) return VFW_E_WRONG_STATE;
    if (!source && !destination) return E_POINTER;
    if ((source && !ValidRect(*source)) || (destination && !ValidRect(*destination))) {
      return E_INVALIDARG;
    }
    if (source) {
      const auto picture = Picture();
      if (source->left < 0 || source->top < 0 ||
          (picture && (source->right > picture->Width() || source->bottom > picture->Height()))) {
        return E_INVALIDARG;
      }
    }
    std::lock_guard lock(mutex_);
    if (source) source_ = *source;
    if (destination) destination_ = *destination;
    return S_OK;
  }

  HRESULT GetVideoPosition(RECT* source, RECT* destination) override {
    if (FAILED(RequireWindowless())) return VFW_E_WRONG_STATE;
    if (!source && !destination) return E_POINTER;
    const auto picture = Picture();
    std::lock_guard lock(mutex_);
    if (source) {
      // Until a source rectangle is set it is the whole picture.
      *source = source_.value_or(picture ? RECT{0, 0, picture->Width(), picture->Height()}
                                         : RECT{0, 0, 0, 0});
    }
    if (destination) *destination = destination_;
    return S_OK;
  }

  HRESULT GetAspectRatioMode(DWORD* mode) override {
    if (FAILED(RequireWindowless())) return VFW_E_WRONG_STATE;
    if (!mode) return E_POINTER;
    std::lock_guard lock(mutex_);
    *mode = aspectRatioMode_;
    return S_OK;
  }
  HRESULT SetAspectRatioMode(DWORD mode) override {
    if (FAILED(RequireWindowless())) return VFW_E_WRONG_STATE;
    if (mode != VMR9ARMode_None && mode != VMR9ARMode_LetterBox) return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    aspectRatioMode_ = mode;
    return S_OK;
  }

  HRESULT SetVideoClippingWindow(HWND window) override {
    if (FAILED(RequireWindowless())) return VFW_E_WRONG_STATE;
    if (!window) return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    clippingWindow_ = window;
    return S_OK;
  }

  // The window draws the current image itself; this renderer paints nothing.
  HRESULT RepaintVideo(HWND, void*) override { return E_NOTIMPL; }
  HRESULT DisplayModeChanged() override { return S_OK; }

  // A packed bitmap in task memory: the picture header, then 32-bit pixels, bottom row first.
  HRESULT GetCurrentImage(BYTE** image) override {
    if (FAILED(RequireWindowless())) return VFW_E_WRONG_STATE;
    if (!image) return E_POINTER;
    *image = nullptr;
    const std::optional<MediaType> type = input_.ConnectionType();
    if (!type) return VFW_E_NOT_CONNECTED;
    ComPtr<IMediaSample> current;
    {
      std::lock_guard lock(mutex_);
      current = current_;
    }
    if (!current) return VFW_E_WRONG_STATE;  // no picture has arrived yet
    const auto picture = VideoPictureOf(type->View());
    if (!picture) return VFW_E_INVALIDMEDIATYPE;
    const std::size_t pixels = static_cast<std::size_t>(picture->Width()) *
                               static_cast<std::size_t>(picture->Height()) * 4;
    com::TaskMemPtr<BYTE> block(
        static_cast<BYTE*>(CoTaskMemAlloc(sizeof(BITMAPINFOHEADER) + pixels)));
    if (!block) return E_OUTOFMEMORY;
    BYTE* data = nullptr;
    current->GetPointer(&data);
    if (!ToBottomUpRgb32(type->subtype, *picture, data,
                         static_cast<std::size_t>(current->GetActualDataLength()),
                         block.get() + sizeof(BITMAPINFOHEADER))) {
      return E_UNEXPECTED;  // a sample shorter than its picture
    }
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = picture->Width();
    header.biHeight = picture->Height();
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(pixels);
    std::memcpy(block.get(), &header, sizeof(header));
    *image = block.release();
    return S_OK;
  }

  // --- IVideoCurrentPicture ------------------------------------------------------------------

  HRESULT GetCurrentPicture(IMediaSample** sample, LONG* width, LONG* height,
                            LONG* stride) override {
    if (!sample || !width || !height || !stride) return E_POINTER;
    *sample = nullptr;
    const std::optional<MediaType> type = input_.ConnectionType();
    if (!type) return VFW_E_NOT_CONNECTED;
    const auto picture = VideoPictureOf(type->View());
    if (!picture) return VFW_E_INVALIDMEDIATYPE;
    ComPtr<IMediaSample> current = Current();
    if (!current) return VFW_E_WRONG_STATE;  // no picture has arrived yet
    *width = picture->Width();
    *height = picture->Height();
    *stride = picture->Width() * 4;
    // The rows go out as they are only where their fourth bytes are known to be 255: 32-bit
    // rows, top row first, from the Motion JPEG decoder.
    const bool asTheyAre = type->subtype == MEDIASUBTYPE_RGB32 && !picture->BottomUp() &&
                           current->GetActualDataLength() >= *stride * *height && FromDecoder();
    if (!asTheyAre) return S_FALSE;
    *sample = current.Detach();
    return S_OK;
  }

  HRESULT CopyCurrentPicture(BYTE* rows, LONG stride, LONG width, LONG height) override {
    if (!rows) return E_POINTER;
    const std::optional<MediaType> type = input_.ConnectionType();
    if (!type) return VFW_E_NOT_CONNECTED;
    const auto picture = VideoPictureOf(type->View());
    if (!picture) return VFW_E_INVALIDMEDIATYPE;
    if (width != picture->Width() || height != picture->Height() || stride < width * 4) {
      return E_INVALIDARG;
    }
    const ComPtr<IMediaSample> current = Current();
    if (!current) return VFW_E_WRONG_STATE;
    BYTE* data = nullptr;
    current->GetPointer(&data);
    if (!ToRgb32Rows(type->subtype, *picture, data,
                     static_cast<std::size_t>(current->GetActualDataLength()), rows,
                     static_cast<std::size_t>(stride), false)) {
      return E_UNEXPECTED;  // a sample shorter than its picture
    }
    return S_OK;
  }

  HRESULT SetBorderColor(COLORREF color) override {
    if (FAILED(RequireWindowless())) return VFW_E_WRONG_STATE;
    std::lock_guard lock(mutex_);
    borderColor_ = color;
    return S_OK;
  }
  HRESULT GetBorderColor(COLORREF* color) override {
    if (FAILED(RequireWindowless())) return VFW_E_WRONG_STATE;
    if (!color) return E_POINTER;
    std::lock_guard lock(mutex_);
    *color = borderColor_;
    return S_OK;
  }

  // --- PinHost --------------------------------------------------------------------------------

  HRESULT CheckInputType(const InputPin&, const AM_MEDIA_TYPE& type) override {
    const bool uncompressed = type.subtype == MEDIASUBTYPE_RGB32 ||
                              type.subtype == MEDIASUBTYPE_RGB24 ||
                              type.subtype == MEDIASUBTYPE_YUY2;
    const auto picture = VideoPictureOf(type);
    if (!uncompressed || !picture) return VFW_E_TYPE_NOT_ACCEPTED;
    // The header must describe what the subtype says, or the pictures cannot be read.
    const WORD bits = type.subtype == MEDIASUBTYPE_RGB32   ? 32
                      : type.subtype == MEDIASUBTYPE_RGB24 ? 24
                                                           : 16;
    if (picture->header.biBitCount != bits ||
        !PictureBytes(type.subtype, picture->Width(), picture->header.biHeight)) {
      return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
  }

  void OnInputDisconnected(InputPin&) override {
    std::lock_guard lock(mutex_);
    current_ = nullptr;
    source_.reset();
  }

 protected:
  HRESULT Render(IMediaSample* sample) override {
    std::lock_guard lock(mutex_);
    current_ = ComPtr<IMediaSample>(sample);
    return S_OK;
  }

 private:
  // The windowless control answers only in windowless mode, as the platform's does.
  HRESULT RequireWindowless() const {
    std::lock_guard lock(mutex_);
    return mode_ == VMR9Mode_Windowless ? S_OK : VFW_E_WRONG_STATE;
  }

  ComPtr<IMediaSample> Current() const {
    std::lock_guard lock(mutex_);
    return current_;
  }

  // Whether the pictures come from the Motion JPEG decoder, which makes every pixel opaque.
  bool FromDecoder() {
    ComPtr<IPin> upstream;
    if (FAILED(input_.ConnectedTo(upstream.ReleaseAndGetAddressOf())) || !upstream) return false;
    PIN_INFO info{};
    if (FAILED(upstream->QueryPinInfo(&info))) return false;
    const ComPtr<IBaseFilter> filter = ComPtr<IBaseFilter>::Attach(info.pFilter);
    CLSID classId{};
    return filter && SUCCEEDED(filter->GetClassID(&classId)) && classId == CLSID_MjpegDec;
  }

  std::optional<VideoPicture> Picture() const {
    const std::optional<MediaType> type = input_.ConnectionType();
    return VideoPictureOf(type);
  }

  mutable std::mutex mutex_;
  DWORD streams_ = 1;
  DWORD mode_ = VMR9Mode_Windowed;
  DWORD aspectRatioMode_ = VMR9ARMode_None;
  HWND clippingWindow_ = nullptr;
  COLORREF borderColor_ = 0;
  std::optional<RECT> source_;
  RECT destination_{0, 0, 0, 0};
  ComPtr<IMediaSample> current_;
};

}  // namespace

HRESULT CreateVideoRenderer(REFIID iid, void** object) {
  return com::MakeCom<VideoRenderer>()->QueryInterface(iid, object);
}

}  // namespace korvane::graph
