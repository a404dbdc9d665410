#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/os/DebugOutput.h"
#include "platform/os/DocumentsFolder.h"
#include "platform/os/ProcessSnapshot.h"
#include "tests/os/TempFolder.h"

namespace korvane::os {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

// Sets or unsets an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(DocumentsFolder, FollowsTheUserDirsFileElseHomeDocuments) {
  TempFolder home;
  const std::string h = home.Path().string();
  const struct {
    const char* name;
    std::optional<std::string> userDirs;  // content of ~/.config/user-dirs.dirs
    std::string expected;
  } cases[] = {
      {"no user-dirs file", std::nullopt, h + "/Documents"},
      {"relative to home",
       "# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n",
       h + "/Dokumente"},
      {"absolute with trailing slash", "XDG_DOCUMENTS_DIR=\"/data/my docs/\"\n", "/data/my docs"},
      {"escaped quote", "XDG_DOCUMENTS_DIR=\"$HOME/a\\\"b\"\n", h + "/a\"b"},
      {"relative path is not allowed", "XDG_DOCUMENTS_DIR=\"docs\"\n", h + "/Documents"},
      {"unterminated", "XDG_DOCUMENTS_DIR=\"$HOME/x\n", h + "/Documents"},
  };
  const ScopedEnv homeEnv("HOME", h);
  const ScopedEnv configEnv("XDG_CONFIG_HOME", std::nullopt);
  std::filesystem::create_directories(home / ".config");
  for (const auto& c : cases) {
    std::filesystem::remove(home / ".config/user-dirs.dirs");
    if (c.userDirs) WriteBytes(home / ".config/user-dirs.dirs", *c.userDirs);
    EXPECT_EQ(DocumentsFolder(), c.expected) << c.name;
  }
}

TEST(DocumentsFolder, HonoursXdgConfigHomeAndFallsBackToThePasswordEntry) {
  TempFolder home;
  TempFolder config;
  WriteBytes(config / "user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Papiere\"\n");
  {
    const ScopedEnv homeEnv("HOME", home.Path().string());
    const ScopedEnv configEnv("XDG_CONFIG_HOME", config.Path().string());
    EXPECT_EQ(DocumentsFolder(), home.Path().string() + "/Papiere");
  }
  {
    const ScopedEnv homeEnv("HOME", "/");
    const ScopedEnv configEnv("XDG_CONFIG_HOME", "/nonexistent-korvane");
    EXPECT_EQ(DocumentsFolder(), "/Documents");
  }
  const ScopedEnv homeEnv("HOME", std::nullopt);
  const ScopedEnv configEnv("XDG_CONFIG_HOME", "/nonexistent-korvane");
  const std::string folder = DocumentsFolder();
  EXPECT_TRUE(folder.starts_with("/")) << folder;
  EXPECT_TRUE(folder.ends_with("/Documents")) << folder;
}

TEST(ProcessSnapshot, CountsThisProcessAndItsCopies) {
  const std::string own = OwnExecutableName();
  EXPECT_EQ(own, "os_tests");
  EXPECT_GE(CountProcessesNamed(own), 1u);
  EXPECT_EQ(CountProcessesNamed("korvane-no-such-program-7f3a"), 0u);
  EXPECT_EQ(CountProcessesNamed("OS_TESTS"), 0u);  // case counts
  const auto names = RunningExecutableNames();
  EXPECT_NE(std::find(names.begin(), names.end(), own), names.end());
  for (const auto& name : names) EXPECT_EQ(name.find('/'), std::string::npos) << name;

  // Copies of one executable under a unique file name are counted by that name, whatever
  // folder they run from; other tests of this binary may run in parallel, so the count of
  // os_tests itself is not stable enough to compare.
  TempFolder folder;
  const std::string unique = "kvcopy-" + std::to_string(::getpid());
  std::filesystem::create_directories(folder / "a");
  std::filesystem::create_directories(folder / "b");
  std::vector<pid_t> copies;
  for (const char* sub : {"a", "b"}) {
    const auto path = folder / sub / unique;
    std::filesystem::copy_file("/bin/sleep", path);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::execl(path.c_str(), unique.c_str(), "30", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    copies.push_back(child);
  }
  // exec is asynchronous to the parent: wait (bounded) until both copies carry the name.
  std::size_t seen = 0;
  for (int attempt = 0; attempt < 500 && seen < 2; ++attempt) {
    seen = CountProcessesNamed(unique);
    if (seen < 2) ::usleep(10'000);
  }
  EXPECT_EQ(seen, 2u);
  for (const pid_t child : copies) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
  }
  EXPECT_EQ(CountProcessesNamed(unique), 0u);
}

TEST(DebugOutput, WritesTheMessageUnchangedAsOneLineOnStandardError) {
  TempFolder folder;
  const auto capture = folder / "stderr.txt";
  std::fflush(stderr);
  const int saved = ::dup(STDERR_FILENO);
  FILE* sink = std::fopen(capture.c_str(), "w");
  ASSERT_NE(sink, nullptr);
  ::dup2(::fileno(sink), STDERR_FILENO);
  OutputDebugString(" Aktives Control: TrackBarBrightness");
  OutputDebugString("");
  OutputDebugString(" ");
  OutputDebugString("ünïcödé ### und weiter");
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  std::fclose(sink);
  EXPECT_EQ(ReadBytes(capture),
            " Aktives Control: TrackBarBrightness\n\n \nünïcödé ### und weiter\n");
}

}  // namespace
}  // namespace korvane::os
