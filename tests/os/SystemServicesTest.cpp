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

#include "platform/os/ChildProcess.h"
#include "platform/os/DebugOutput.h"
#include "platform/os/DocumentsFolder.h"
#include "platform/os/InstanceClaim.h"
#include "platform/os/OwnExecutable.h"
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

TEST(OwnExecutable, IsTheFileNameWithoutFolder) {
  EXPECT_EQ(OwnExecutableName(), "os_tests");
}

// A name unique to this test run, so that parallel runs and an open tool never meet it.
std::string UniqueClaimName(const char* what) {
  return std::string("korvane-test-") + what + "-" + std::to_string(::getpid());
}

TEST(InstanceClaim, OneHolderPerNameUntilItLetsGo) {
  const std::string name = UniqueClaimName("holder");
  {
    std::optional<InstanceClaim> first = InstanceClaim::Take(name);
    ASSERT_TRUE(first.has_value());
    EXPECT_FALSE(InstanceClaim::Take(name).has_value());
    EXPECT_TRUE(InstanceClaim::Take(name + "-other").has_value());
  }
  EXPECT_TRUE(InstanceClaim::Take(name).has_value());

  // The process-wide question: the first asker holds the name for good and is never
  // "another" itself.
  const std::string program = UniqueClaimName("program");
  EXPECT_FALSE(AnotherProcessClaims(program));
  EXPECT_FALSE(AnotherProcessClaims(program));
  EXPECT_FALSE(InstanceClaim::Take(program).has_value());
}

TEST(InstanceClaim, AnotherProcessHoldsItUntilItDiesAndProgramsItStartsNever) {
  const std::string name = UniqueClaimName("crash");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    std::optional<InstanceClaim> claim = InstanceClaim::Take(name);
    const char answer = claim ? 'y' : 'n';
    if (::write(ready[1], &answer, 1) != 1) ::_exit(1);
    ::pause();
    ::_exit(0);
  }
  char answer = 0;
  ASSERT_EQ(::read(ready[0], &answer, 1), 1);
  ::close(ready[0]);
  ::close(ready[1]);
  EXPECT_EQ(answer, 'y');
  EXPECT_TRUE(AnotherProcessClaims(name));
  // Killed without a chance to clean up: the kernel lets the name go.
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  EXPECT_FALSE(AnotherProcessClaims(name));

  // A program started by the holder does not inherit the claim.
  const std::string started = UniqueClaimName("started");
  std::optional<InstanceClaim> claim = InstanceClaim::Take(started);
  ASSERT_TRUE(claim.has_value());
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Until the child has replaced itself by the program it shares the claim's socket.
  const std::string exe = "/proc/" + std::to_string(child) + "/exe";
  for (int attempt = 0; attempt < 3000; ++attempt) {
    std::error_code error;
    if (std::filesystem::read_symlink(exe, error).filename() == "sleep") break;
    ::usleep(10'000);
  }
  claim.reset();
  EXPECT_TRUE(InstanceClaim::Take(started).has_value());
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
}

// A helper that hangs must not hang the tool that runs it.
TEST(RunProgram, EndsAProgramThatRunsPastTheTimeLimit) {
  const ProgramRun hung =
      RunProgram({"sh", "-c", "echo waiting; exec sleep 600"}, std::chrono::milliseconds(200));
  EXPECT_TRUE(hung.Started);
  EXPECT_TRUE(hung.TimedOut);
  EXPECT_EQ(hung.ExitCode, 128 + SIGKILL);
  EXPECT_EQ(hung.Output, "waiting\n");
  const ProgramRun quick = RunProgram({"sh", "-c", "echo done"});
  EXPECT_FALSE(quick.TimedOut);
  EXPECT_EQ(quick.ExitCode, 0);
  EXPECT_EQ(quick.Output, "done\n");
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
