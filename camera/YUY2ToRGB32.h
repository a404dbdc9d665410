#pragma once
// Packed YUY2 to 32-bit pixels (bytes B, G, R, 255 in memory), driven by four constant chroma
// tables. The tables are the definition of the conversion; the vectorised paths compute the
// same values without them and are proven equal to them over every (Y, U, V) triple.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/com/ComTypes.h"

// Converts Width × Height pixels of Source into Destination, bottom-up: source row r becomes
// destination row Height - 1 - r, the columns keep their order. Source rows are 2 × Width
// bytes with nothing between them, and a U, V pair serves two neighbouring pixels of the one
// continuous run, across row ends. Source holds YUY2SourceSize(Width, Height) bytes.
void YUY2ToRGB32(const BYTE* Source, LONG Width, LONG Height, DWORD* Destination);

namespace korvane::camera {

// The bytes a conversion of Width × Height pixels reads: whole 4-byte groups, so an odd pixel
// count reads the last pixel's group whole. 0 when either size is not positive.
std::size_t YUY2SourceSize(LONG Width, LONG Height);

// Chroma contribution for a chroma byte c: k × (c - 128) truncated toward zero.
extern const std::array<std::int32_t, 256> kRedFromV;
extern const std::array<std::int32_t, 256> kGreenFromV;
extern const std::array<std::int32_t, 256> kGreenFromU;
extern const std::array<std::int32_t, 256> kBlueFromU;

// Converts Count pixels of the continuous run in Source, starting at pixel First (whose Y is
// at byte 2 × First), into Destination[0 .. Count).
using TYUY2RunConverter = void (*)(const BYTE* Source, std::size_t First, std::size_t Count,
                                   DWORD* Destination);

struct TYUY2Path {
  const char* Name;
  TYUY2RunConverter Convert;
};

// The paths: the tables themselves, and the vectorised ones where the processor has them.
void ConvertYUY2RunByTables(const BYTE* Source, std::size_t First, std::size_t Count,
                            DWORD* Destination);
#if defined(__x86_64__)
#define KORVANE_YUY2_X86 1
void ConvertYUY2RunSse2(const BYTE* Source, std::size_t First, std::size_t Count,
                        DWORD* Destination);
void ConvertYUY2RunAvx2(const BYTE* Source, std::size_t First, std::size_t Count,
                        DWORD* Destination);
#endif

// Every path this processor can run, the table-driven one first and the fastest last.
std::span<const TYUY2Path> AvailableYUY2Paths();

// Converts Height rows of Width pixels; row r goes to Destination + r × DestinationStride
// bytes (a negative stride writes bottom-up). Nothing for a non-positive size.
void ConvertYUY2Rows(const BYTE* Source, LONG Width, LONG Height, BYTE* Destination,
                     std::ptrdiff_t DestinationStride);

}  // namespace korvane::camera
