#pragma once
// A media type as a value that owns its format block, so filters can keep, compare and hand
// out the types of their connections without tracking task memory; and what a video type says
// about its pictures.

#include <cstddef>
#include <optional>
#include <vector>

#include "platform/DirectShow9.h"

namespace korvane::graph {

struct MediaType {
  GUID majortype{};
  GUID subtype{};
  GUID formattype{};
  bool fixedSizeSamples = true;
  bool temporalCompression = false;
  ULONG sampleSize = 0;
  std::vector<BYTE> format;

  // A deep copy of the record and its block; pUnk is not kept (no type of ours carries one).
  static MediaType From(const AM_MEDIA_TYPE& type);

  // A record that points into this object's block; valid while this object lives unchanged.
  AM_MEDIA_TYPE View() const;
  // Fills target with a copy in task memory, as the platform hands types out.
  HRESULT CopyTo(AM_MEDIA_TYPE* target) const;

  friend bool operator==(const MediaType&, const MediaType&) = default;
};

// Whether a complete type matches a partial one: a GUID_NULL major type, subtype or format type
// in the partial type stands for any.
bool MatchesPartial(const AM_MEDIA_TYPE& partial, const AM_MEDIA_TYPE& complete);
// Whether a type names its major type, subtype and format type, so it can be used as it is.
bool IsComplete(const AM_MEDIA_TYPE& type);

// The pictures a video type describes: its header (from a video-info or video-info-2 block)
// and its frame time. nullopt for anything else or a block too short to hold them.
struct VideoPicture {
  BITMAPINFOHEADER header{};
  REFERENCE_TIME frameTime = 0;

  LONG Width() const { return header.biWidth; }
  // The height without its sign; a negative biHeight marks a top-down RGB picture.
  LONG Height() const { return header.biHeight < 0 ? -header.biHeight : header.biHeight; }
  bool BottomUp() const { return header.biHeight > 0; }
};
std::optional<VideoPicture> VideoPictureOf(const AM_MEDIA_TYPE& type);
// The same for a connection's type; nullopt while there is no connection.
std::optional<VideoPicture> VideoPictureOf(const std::optional<MediaType>& type);

// The largest picture side the graph works with; larger ones are refused rather than allocated.
inline constexpr LONG kMaxPictureSide = 16384;

// The bytes of one uncompressed picture of this subtype and size, DIB rows padded to four bytes
// for RGB; nullopt for a subtype that is not uncompressed video or a size it cannot have
// (odd widths of packed 4:2:2, sides outside 1..kMaxPictureSide).
std::optional<std::size_t> PictureBytes(const GUID& subtype, LONG width, LONG height);
// The bytes between the starts of two rows of an RGB picture with this bit count.
std::size_t DibStride(LONG width, WORD bitCount);

// A video type with a video-info block: the picture header filled for the subtype.
MediaType MakeVideoType(const GUID& subtype, LONG width, LONG height, WORD bitCount,
                        DWORD compression, REFERENCE_TIME frameTime, ULONG imageSize);

}  // namespace korvane::graph
