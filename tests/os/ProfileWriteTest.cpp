#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "platform/os/ProfileDocument.h"
#include "platform/os/ProfileFile.h"
#include "tests/os/TempFolder.h"
#include "tests/os/Unprivileged.h"

namespace korvane::os {
namespace {

using namespace std::string_literals;
using testing::ReadBytes;
using testing::RunInChild;
using testing::TempFolder;
using testing::WriteBytes;

struct Write {
  const char* section;
  const char* key;
  const char* value;
};

struct InPlaceCase {
  const char* name;
  std::string original;  // empty: no file yet
  std::vector<Write> writes;
  std::string expected;
};

TEST(ProfileWrite, ChangesOnlyTheKeyAndKeepsEverythingElse) {
  const InPlaceCase cases[] = {
      {"crlf file with comments and foreign sections",
       "; Korvane\r\n[Foreign]\r\nkeep = me \r\n\r\n[KorvaneCamSettingsTool-Settings]\r\n"
       "; note\r\n  WIDTH = 1 \r\nstray line\r\n\r\n\r\n[Other]\r\nx=1\r\n",
       {{"KorvaneCamSettingsTool-Settings", "width", "800"},
        {"korvanecamsettingstool-settings", "Height", "600"},
        {"New", "Key", "v"}},
       "; Korvane\r\n[Foreign]\r\nkeep = me \r\n\r\n[KorvaneCamSettingsTool-Settings]\r\n"
       "; note\r\nWIDTH=800\r\nstray line\r\nHeight=600\r\n\r\n\r\n[Other]\r\nx=1\r\n"
       "[New]\r\nKey=v\r\n"},
      {"new file lists keys in the order written",
       "",
       {{"KorvaneCamSettingsTool-Settings", "Height", "740"},
        {"KorvaneCamSettingsTool-Settings", "Top", "0"},
        {"KorvaneCamSettingsTool-Settings", "Left", "0"},
        {"KorvaneCamSettingsTool-Settings", "width", "670"},
        {"KorvaneCamSettingsTool-Settings", "Top", "-20"}},
       "[KorvaneCamSettingsTool-Settings]\nHeight=740\nTop=-20\nLeft=0\nwidth=670\n"},
      {"last line without a line break",
       "[A]\nk=1",
       {{"A", "j", "2"}, {"B", "x", "y"}},
       "[A]\nk=1\nj=2\n[B]\nx=y\n"},
      {"empty section at the end without a line break", "[A]", {{"A", "k", "v"}}, "[A]\nk=v\n"},
      {"first of two equal keys, first of two equal sections",
       "[A]\nk=1\nK=2\n[a]\nk=9\n",
       {{"A", "k", "3"}, {"A", "new", "4"}},
       "[A]\nk=3\nK=2\nnew=4\n[a]\nk=9\n"},
      {"section names with brackets round-trip",
       "[Cam [HD]]\nGain=1\n",
       {{"cam [hd]", "Gain", "2"}, {"Cam [SD]", "Gain", "3"}},
       "[Cam [HD]]\nGain=2\n[Cam [SD]]\nGain=3\n"},
      {"text before the first section is kept",
       "loose=1\n",
       {{"A", "loose", "2"}},
       "loose=1\n[A]\nloose=2\n"},
      {"old mac line breaks", "[A]\rk=1\r", {{"A", "k", "2"}, {"A", "m", "3"}}, "[A]\rk=2\rm=3\r"},
      {"values with quotes and equal signs are stored as given",
       "",
       {{"A", "k", "\"q\""}, {"A", "e", "a=b"}},
       "[A]\nk=\"q\"\ne=a=b\n"},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    const auto path = folder / "settings.kcs";
    if (!c.original.empty()) WriteBytes(path, c.original);
    ProfileFile file(path);
    for (const auto& w : c.writes) {
      ASSERT_TRUE(file.WriteString(w.section, w.key, w.value))
          << c.name << ": " << file.ErrorText();
      EXPECT_EQ(file.ErrorText(), "");
    }
    EXPECT_EQ(ReadBytes(path), c.expected) << c.name;
  }
}

// A whole save sets all keys of a section at once; its bytes must be exactly those of one write
// per key, whatever the file looks like.
TEST(ProfileWrite, SettingKeysTogetherGivesTheBytesOfOneWriteEach) {
  const std::string originals[] = {
      "",
      "[Cam]",
      "; note\r\n[Other]\r\nGain=1\r\n\r\n[cam]\r\n  gain = 4 \r\nstray\r\n\r\n[Next]\r\nx=1\r\n",
      "[Cam]\nGain=1\nGAIN=2\n[Cam]\nZoom=3",
      "loose=1\n\n\n",
      "[Cam]\rGain=1\r",
      "[Cam\xE9ra]\nGain=\xFF\n",
      "\xFF\xFE[\0C\0a\0m\0]\0\r\0\n\0"s,
  };
  const std::vector<profile::KeyValue> keys = {{"Gain", "10"}, {"Zoom", "20"}, {"New", "30"},
                                               {"gain", "11"}, {"NEW", "31"},  {" Pan ", "-1"}};
  int compared = 0;
  for (const std::string& original : originals) {
    SCOPED_TRACE(original);
    for (const char* section : {"Cam", "Cam\u00E9ra", "Absent"}) {
      std::string oneByOne = original;
      bool refused = false;
      for (const auto& key : keys) {
        auto edited =
            profile::SetValue(profile::ParseProfile(oneByOne), section, key.key, key.value);
        if (std::holds_alternative<profile::EditError>(edited)) {
          refused = true;
          break;
        }
        oneByOne = std::get<std::string>(edited);
      }
      auto together = profile::SetValues(profile::ParseProfile(original), section, keys);
      if (refused) continue;
      ASSERT_TRUE(std::holds_alternative<std::string>(together)) << section;
      EXPECT_EQ(std::get<std::string>(together), oneByOne) << section;
      ++compared;
    }
  }
  // Every file can take every section: no case was left out by a refusal.
  EXPECT_EQ(compared, 3 * 8);
}

TEST(ProfileWrite, WrittenValuesReadBack) {
  TempFolder folder;
  ProfileFile file(folder / "round.kcs");
  ASSERT_TRUE(file.WriteInteger("Cam [HD]", "Brightness", -5));
  ASSERT_TRUE(file.WriteBool("Cam [HD]", "CheckBoxBrightness", true));
  ASSERT_TRUE(file.WriteString("Kamera Ü", "Name", "Wert mit ünïcödé"));
  EXPECT_EQ(file.ReadInteger("cam [hd]", "brightness", 0), -5);
  EXPECT_TRUE(file.ReadBool("Cam [HD]", "CheckBoxBrightness", false));
  EXPECT_EQ(file.ReadString("KAMERA ü", "name", ""), "Wert mit ünïcödé");
  EXPECT_EQ(ReadBytes(folder / "round.kcs"),
            "[Cam [HD]]\nBrightness=-5\nCheckBoxBrightness=1\n[Kamera Ü]\nName=Wert mit ünïcödé\n");
}

// A name or value that would break a line must never reach the file: it could
// plant keys or sections for another camera.
TEST(ProfileWrite, RefusesWhatWouldCorruptTheFile) {
  const Write refused[] = {
      {"Cam\n[Evil]", "Gain", "1"},
      {"Cam", "Gain\r\nTop", "1"},
      {"Cam", "Gain", "1\n[Evil]\nTop=5"},
      {"Cam", "Gain", "1\r"},
      {"Cam", "a=b", "1"},
      {"Cam", "[Evil]", "1"},
      {"Cam", ";comment", "1"},
      {"Cam", "  ", "1"},
      {"Cam", "Gain", "\xC3"},  // not UTF-8
  };
  TempFolder folder;
  const auto path = folder / "s.kcs";
  const std::string original = "[Cam]\r\nGain=7\r\n";
  WriteBytes(path, original);
  ProfileFile file(path);
  for (const auto& w : refused) {
    EXPECT_FALSE(file.WriteString(w.section, w.key, w.value)) << w.section << "|" << w.key;
    EXPECT_NE(file.ErrorText(), "") << w.section << "|" << w.key;
    EXPECT_EQ(ReadBytes(path), original);
  }
  const std::string withNul = "1\0[Evil]"s;
  EXPECT_FALSE(file.WriteString("Cam", "Gain", withNul));
  EXPECT_EQ(ReadBytes(path), original);
  // A later good write clears the error.
  EXPECT_TRUE(file.WriteString("Cam", "Gain", "8"));
  EXPECT_EQ(file.ErrorText(), "");
}

std::string Utf16Le(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

std::string Utf16Be(const std::u16string& text) {
  std::string bytes = "\xFE\xFF";
  for (const char16_t unit : text) {
    bytes += static_cast<char>(unit >> 8);
    bytes += static_cast<char>(unit & 0xFF);
  }
  return bytes;
}

struct EncodingCase {
  const char* name;
  std::string original;
  const char* readSection;  // a section of the original, spelled in another case
  const char* readKey;
  const char* readExpected;
  Write write;
  std::string expected;
};

TEST(ProfileWrite, ExistingFilesKeepTheirEncoding) {
  const EncodingCase cases[] = {
      {"UTF-16 LE with BOM, as Windows writes it",
       Utf16Le(u"; \u00E9\r\n[Kamera \u00C4]\r\nGain=1\r\n"),
       "KAMERA \u00E4",
       "gain",
       "1",
       {"Kamera \u00C4", "Name", "\u00DC \U0001F600"},
       Utf16Le(u"; \u00E9\r\n[Kamera \u00C4]\r\nGain=1\r\nName=\u00DC \U0001F600\r\n")},
      {"UTF-16 BE with BOM",
       Utf16Be(u"[A]\nk=\u20AC\n"),
       "a",
       "K",
       "\u20AC",
       {"a", "k", "\u00E9"},
       Utf16Be(u"[A]\nk=\u00E9\n")},
      {"Windows-1252 with a non-ASCII section name",
       "[Cam\xE9ra \x80]\r\nGain=2\r\n",
       "CAM\u00C9RA \u20AC",
       "Gain",
       "2",
       {"Cam\u00E9ra \u20AC", "Name", "\u00FC\u0153\u2122"},
       "[Cam\xE9ra \x80]\r\nGain=2\r\nName=\xFC\x9C\x99\r\n"},
      {"UTF-8 with BOM",
       "\xEF\xBB\xBF[Cam\u00E9ra]\nGain=3\n",
       "cam\u00C9ra",
       "gain",
       "3",
       {"Cam\u00E9ra", "Gain", "\u65E5"},
       "\xEF\xBB\xBF[Cam\u00E9ra]\nGain=\u65E5\n"},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    const auto path = folder / "enc.kcs";
    WriteBytes(path, c.original);
    ProfileFile file(path);
    EXPECT_EQ(file.ReadString(c.readSection, c.readKey, "missing"), c.readExpected) << c.name;
    ASSERT_TRUE(file.WriteString(c.write.section, c.write.key, c.write.value))
        << c.name << ": " << file.ErrorText();
    EXPECT_EQ(ReadBytes(path), c.expected) << c.name;
    EXPECT_EQ(file.ReadString(c.write.section, c.write.key, "missing"), c.write.value) << c.name;
  }
}

TEST(ProfileWrite, RefusesWhatTheFilesCodePageCannotKeep) {
  TempFolder folder;
  const auto path = folder / "latin.kcs";
  const std::string original = "[Cam\xE9ra]\nGain=2\n";
  WriteBytes(path, original);
  ProfileFile file(path);
  EXPECT_FALSE(file.WriteString("Cam\u00E9ra", "Name", "\u65E5\u672C"));
  EXPECT_NE(file.ErrorText().find("Windows-1252"), std::string::npos) << file.ErrorText();
  EXPECT_FALSE(file.WriteString("\u65E5", "Gain", "1"));
  EXPECT_EQ(ReadBytes(path), original);

  // Replacing the only line that is not UTF-8 would turn "Ã©" elsewhere into "é".
  const auto mojibake = folder / "mojibake.kcs";
  const std::string latin = "[Cam]\nOld=\xFF\nOther=\xC3\xA9\n";
  WriteBytes(mojibake, latin);
  ProfileFile mixed(mojibake);
  EXPECT_EQ(mixed.ReadString("Cam", "Other", ""), "\u00C3\u00A9");
  EXPECT_FALSE(mixed.WriteString("Cam", "Old", "x"));
  EXPECT_EQ(ReadBytes(mojibake), latin);
  EXPECT_TRUE(mixed.WriteString("Cam", "New", "x")) << mixed.ErrorText();
}

TEST(ProfileWrite, KeepsPermissionsAndWritesThroughLinks) {
  TempFolder folder;
  const auto target = folder / "real.kcs";
  WriteBytes(target, "[A]\nk=1\n");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  std::filesystem::create_symlink("real.kcs", folder / "link.kcs");

  ProfileFile file(folder / "link.kcs");
  ASSERT_TRUE(file.WriteString("A", "k", "2")) << file.ErrorText();
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.kcs"));
  EXPECT_EQ(ReadBytes(target), "[A]\nk=2\n");
  struct stat status {};
  ASSERT_EQ(::stat(target.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  // No temporary file stays behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 2);
}

TEST(ProfileWrite, RefusedByTheSystemLeavesEverythingAsItWas) {
  TempFolder folder;
  const auto locked = folder / "locked";
  std::filesystem::create_directory(locked);
  const auto path = locked / "s.kcs";
  const std::string original = "[Cam]\nGain=1\n";
  WriteBytes(path, original);
  ASSERT_EQ(::chmod(folder.Path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);

  const int readOnlyFolder = RunInChild(
      [&] {
        ProfileFile file(path);
        if (file.ReadInteger("Cam", "Gain", 0) != 1) return 1;
        if (file.WriteInteger("Cam", "Gain", 2)) return 2;
        if (file.ErrorText().find("Permission denied") == std::string::npos) return 3;
        if (file.WriteInteger("New", "Gain", 2)) return 4;
        return 0;
      },
      true);
  EXPECT_EQ(readOnlyFolder, 0);
  ASSERT_EQ(::chmod(locked.c_str(), 0755), 0);

  // A disk that fills up half-way: the file-size limit makes the write fail midway.
  const int fullDisk = RunInChild(
      [&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{8, 8};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
        ProfileFile file(path);
        if (file.WriteString("Cam", "Gain", std::string(100, '9'))) return 11;
        if (file.ErrorText().empty()) return 12;
        return 0;
      },
      false);
  EXPECT_EQ(fullDisk, 0);
  EXPECT_EQ(ReadBytes(path), original);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(locked), {}), 1);

  // A folder that does not exist is not created behind the caller's back.
  ProfileFile nowhere(folder / "missing" / "s.kcs");
  EXPECT_FALSE(nowhere.WriteInteger("Cam", "Gain", 1));
  EXPECT_NE(nowhere.ErrorText(), "");
  EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
}

// A save killed at any moment leaves either the previous or the next file, whole.
TEST(ProfileWrite, KilledSaveLeavesAWholeFile) {
  TempFolder folder;
  const auto path = folder / "s.kcs";
  const std::string first = "[Cam]\nValue=" + std::string(3000, 'a') + "\n";
  const std::string second = "[Cam]\nValue=" + std::string(3000, 'b') + "\n";
  for (int round = 0; round < 5; ++round) {
    WriteBytes(path, first);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ProfileFile file(path);
      for (int i = 0;; ++i) file.WriteString("Cam", "Value", std::string(3000, i % 2 ? 'a' : 'b'));
    }
    // Wait until the child has saved at least once, then kill it mid-flight.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (ReadBytes(path) == first && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::yield();
    }
    for (int spin = 0; spin < round * 1000; ++spin) std::this_thread::yield();
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    const std::string after = ReadBytes(path);
    EXPECT_TRUE(after == first || after == second) << "round " << round << ": " << after.size();
  }
}

}  // namespace
}  // namespace korvane::os
