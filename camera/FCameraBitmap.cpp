// The current frame as an image of the toolkit. The frame goes straight into the image: the
// bitmaps the component makes itself (YUY2 converted, 24- and 32-bit uncompressed) are read
// here, without the toolkit's general bitmap decoder, which costs several times the
// conversion itself; JPEG images and any other bitmap go through the toolkit's loader. The
// renderer's picture is taken without its snapshot: its own rows where they can be drawn as they
// are (the image then holds the renderer's sample, no copy), else converted in one pass into the
// image, top row first as images keep them.

#include <QImage>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>
#include <utility>

#include "camera/FCamera.h"
#include "camera/FSnapshot.h"
#include "camera/YUY2ToRGB32.h"
#include "platform/CurrentPicture.h"

namespace {

// The rows of an uncompressed 24- or 32-bit bitmap, bottom-up for a positive height.
QImage ReadUncompressed(const BITMAPINFOHEADER& Header, const BYTE* Data, std::size_t Size) {
  const int Width = Header.biWidth;
  const int Height = std::abs(Header.biHeight);
  const std::size_t Stride = (static_cast<std::size_t>(Width) * Header.biBitCount + 31) / 32 * 4;
  if (Size / Stride < static_cast<std::size_t>(Height))
    throw EInvalidGraphic("Bitmap image is not valid");
  QImage Image(Width, Height, QImage::Format_RGB32);
  for (int Y = 0; Y < Height; ++Y) {
    const BYTE* Row =
        Data + Stride * static_cast<std::size_t>(Header.biHeight > 0 ? Height - 1 - Y : Y);
    auto* Out = reinterpret_cast<QRgb*>(Image.scanLine(Y));
    if (Header.biBitCount == 32) {
      // Opaque whatever the unused fourth byte holds.
      std::memcpy(Out, Row, std::size_t{4} * Width);
      for (int X = 0; X < Width; ++X) Out[X] |= 0xFF000000u;
    } else {
      for (int X = 0; X < Width; ++X, Row += 3) Out[X] = qRgb(Row[2], Row[1], Row[0]);
    }
  }
  return Image;
}

// Rows of 32-bit pixels turned over in place when they are bottom-up, with every pixel made
// opaque whatever its unused fourth byte holds: one pass over the picture.
void MakeUprightAndOpaque(BYTE* Pixels, std::size_t Stride, int Height, bool BottomUp) {
  const std::size_t Count = Stride / 4;
  const auto RowAt = [&](int Y) {
    return reinterpret_cast<std::uint32_t*>(Pixels + Stride * static_cast<std::size_t>(Y));
  };
  const auto Opaque = [Count](std::uint32_t* Row) {
    for (std::size_t X = 0; X < Count; ++X) Row[X] |= 0xFF000000u;
  };
  if (!BottomUp) {
    for (int Y = 0; Y < Height; ++Y) Opaque(RowAt(Y));
    return;
  }
  for (int Top = 0, Bottom = Height - 1; Top <= Bottom; ++Top, --Bottom) {
    std::uint32_t* const Upper = RowAt(Top);
    std::uint32_t* const Lower = RowAt(Bottom);
    for (std::size_t X = 0; X < Count; ++X) {
      const std::uint32_t Kept = Upper[X];
      Upper[X] = Lower[X] | 0xFF000000u;
      Lower[X] = Kept | 0xFF000000u;
    }
  }
}

bool IsOwnBitmap(const BITMAPINFOHEADER& Header) {
  return Header.biCompression == BI_RGB && Header.biPlanes == 1 &&
         (Header.biBitCount == 24 || Header.biBitCount == 32) && Header.biWidth > 0 &&
         Header.biHeight != 0;
}

QImage LoadWithToolkit(const TFSnapshot& Snapshot) {
  std::ostringstream File;
  WriteSnapshot(Snapshot, File);
  const std::string Bytes = File.str();
  QImage Image;
  const char* const Format = Snapshot.Format == ifJpeg ? "JPG" : "BMP";
  if (!Image.loadFromData(reinterpret_cast<const uchar*>(Bytes.data()),
                          static_cast<int>(Bytes.size()), Format)) {
    throw EInvalidGraphic(Snapshot.Format == ifJpeg ? "JPEG image is not valid"
                                                    : "Bitmap image is not valid");
  }
  return Image;
}

// The renderer's current picture; nullopt when the renderer cannot give it this way, and for a
// failure, which the snapshot then reports as it reports its own.
std::optional<QImage> RendererPicture(const ComPtr<IVMRWindowlessControl9>& Windowless) {
  const ComPtr<IVideoCurrentPicture> Current = Windowless.As<IVideoCurrentPicture>();
  if (!Current) return std::nullopt;
  ComPtr<IMediaSample> Sample;
  LONG Width = 0, Height = 0, Stride = 0;
  const HRESULT Result =
      Current->GetCurrentPicture(Sample.ReleaseAndGetAddressOf(), &Width, &Height, &Stride);
  if (FAILED(Result)) return std::nullopt;
  if (Result == S_OK && Sample) {
    BYTE* Data = nullptr;
    if (FAILED(Sample->GetPointer(&Data)) || !Data) return std::nullopt;
    // Read-only: drawing into the image copies it first, the renderer's picture stays as it is.
    return QImage(
        static_cast<const uchar*>(Data), Width, Height, Stride, QImage::Format_RGB32,
        [](void* Held) { static_cast<IMediaSample*>(Held)->Release(); }, Sample.Detach());
  }
  QImage Image(Width, Height, QImage::Format_RGB32);
  if (Image.isNull() ||
      FAILED(Current->CopyCurrentPicture(Image.bits(), static_cast<LONG>(Image.bytesPerLine()),
                                         Width, Height))) {
    return std::nullopt;
  }
  return Image;
}

}  // namespace

