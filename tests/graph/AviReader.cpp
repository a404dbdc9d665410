#include "tests/graph/AviReader.h"

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>

namespace korvane::graph::testing {
namespace {

DWORD Le32(const BYTE* at) {
  return DWORD{at[0]} | DWORD{at[1]} << 8 | DWORD{at[2]} << 16 | DWORD{at[3]} << 24;
}

std::string Code(const BYTE* at) {
  return std::string(reinterpret_cast<const char*>(at), 4);
}

// Calls visit(code, body, size, position of the chunk) for each chunk between begin and end;
// false when a chunk runs past end.
bool Walk(
    const std::vector<BYTE>& file, std::size_t begin, std::size_t end,
    const std::function<void(const std::string&, std::size_t, std::size_t, std::size_t)>& visit) {
  std::size_t at = begin;
  while (at + 8 <= end) {
    const std::size_t size = Le32(&file[at + 4]);
    const std::size_t body = at + 8;
    if (body + size > end) return false;
    visit(Code(&file[at]), body, size, at);
    at = body + size + size % 2;
  }
  return at == end || at == end + 1;
}

}  // namespace

AviFile ReadAvi(const std::filesystem::path& path) {
  AviFile avi;
  std::ifstream in(path, std::ios::binary);
  const std::vector<BYTE> file{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
  avi.fileSize = file.size();
  if (file.size() < 12 || Code(&file[0]) != "RIFF" || Code(&file[8]) != "AVI ") {
    avi.error = "not a RIFF AVI file";
    return avi;
  }
  if (Le32(&file[4]) + 8ull != file.size()) {
    avi.error = "RIFF size " + std::to_string(Le32(&file[4])) + " for a file of " +
                std::to_string(file.size()) + " bytes";
    return avi;
  }
  std::size_t movieCode = 0;
  std::map<std::size_t, std::size_t> chunkAt;  // position from the movie code -> frame number
  std::vector<BYTE> index;
  const auto headers = [&](const std::string& code, std::size_t body, std::size_t size,
                           std::size_t) {
    if (code == "avih" && size >= 56) {
      avi.totalFrames = Le32(&file[body + 16]);
      avi.width = Le32(&file[body + 32]);
      avi.height = Le32(&file[body + 36]);
    } else if (code == "strh" && size >= 56) {
      avi.streamType = Code(&file[body]);
      avi.handler = Code(&file[body + 4]);
      avi.scale = Le32(&file[body + 20]);
      avi.rate = Le32(&file[body + 24]);
      avi.length = Le32(&file[body + 32]);
    } else if (code == "strf" && size >= sizeof(BITMAPINFOHEADER)) {
      std::memcpy(&avi.format, &file[body], sizeof avi.format);
    }
  };
  const bool whole = Walk(
      file, 12, file.size(),
      [&](const std::string& code, std::size_t body, std::size_t size, std::size_t) {
        if (code == "LIST" && size >= 4 && Code(&file[body]) == "hdrl") {
          Walk(file, body + 4, body + size,
               [&](const std::string& inner, std::size_t innerBody, std::size_t innerSize,
                   std::size_t at) {
                 if (inner == "LIST" && innerSize >= 4 && Code(&file[innerBody]) == "strl") {
                   Walk(file, innerBody + 4, innerBody + innerSize, headers);
                 } else {
                   headers(inner, innerBody, innerSize, at);
                 }
               });
        } else if (code == "LIST" && size >= 4 && Code(&file[body]) == "movi") {
          movieCode = body;
          Walk(file, body + 4, body + size,
               [&](const std::string& frame, std::size_t frameBody, std::size_t frameSize,
                   std::size_t at) {
                 chunkAt[at - movieCode] = avi.frames.size();
                 avi.frames.push_back(
                     {frame,
                      std::vector<BYTE>(file.begin() + static_cast<long>(frameBody),
                                        file.begin() + static_cast<long>(frameBody + frameSize))});
               });
        } else if (code == "idx1") {
          index.assign(file.begin() + static_cast<long>(body),
                       file.begin() + static_cast<long>(body + size));
        }
      });
  if (!whole) {
    avi.error = "a chunk runs past the end of its list";
    return avi;
  }
  avi.indexEntries = index.size() / 16;
  for (std::size_t i = 0; i < avi.indexEntries; ++i) {
    const BYTE* entry = &index[i * 16];
    const auto found = chunkAt.find(Le32(entry + 8));
    if (found == chunkAt.end() || found->second != i || Code(entry) != avi.frames[i].chunkId ||
        Le32(entry + 12) != avi.frames[i].bytes.size()) {
      avi.error = "index entry " + std::to_string(i) + " does not point at its chunk";
      return avi;
    }
  }
  return avi;
}

}  // namespace korvane::graph::testing
