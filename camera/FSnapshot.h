#pragma once
// The current frame as the snapshots take it: once from the sample grabber or the renderer,
// then written to a stream as a file image, or made into an image of the toolkit.

#include <cstddef>
#include <iosfwd>
#include <vector>

#include "camera/FCameraTypes.h"
#include "platform/com/MediaTypes.h"
#include "platform/com/TaskMemory.h"

class QImage;
struct ISampleGrabber;
struct IVMRWindowlessControl9;

struct TFSnapshot {
  TFImageFormat Format = ifBmp;
  // The bitmap info header as it is written (biSize bytes); empty for a JPEG image.
  std::vector<BYTE> Header;
  // The frame's bytes: the whole JPEG image, or the pixels; YUY2 ones when Yuy2 is set, which
  // Header already describes as the 32-bit pixels they are written as.
  korvane::com::TaskMemPtr<BYTE> Block;
  const BYTE* Data = nullptr;
  std::size_t Size = 0;
  bool Yuy2 = false;

  // No picture yet: nothing is written.
  bool IsEmpty() const { return Data == nullptr; }
  // The first 40 bytes of Header.
  BITMAPINFOHEADER InfoHeader() const;
  // The bytes that follow the headers in the file.
  std::size_t PixelBytes() const;
};

// The grabber's buffered sample described by its connected media type: empty before the
// first sample, for a type that is not a video-info one, and for a sample that cannot be
// written whole and safely. Raises for a failed platform call.
TFSnapshot GrabberSnapshot(ISampleGrabber& Grabber);
// The renderer's current image.
TFSnapshot RendererSnapshot(IVMRWindowlessControl9& Windowless);

// Writes the snapshot as the file image it is: nothing, a JPEG image, or a bitmap file.
void WriteSnapshot(const TFSnapshot& Snapshot, std::ostream& Stream);
// The image a loader makes of that file image: a null image for nothing; EInvalidGraphic for
// data that does not decode.
QImage SnapshotToImage(const TFSnapshot& Snapshot);
// The same image; a 32-bit bitmap that the snapshot's block holds whole becomes the image's
// own pixels without a copy, and the block is the image's from then on.
QImage SnapshotToImage(TFSnapshot&& Snapshot);
