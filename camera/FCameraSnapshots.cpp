// Snapshots of the current frame: taken from the sample grabber's buffered sample or from
// the renderer's current image, and written as a bitmap file or a JPEG image.

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <ostream>
#include <system_error>

#include "camera/FCamera.h"
#include "camera/FCameraChecks.h"
#include "camera/FDirectShow9.h"
#include "camera/FSnapshot.h"
#include "camera/YUY2ToRGB32.h"

namespace {

using korvane::com::TaskMemPtr;

constexpr std::size_t kFileHeaderSize = 14;
constexpr DWORD kMJPG = MakeFourCC('M', 'J', 'P', 'G');
constexpr DWORD kYUY2 = MakeFourCC('Y', 'U', 'Y', '2');

// A media type record that starts zeroed and frees what it owns on every path.
struct TFMediaTypeRecord {
  AM_MEDIA_TYPE Type{};
  TFMediaTypeRecord() = default;
  TFMediaTypeRecord(const TFMediaTypeRecord&) = delete;
  TFMediaTypeRecord& operator=(const TFMediaTypeRecord&) = delete;
  ~TFMediaTypeRecord() { FreeMediaType(Type); }
};

BITMAPINFOHEADER ReadInfoHeader(const BYTE* Bytes) {
  BITMAPINFOHEADER Header;
  std::memcpy(&Header, Bytes, sizeof Header);
  return Header;
}

// The grabber's buffered sample, copied out into Snapshot; false when none is buffered yet.
bool CopyCurrentBuffer(ISampleGrabber& Grabber, TFSnapshot& Snapshot) {
  LONG Size = 0;
  if (FAILED(Grabber.GetCurrentBuffer(&Size, nullptr)) || Size <= 0) return false;
  TaskMemPtr<BYTE> Block(static_cast<BYTE*>(CoTaskMemAlloc(static_cast<std::size_t>(Size))));
  if (!Block) CheckResult(E_OUTOFMEMORY);
  // The grabber hands out the sample it measured, and says how much of the block it filled.
  LONG Copied = Size;
  CheckResult(Grabber.GetCurrentBuffer(&Copied, reinterpret_cast<LONG*>(Block.get())));
  Snapshot.Size = static_cast<std::size_t>(std::clamp<LONG>(Copied, 0, Size));
  Snapshot.Data = Block.get();
  Snapshot.Block = std::move(Block);
  return true;
}

// Describes the copied sample by the connected media type's bitmap header. Anything that
// cannot be written whole and safely is left out: the snapshot is emptied.
void DescribeGrabberSample(const AM_MEDIA_TYPE& Type, TFSnapshot& Snapshot) {
  const BYTE* const Info = Type.pbFormat + offsetof(VIDEOINFOHEADER, bmiHeader);
  BITMAPINFOHEADER Header = ReadInfoHeader(Info);
  if (Header.biCompression == kMJPG) {
    Snapshot.Format = ifJpeg;
    return;
  }
  // The header as delivered must lie within the format block.
  const std::size_t Room = Type.cbFormat - offsetof(VIDEOINFOHEADER, bmiHeader);
  if (Header.biSize < sizeof Header || Header.biSize > Room) {
    Snapshot = {};
    return;
  }
  Snapshot.Header.assign(Info, Info + Header.biSize);
  if (Header.biPlanes != 1 || Header.biBitCount != 16 || Header.biCompression != kYUY2) return;

  // A sample shorter than the frame is not converted: no read past its end.
  if (Header.biWidth <= 0 || Header.biHeight == 0 ||
      Snapshot.Size < korvane::camera::YUY2SourceSize(Header.biWidth, std::abs(Header.biHeight))) {
    Snapshot = {};
    return;
  }
  Snapshot.Yuy2 = true;
  Header.biBitCount = 32;
  Header.biCompression = BI_RGB;
  Header.biSizeImage = 0;
  Header.biClrUsed = 0;
  Header.biClrImportant = 0;
  std::memcpy(Snapshot.Header.data(), &Header, sizeof Header);
}

// The bytes of the pixel array of an uncompressed bitmap: rows padded to 4 bytes.
std::size_t UncompressedImageSize(const BITMAPINFOHEADER& Header) {
  const std::size_t Row =
      (static_cast<std::size_t>(std::abs(Header.biWidth)) * Header.biBitCount + 31) / 32 * 4;
  return Row * static_cast<std::size_t>(std::abs(Header.biHeight));
}

template <class T>
void WriteLittleEndian(BYTE*& Out, T Value) {
  for (std::size_t Byte = 0; Byte < sizeof Value; ++Byte)
    *Out++ = static_cast<BYTE>(static_cast<std::uint64_t>(Value) >> (8 * Byte));
}

void Write(std::ostream& Stream, const void* Bytes, std::size_t Size) {
  Stream.write(static_cast<const char*>(Bytes), static_cast<std::streamsize>(Size));
}

}  // namespace

