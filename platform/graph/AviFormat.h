#pragma once
// The records of an AVI file (RIFF 'AVI '), laid out byte for byte as the format stores them in
// little-endian order, and where the multiplexer puts them.

#include <bit>
#include <cstddef>
#include <cstdint>

#include "platform/DirectShow9.h"

namespace korvane::graph::avi {

static_assert(std::endian::native == std::endian::little, "AVI records are written as they lie");

constexpr DWORD kRiff = MakeFourCC('R', 'I', 'F', 'F');
constexpr DWORD kAvi = MakeFourCC('A', 'V', 'I', ' ');
constexpr DWORD kList = MakeFourCC('L', 'I', 'S', 'T');
constexpr DWORD kHeaderList = MakeFourCC('h', 'd', 'r', 'l');
constexpr DWORD kMainHeader = MakeFourCC('a', 'v', 'i', 'h');
constexpr DWORD kStreamList = MakeFourCC('s', 't', 'r', 'l');
constexpr DWORD kStreamHeader = MakeFourCC('s', 't', 'r', 'h');
constexpr DWORD kStreamFormat = MakeFourCC('s', 't', 'r', 'f');
constexpr DWORD kMovieList = MakeFourCC('m', 'o', 'v', 'i');
constexpr DWORD kIndex = MakeFourCC('i', 'd', 'x', '1');
constexpr DWORD kVideoStream = MakeFourCC('v', 'i', 'd', 's');
constexpr DWORD kCompressedFrame = MakeFourCC('0', '0', 'd', 'c');
constexpr DWORD kUncompressedFrame = MakeFourCC('0', '0', 'd', 'b');

constexpr DWORD kHasIndex = 0x10;  // AVIF_HASINDEX
constexpr DWORD kKeyFrame = 0x10;  // AVIIF_KEYFRAME

struct MainHeader {
  DWORD microSecPerFrame;
  DWORD maxBytesPerSec;
  DWORD paddingGranularity;
  DWORD flags;
  DWORD totalFrames;
  DWORD initialFrames;
  DWORD streams;
  DWORD suggestedBufferSize;
  DWORD width;
  DWORD height;
  DWORD reserved[4];
};
static_assert(sizeof(MainHeader) == 56);

struct StreamHeader {
  DWORD type;
  DWORD handler;
  DWORD flags;
  WORD priority;
  WORD language;
  DWORD initialFrames;
  DWORD scale;
  DWORD rate;
  DWORD start;
  DWORD length;
  DWORD suggestedBufferSize;
  DWORD quality;
  DWORD sampleSize;
  std::int16_t frameLeft, frameTop, frameRight, frameBottom;
};
static_assert(sizeof(StreamHeader) == 56);

struct IndexEntry {
  DWORD chunkId;
  DWORD flags;
  DWORD offset;  // of the chunk's header, from the 'movi' code of the movie list
  DWORD length;
};
static_assert(sizeof(IndexEntry) == 16);

// The file as the multiplexer writes it: the header lists, then the movie list's chunks from
// kMovieData on, then the index.
struct Headers {
  DWORD riff, riffSize, avi;
  DWORD headerList, headerListSize, hdrl;
  DWORD avih, avihSize;
  MainHeader main;
  DWORD streamList, streamListSize, strl;
  DWORD strh, strhSize;
  StreamHeader stream;
  DWORD strf, strfSize;
  BITMAPINFOHEADER format;
  DWORD movieList, movieListSize, movi;
};
static_assert(sizeof(Headers) == 224);
constexpr std::size_t kMovieCode = offsetof(Headers, movi);
constexpr std::size_t kMovieData = sizeof(Headers);

}  // namespace korvane::graph::avi
