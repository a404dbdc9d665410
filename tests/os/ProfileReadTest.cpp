#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "platform/os/ProfileFile.h"
#include "tests/os/TempFolder.h"

namespace korvane::os {
namespace {

using namespace std::string_literals;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

constexpr const char* kGeometry = "KorvaneCamSettingsTool-Settings";

struct IntegerCase {
  const char* section;
  const char* key;
  std::int32_t defaultValue;
  std::int32_t expected;
};

TEST(ProfileRead, IntegersFollowTheProfileRules) {
  TempFolder folder;
  WriteBytes(folder / "geometry.ini",
             "; geometry of the window\n"
             "[KorvaneCamSettingsTool-Settings]\n"
             "Top=-50\n"
             "  Left = 0x1F  \n"
             "width=0X1f\n"
             "Height=abc\n"
             "TrailingJunk=12abc\n"
             "Empty=\n"
             "TooBig=2147483648\n"
             "Smallest=-2147483648\n"
             "AllBits=0xFFFFFFFF\n"
             "NineDigits=0x100000000\n"
             "JustPrefix=0x\n"
             "NegativeHex=-0x10\n"
             "Plus=+7\n"
             "Quoted=\"42\"\n"
             "Inner=1 2\n"
             "not a key line\n"
             "[Other]\n"
             "Top=99\n"
             "[kORVANEcAMsETTINGStOOL-sETTINGS]\n"
             "OnlyInSecondCopy=5\n");
  const ProfileFile file(folder / "geometry.ini");
  const IntegerCase cases[] = {
      {kGeometry, "Top", 0, -50},
      {kGeometry, "Left", 0, 31},
      {kGeometry, "width", 670, 31},
      {kGeometry, "Height", 740, 740},
      {kGeometry, "TrailingJunk", -1, -1},
      {kGeometry, "Empty", -1, -1},
      {kGeometry, "TooBig", -1, -1},
      {kGeometry, "Smallest", 0, INT32_MIN},
      {kGeometry, "AllBits", 0, -1},
      {kGeometry, "NineDigits", 3, 3},
      {kGeometry, "JustPrefix", 3, 3},
      {kGeometry, "NegativeHex", 3, 3},
      {kGeometry, "Plus", 0, 7},
      {kGeometry, "Quoted", 0, 42},
      {kGeometry, "Inner", 3, 3},
      {kGeometry, "not a key line", 3, 3},
      {kGeometry, "Missing", 670, 670},
      {"KORVANECAMSETTINGSTOOL-SETTINGS", "TOP", 0, -50},
      {"  KorvaneCamSettingsTool-Settings ", " top ", 0, -50},
      {"Other", "Top", 0, 99},
      {"Missing", "Top", 740, 740},
      // Only the first of two sections with the same name counts, for reads and writes alike.
      {kGeometry, "OnlyInSecondCopy", 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(file.ReadInteger(c.section, c.key, c.defaultValue), c.expected)
        << c.section << " / " << c.key;
  }
  EXPECT_TRUE(file.ReadBool(kGeometry, "Left", false));
  EXPECT_FALSE(file.ReadBool(kGeometry, "Height", false));  // not a number
  EXPECT_TRUE(file.ReadBool(kGeometry, "Height", true));
}

TEST(ProfileRead, MissingFileGivesTheGeometryDefaults) {
  TempFolder folder;
  const ProfileFile file(folder / "KorvaneCamSettingsTool.ini");
  EXPECT_EQ(file.ReadInteger(kGeometry, "Top", 0), 0);
  EXPECT_EQ(file.ReadInteger(kGeometry, "Left", 0), 0);
  EXPECT_EQ(file.ReadInteger(kGeometry, "width", 670), 670);
  EXPECT_EQ(file.ReadInteger(kGeometry, "Height", 740), 740);
  EXPECT_FALSE(file.SectionExists(kGeometry));
  EXPECT_EQ(file.ReadString(kGeometry, "Top", "fallback"), "fallback");
}

TEST(ProfileRead, StringsAreTrimmedAndUnquotedLikeThePlatform) {
  TempFolder folder;
  WriteBytes(folder / "s.kcs",
             "[Cam [HD]]\n"
             "Text = \"  hello  \"\n"
             "Single='x'\n"
             "Mismatch=\"x'\n"
             "LoneQuote=\"\n"
             "Equals=a=b\n"
             "Tabs=\tvalue\t\n"
             "NulInside=12\0junk\n"
             "[Kamera ÄÖÜ ΣΩ Камера]\n"
             "Brightness=128\n"s);
  const ProfileFile file(folder / "s.kcs");
  const struct {
    const char* section;
    const char* key;
    const char* expected;
  } cases[] = {
      {"Cam [HD]", "Text", "  hello  "}, {"cam [hd]", "single", "x"},
      {"Cam [HD]", "Mismatch", "\"x'"},  {"Cam [HD]", "LoneQuote", "\""},
      {"Cam [HD]", "Equals", "a=b"},     {"Cam [HD]", "Tabs", "value"},
      {"Cam [HD]", "NulInside", "12"},   {"kamera äöü σω КАМЕРА", "BRIGHTNESS", "128"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(file.ReadString(c.section, c.key, "default"), c.expected)
        << c.section << " / " << c.key;
  }
  EXPECT_TRUE(file.SectionExists("CAM [HD]"));
  EXPECT_FALSE(file.SectionExists("Cam"));
}

TEST(ProfileRead, ValuesAreCutAt2047Characters) {
  TempFolder folder;
  std::string longValue;
  for (int i = 0; i < 3000; ++i) longValue += "é";  // two bytes each: characters, not bytes
  WriteBytes(folder / "long.kcs", "[Cam]\nLong=" + longValue + "\n");
  const ProfileFile file(folder / "long.kcs");
  const std::string value = file.ReadString("Cam", "Long", "");
  EXPECT_EQ(value, longValue.substr(0, 2047 * 2));
  EXPECT_EQ(file.ReadString("Cam", "Missing", longValue), longValue.substr(0, 2047 * 2));
}

TEST(ProfileRead, ReReadsTheFileOnlyWhenItChanged) {
  TempFolder folder;
  const auto path = folder / "c.kcs";
  WriteBytes(path, "[Cam]\nGain=1\n");
  const ProfileFile file(path);
  EXPECT_EQ(file.ReadInteger("Cam", "Gain", 0), 1);

  // Same size, another program's write: the modification time tells it apart.
  WriteBytes(path, "[Cam]\nGain=2\n");
  timeval later[2] = {{2000000000, 0}, {2000000000, 0}};
  ASSERT_EQ(::utimes(path.c_str(), later), 0);
  EXPECT_EQ(file.ReadInteger("Cam", "Gain", 0), 2);

  ProfileFile writer(path);
  ASSERT_TRUE(writer.WriteInteger("Cam", "Gain", 3)) << writer.ErrorText();
  EXPECT_EQ(file.ReadInteger("Cam", "Gain", 0), 3);

  std::filesystem::remove(path);
  EXPECT_EQ(file.ReadInteger("Cam", "Gain", -7), -7);
}

// Whatever the file holds, a read ends quickly with the defaults and without
// claiming memory in proportion to a huge file.
TEST(ProfileRead, HostileFilesGiveDefaults) {
  TempFolder folder;
  std::filesystem::create_directory(folder / "folder.kcs");
  ASSERT_EQ(::mkfifo((folder / "fifo.kcs").c_str(), 0600), 0);

  std::string binary(64 * 1024, '\0');
  std::mt19937 random(7);
  for (char& byte : binary) byte = static_cast<char>(random());
  WriteBytes(folder / "binary.kcs", binary);
  WriteBytes(folder / "nul.kcs", std::string(4096, '\0'));
  WriteBytes(folder / "longline.kcs", "[Cam]\nGain=" + std::string(1 << 20, '7') + "\n");

  // 100 MB, sparse, with a valid key at its start that must not be seen.
  const auto huge = folder / "huge.kcs";
  WriteBytes(huge, "[Cam]\nGain=5\n");
  std::filesystem::resize_file(huge, 100u << 20);

  for (const char* name :
       {"folder.kcs", "fifo.kcs", "binary.kcs", "nul.kcs", "longline.kcs", "huge.kcs"}) {
    const ProfileFile file(folder / name);
    EXPECT_EQ(file.ReadInteger("Cam", "Gain", -3), -3) << name;
    EXPECT_EQ(file.ReadString("Cam", "Gain", "d").size() <= 2047 * 4, true) << name;
    EXPECT_FALSE(file.SectionExists("Other")) << name;
  }
  // Writes refuse what they could not read back whole, and leave it alone.
  for (const char* name : {"folder.kcs", "fifo.kcs", "huge.kcs"}) {
    ProfileFile file(folder / name);
    EXPECT_FALSE(file.WriteInteger("Cam", "Gain", 1)) << name;
    EXPECT_FALSE(file.ErrorText().empty()) << name;
  }
  EXPECT_EQ(std::filesystem::file_size(huge), 100u << 20);
  EXPECT_TRUE(std::filesystem::is_fifo(folder / "fifo.kcs"));
}

}  // namespace
}  // namespace korvane::os