QImage TFCamera::CurrentImageToBitmap() {
  CheckActive();
  if (!FGrabberUsed && FVMRWindowlessControl9) {
    if (std::optional<QImage> Picture = RendererPicture(FVMRWindowlessControl9)) return *Picture;
  }
  return SnapshotToImage(TakeSnapshot());
}

QImage SnapshotToImage(TFSnapshot&& Snapshot) {
  const BYTE* const Block = Snapshot.Block.get();
  if (Snapshot.IsEmpty() || Snapshot.Yuy2 || Snapshot.Format != ifBmp || !Block)
    return SnapshotToImage(std::as_const(Snapshot));
  const BITMAPINFOHEADER Header = Snapshot.InfoHeader();
  const int Width = Header.biWidth;
  const int Height = std::abs(Header.biHeight);
  const std::size_t Stride = std::size_t{4} * static_cast<std::size_t>(Width);
  // The renderer's image: 32-bit rows that fill the block right after its header. They become
  // the image's own pixels, turned upright in place, and the block is freed with the image.
  const bool Whole = IsOwnBitmap(Header) && Header.biBitCount == 32 &&
                     Snapshot.Data == Block + Snapshot.Header.size() &&
                     Snapshot.Size / Stride >= static_cast<std::size_t>(Height);
  if (!Whole) return SnapshotToImage(std::as_const(Snapshot));
  BYTE* const Pixels = Snapshot.Block.get() + Snapshot.Header.size();
  MakeUprightAndOpaque(Pixels, Stride, Height, Header.biHeight > 0);
  return QImage(
      Pixels, Width, Height, static_cast<qsizetype>(Stride), QImage::Format_RGB32,
      [](void* Owned) { CoTaskMemFree(Owned); }, Snapshot.Block.release());
}

QImage SnapshotToImage(const TFSnapshot& Snapshot) {
  if (Snapshot.IsEmpty()) return QImage();
  if (Snapshot.Format == ifJpeg) return LoadWithToolkit(Snapshot);
  const BITMAPINFOHEADER Header = Snapshot.InfoHeader();
  if (Snapshot.Yuy2) {
    // The file's rows are bottom-up and a decoder turns them over again, so the image takes
    // the source rows in their order (a top-down file keeps them in order in the first place).
    QImage Image(Header.biWidth, std::abs(Header.biHeight), QImage::Format_RGB32);
    korvane::camera::ConvertYUY2Rows(Snapshot.Data, Image.width(), Image.height(), Image.bits(),
                                     Image.bytesPerLine());
    return Image;
  }
  if (IsOwnBitmap(Header)) return ReadUncompressed(Header, Snapshot.Data, Snapshot.Size);
  return LoadWithToolkit(Snapshot);
}
