#pragma once
// A small AVI reader of the tests' own: it walks the RIFF chunks as any reader does, without
// assuming where the writer put them, and checks that sizes, counts and the index agree.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/com/MediaTypes.h"

namespace korvane::graph::testing {

struct AviFrame {
  std::string chunkId;
  std::vector<BYTE> bytes;
};

struct AviFile {
  std::string error;  // empty for a file that reads back whole
  DWORD totalFrames = 0, width = 0, height = 0;
  std::string streamType, handler;
  DWORD scale = 0, rate = 0, length = 0;
  BITMAPINFOHEADER format{};
  std::vector<AviFrame> frames;
  std::size_t indexEntries = 0;
  std::uintmax_t fileSize = 0;
};

AviFile ReadAvi(const std::filesystem::path& file);

}  // namespace korvane::graph::testing
