// Feeds arbitrary bytes to the profile-file reader, through a real file and through
// the in-memory editor, and checks that a written key always reads back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <variant>

#include "platform/os/ProfileDocument.h"
#include "platform/os/ProfileFile.h"

namespace {

using korvane::os::ProfileFile;
namespace profile = korvane::os::profile;

const std::filesystem::path& InputFile() {
  static const std::filesystem::path path = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "korvane-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return std::filesystem::path(pattern) / "input.kcs";
  }();
  return path;
}

void ReadThroughFile(std::string_view bytes, std::string_view section, std::string_view key) {
  FILE* out = std::fopen(InputFile().c_str(), "wb");
  if (out == nullptr) std::abort();
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
  const ProfileFile file(InputFile());
  for (const char* name : {"Brightness", "CheckBoxBrightness", "PowerFrequency", "Top"}) {
    file.ReadInteger("KorvaneCamSettingsTool-Settings", name, 0);
    file.ReadString(section, name, "default");
  }
  if (file.ReadString(section, key, "").size() > 2047 * 4) std::abort();
  file.ReadBool(section, key, false);
  file.SectionExists(section);
}

void EditInMemory(std::string bytes, std::string_view section, std::string_view key) {
  const std::string value = "fuzz" + std::to_string(bytes.size());
  const auto document = profile::ParseProfile(std::move(bytes));
  const auto edited = profile::SetValue(document, section, key, value);
  const auto* result = std::get_if<std::string>(&edited);
  if (result == nullptr) return;  // refused: a bad name, or the file cannot hold it
  const auto after = profile::ParseProfile(*result);
  const auto readBack = profile::FindValue(after, section, key);
  if (!readBack || *readBack != value) std::abort();
  // The encoding stays, except that an 8-bit file which became plain ASCII is UTF-8 too.
  const bool plainAscii =
      std::none_of(result->begin(), result->end(), [](char byte) { return (byte & 0x80) != 0; });
  const bool sameEncoding = after.encoding == document.encoding ||
                            (document.encoding == profile::TextEncoding::Windows1252 && plainAscii);
  if (!sameEncoding) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first line names the section and key (split at a tab); the rest is the file.
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto lineEnd = input.find('\n');
  const std::string_view names = lineEnd == std::string_view::npos ? "" : input.substr(0, lineEnd);
  const std::string_view file =
      lineEnd == std::string_view::npos ? input : input.substr(lineEnd + 1);
  const auto tab = names.find('\t');
  const std::string_view section = tab == std::string_view::npos ? names : names.substr(0, tab);
  const std::string_view key = tab == std::string_view::npos ? "Gain" : names.substr(tab + 1);

  ReadThroughFile(file, section, key);
  EditInMemory(std::string(file), section, key);
  return 0;
}