TFSnapshot GrabberSnapshot(ISampleGrabber& Grabber) {
  TFSnapshot Snapshot;
  TFMediaTypeRecord Connected;
  CheckResult(Grabber.GetConnectedMediaType(&Connected.Type));
  const AM_MEDIA_TYPE& Type = Connected.Type;
  if (Type.formattype != FORMAT_VideoInfo || Type.cbFormat < sizeof(VIDEOINFOHEADER) ||
      !Type.pbFormat)
    return Snapshot;
  if (!CopyCurrentBuffer(Grabber, Snapshot)) return {};
  DescribeGrabberSample(Type, Snapshot);
  return Snapshot;
}

TFSnapshot RendererSnapshot(IVMRWindowlessControl9& Windowless) {
  BYTE* Image = nullptr;
  const HRESULT Result = Windowless.GetCurrentImage(&Image);
  TFSnapshot Snapshot;
  Snapshot.Block.reset(Image);  // freed on every path
  CheckResult(Result);
  if (!Image) CheckResult(E_POINTER);
  const BITMAPINFOHEADER Header = ReadInfoHeader(Image);
  if (Header.biSize < sizeof Header) return {};
  Snapshot.Header.assign(Image, Image + Header.biSize);
  Snapshot.Data = Image + Header.biSize;
  // An uncompressed bitmap may leave its image size 0.
  Snapshot.Size = Header.biSizeImage != 0 || Header.biCompression != BI_RGB
                      ? Header.biSizeImage
                      : UncompressedImageSize(Header);
  return Snapshot;
}

BITMAPINFOHEADER TFSnapshot::InfoHeader() const {
  return ReadInfoHeader(Header.data());
}

std::size_t TFSnapshot::PixelBytes() const {
  if (!Yuy2) return Size;
  const BITMAPINFOHEADER Info = InfoHeader();
  return std::size_t{4} * static_cast<std::size_t>(Info.biWidth) *
         static_cast<std::size_t>(std::abs(Info.biHeight));
}

void WriteSnapshot(const TFSnapshot& Snapshot, std::ostream& Stream) {
  if (Snapshot.IsEmpty()) return;
  if (Snapshot.Format == ifJpeg) {
    Write(Stream, Snapshot.Data, Snapshot.Size);
    return;
  }
  const std::size_t PixelBytes = Snapshot.PixelBytes();
  const std::size_t Offset = kFileHeaderSize + Snapshot.Header.size();
  std::array<BYTE, kFileHeaderSize> FileHeader;
  BYTE* Out = FileHeader.data();
  WriteLittleEndian<WORD>(Out, 0x4D42);  // "BM"
  WriteLittleEndian<DWORD>(Out, static_cast<DWORD>(Offset + PixelBytes));
  WriteLittleEndian<WORD>(Out, 0);
  WriteLittleEndian<WORD>(Out, 0);
  WriteLittleEndian<DWORD>(Out, static_cast<DWORD>(Offset));
  Write(Stream, FileHeader.data(), FileHeader.size());
  Write(Stream, Snapshot.Header.data(), Snapshot.Header.size());
  if (!Snapshot.Yuy2) {
    Write(Stream, Snapshot.Data, Snapshot.Size);
    return;
  }
  const BITMAPINFOHEADER Info = Snapshot.InfoHeader();
  const auto Pixels = std::make_unique_for_overwrite<DWORD[]>(PixelBytes / 4);
  if (Info.biHeight > 0) {
    YUY2ToRGB32(Snapshot.Data, Info.biWidth, Info.biHeight, Pixels.get());
  } else {
    // A top-down bitmap keeps the rows in their order.
    korvane::camera::ConvertYUY2Rows(Snapshot.Data, Info.biWidth, -Info.biHeight,
                                     reinterpret_cast<BYTE*>(Pixels.get()),
                                     std::ptrdiff_t{4} * Info.biWidth);
  }
  Write(Stream, Pixels.get(), PixelBytes);
}

TFSnapshot TFCamera::TakeSnapshot() {
  CheckActive();
  if (FGrabberUsed) return GrabberSnapshot(*FSampleGrabber);
  return RendererSnapshot(*FVMRWindowlessControl9);
}

TFImageFormat TFCamera::CurrentImageToStream(std::ostream& Stream) {
  const TFSnapshot Snapshot = TakeSnapshot();
  WriteSnapshot(Snapshot, Stream);
  return Snapshot.Format;
}

TFImageFormat TFCamera::CurrentImageToFile(const std::string& FileName) {
  std::ofstream File(FileName, std::ios::binary | std::ios::trunc);
  if (!File.is_open())
    throw std::system_error(errno, std::generic_category(),
                            "Cannot create file \"" + FileName + "\"");
  const TFImageFormat Format = CurrentImageToStream(File);
  File.close();
  // A full disk must not pass for a written picture.
  if (File.fail())
    throw std::system_error(errno, std::generic_category(),
                            "Cannot write file \"" + FileName + "\"");
  return Format;
}
