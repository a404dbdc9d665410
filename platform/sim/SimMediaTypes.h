#pragma once
// The media types a simulated capture pin offers, built from the formats of its description
// with the format block laid out as the platform lays it out.

#include <memory>

#include "platform/DirectShow9.h"
#include "platform/sim/SimDescription.h"

namespace korvane::sim {

// The largest format block a format may declare; real ones are about a hundred bytes.
inline constexpr ULONG kMaxFormatBlockSize = 65536;

// The bytes of a picture of this format, as lSampleSize and biSizeImage report them.
ULONG SampleSizeOf(const SimFormat& format);

// A media type of the format in task memory, owned by the caller (freed as the platform's
// media types are: format block, pUnk, record). nullptr when memory runs out or the format
// declares a block larger than kMaxFormatBlockSize.
AM_MEDIA_TYPE* CreateSimMediaType(const SimFormat& format);

// Whether a media type a caller hands back describes this offered format: the same major
// type, subtype and format type and, in the video picture header, the same size, frame time,
// bit count and compression.
bool DescribesFormat(const AM_MEDIA_TYPE& type, const SimFormat& format);

}  // namespace korvane::sim

namespace korvane::sim {

// Frees a media type the platform handed out: its format block, its pUnk and the record.
void DeleteSimMediaType(AM_MEDIA_TYPE* type);
struct SimMediaTypeDelete {
  void operator()(AM_MEDIA_TYPE* type) const { DeleteSimMediaType(type); }
};
using SimMediaTypePtr = std::unique_ptr<AM_MEDIA_TYPE, SimMediaTypeDelete>;

}  // namespace korvane::sim
