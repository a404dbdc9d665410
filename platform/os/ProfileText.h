#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Text helpers of the profile-file reader and writer: the encodings a profile file
// may be stored in, UTF-8 decoding, and the case folding used to compare names.
namespace korvane::os::profile {

enum class TextEncoding {
  Utf8,         // also every new file
  Utf8Bom,      // UTF-8 that starts with EF BB BF
  Utf16Le,      // starts with FF FE, as Windows writes Unicode profile files
  Utf16Be,      // starts with FE FF
  Windows1252,  // anything that is not valid UTF-8: the Western 8-bit code page
};

// Bytes that start a file in this encoding (empty for Utf8 and Windows1252).
std::string_view ByteOrderMark(TextEncoding encoding);

// Decodes one code point at pos and advances; a malformed sequence gives U+FFFD and
// advances by one byte, so every loop over hostile input ends.
char32_t NextCodePoint(std::string_view utf8, std::size_t& pos);
bool IsValidUtf8(std::string_view bytes);

char32_t Windows1252ToUnicode(unsigned char byte);

// Converts UTF-8 text into the bytes of the encoding; nullopt when the encoding
// cannot hold one of its characters (only Windows-1252 can fail).
std::optional<std::string> EncodeText(std::string_view utf8, TextEncoding encoding);

// Simple case folding for ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic,
// the scripts in which device and section names are realistically written.
char32_t FoldCase(char32_t codePoint);
bool EqualIgnoringCase(std::string_view a, std::string_view b);

// Spaces and tabs around names and values, as the profile functions trim them.
std::string_view TrimBlanks(std::string_view text);

}  // namespace korvane::os::profile
