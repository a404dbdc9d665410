// A guarded camera while other programs use it: the real watcher against the emulated kernel,
// with korvane-other-program (a stand-in for a browser starting a video call) as the other
// program, and the tool's own writes as the user's.
#include <linux/videodev2.h>
#include <signal.h>

#include <gtest/gtest.h>

#include <sstream>

#include <nlohmann/json.hpp>

#include "tests/cli/EmulatedCameraFile.h"
#include "tests/cli/ToolRun.h"

namespace korvane::cli::testing {
namespace {

using nlohmann::json;

// What each camera is remembered with: every kind of setting away from its default.
const std::vector<std::string> kRemembered = {
    "Brightness=40",   "Contrast=60",  "WhiteBalance=manual", "WhiteBalance=3500",
    "Exposure=manual", "Exposure=400", "PowerFrequency=60"};
const std::vector<std::pair<std::string, int>> kRememberedValues = {
    {"brightness", 40},
    {"contrast", 60},
    {"white_balance_automatic", 0},
    {"white_balance_temperature", 3500},
    {"auto_exposure", 1},
    {"exposure_time_absolute", 400},
    {"power_line_frequency", 2}};

class GuardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FCameras.Write({{"cameras",
                     {TEmulatedCameraFile::TestCamera("solo", {{"vendor", "c0de"},
                                                               {"product", "0a10"},
                                                               {"manufacturer", "Korvane"},
                                                               {"productName", "Solo Cam"},
                                                               {"serial", "S-1"}}),
                      TEmulatedCameraFile::TestCamera("free", {{"vendor", "c0de"},
                                                               {"product", "0b20"},
                                                               {"manufacturer", "Korvane"},
                                                               {"productName", "Free Cam"},
                                                               {"serial", "F-1"}})}}});
  }

  TEnvironment Environment() const {
    return {{"KORVANE_CAMERAS", std::nullopt},
            {"KORVANE_V4L2_EMULATION", FCameras.Path().string()},
            {"XDG_CONFIG_HOME", (FFolder / "config").string()}};
  }
  void RunOk(std::vector<std::string> arguments) const {
    const TToolRun run = RunTool(Environment(), arguments);
    ASSERT_EQ(run.ExitCode, 0) << arguments.front() << ": " << run.Err;
  }
  void Remember(const std::string& camera, bool guarded) const {
    std::vector<std::string> set{"set", camera};
    set.insert(set.end(), kRemembered.begin(), kRemembered.end());
    RunOk(set);
    std::vector<std::string> remember{"remember", camera};
    if (!guarded) remember.push_back("--no-guard");
    RunOk(remember);
  }
  std::unique_ptr<TBackgroundTool> OtherProgram(const std::string& node,
                                                std::vector<std::string> options = {}) const {
    options.insert(options.begin(), node);
    return std::make_unique<TBackgroundTool>(Environment(), options, OtherProgramPath());
  }
  // Whether the process holds an emulated camera open, as the processes on the file tell it.
  bool Holds(pid_t pid) const {
    const std::string text = ReadText(FCameras.Path().string() + ".users/opens");
    if (text.empty()) return false;
    const json users = json::parse(text);  // items() refers to it
    for (const auto& [process, open] : users.items()) {
      if (process.starts_with(std::to_string(pid) + ":")) return true;
    }
    return false;
  }
  int Value(const std::string& camera, const std::string& control) const {
    return FCameras.Value(camera, control);
  }
  bool AllRemembered(const std::string& camera) const {
    for (const auto& [control, value] : kRememberedValues) {
      if (Value(camera, control) != value) return false;
    }
    return true;
  }

  TScratchFolder FFolder;
  TEmulatedCameraFile FCameras{FFolder / "cameras.json"};
};

TEST_F(GuardTest, ABrowserResetIsPutBackOnAGuardedCameraAndKeptOnOneRememberedWithoutGuard) {
  Remember("0", true);
  Remember("1", false);
  const json remembered = json::parse(RunTool(Environment(), {"remembered", "--json"}).Out);
  ASSERT_EQ(remembered.size(), 2u) << remembered;
  EXPECT_EQ(remembered[0]["name"], "Free Cam");
  EXPECT_EQ(remembered[0]["guarded"], false);
  EXPECT_EQ(remembered[1]["guarded"], true);

  TBackgroundTool watcher(Environment(), {"restore", "--watch"});
  ASSERT_TRUE(watcher.WaitForErr("korvane-cam: watching")) << watcher.Err();
  // Nothing of the watcher's is open on a camera that no other program uses.
  EXPECT_FALSE(Holds(watcher.Pid()));

  auto unguarded = OtherProgram("/dev/video2", {"--seconds", "0.2"});
  ASSERT_EQ(unguarded->Wait(), 0) << unguarded->Err();
  EXPECT_EQ(Value("free", "brightness"), 128);
  EXPECT_EQ(Value("free", "white_balance_automatic"), 1);
  EXPECT_EQ(Value("free", "auto_exposure"), 3);
  EXPECT_EQ(Value("free", "power_line_frequency"), 1);

  auto browser = OtherProgram("/dev/video0", {"--seconds", "30"});
  ASSERT_TRUE(browser->WaitForOut("reset done")) << browser->Err();
  ASSERT_TRUE(watcher.WaitForErr("korvane-cam: put back on 'Solo Cam'")) << watcher.Err();
  for (const auto& [control, value] : kRememberedValues) {
    EXPECT_EQ(Value("solo", control), value) << control;
  }
  // Within each put-back the modes go before the values, as load applies them.
  const std::string log = watcher.Err();
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    for (const auto& [mode, value] : {std::pair{"WhiteBalance=manual", "WhiteBalance=3500"},
                                      std::pair{"Exposure=manual", "Exposure=400"}}) {
      if (line.find(mode) != std::string::npos && line.find(value) != std::string::npos) {
        EXPECT_LT(line.find(mode), line.find(value)) << line;
      }
    }
  }
  EXPECT_EQ(Occurrences(log, "put back on 'Free Cam'"), 0) << log;
  // The one other program that holds the camera is named.
  EXPECT_NE(log.find("after a change by korvane-other-program (pid " +
                     std::to_string(browser->Pid()) + "): "),
            std::string::npos)
      << log;

  // The watcher holds the camera while the other program does, and lets go with it.
  EXPECT_TRUE(WaitUntil([&] { return Holds(watcher.Pid()); }));
  browser->Stop(SIGTERM);
  EXPECT_TRUE(WaitUntil([&] { return !Holds(watcher.Pid()); }));
  EXPECT_EQ(watcher.Stop(SIGTERM), 0);
}

TEST_F(GuardTest, AProgramThatSetsOneControlBackEachTimeKeepsItAfterTheLimitAndNoOtherControl) {
  Remember("0", true);
  TBackgroundTool watcher(Environment(), {"restore", "--watch"});
  ASSERT_TRUE(watcher.WaitForErr("korvane-cam: watching")) << watcher.Err();

  auto insisting = OtherProgram(
      "/dev/video0", {"--seconds", "60", "--insist", std::to_string(V4L2_CID_BRIGHTNESS)});
  ASSERT_TRUE(watcher.WaitForErr("Brightness is set again by the other program")) << watcher.Err();
  // Three rounds of Brightness=40, each undone by the other program; then it is left alone.
  EXPECT_TRUE(WaitUntil([&] { return Value("solo", "brightness") == 128; }));

  // The other controls stay guarded: another change is put back.
  FCameras.SetValue("solo", "contrast", 0);
  ASSERT_TRUE(watcher.WaitForErr(": Contrast=60")) << watcher.Err();
  EXPECT_EQ(Value("solo", "contrast"), 60);
  EXPECT_EQ(Value("solo", "brightness"), 128);
  const std::string log = watcher.Err();
  EXPECT_EQ(Occurrences(log, "Brightness is set again"), 1) << log;
  EXPECT_EQ(Occurrences(log, "Brightness=40"), 3) << log;

  // A new session of the program is guarded afresh.
  insisting->Stop(SIGTERM);
  auto again = OtherProgram("/dev/video0", {"--seconds", "30"});
  ASSERT_TRUE(watcher.WaitForErr("korvane-cam: put back on 'Solo Cam'", 5)) << watcher.Err();
  EXPECT_TRUE(WaitUntil([&] { return Value("solo", "brightness") == 40; }));
  again->Stop(SIGTERM);
  EXPECT_EQ(watcher.Stop(SIGTERM), 0);
}

// Two watchers (one from a terminal, one from the login's unit) must not take each other's
// descriptor for another program: one guards, and neither holds the camera after the browser.
TEST_F(GuardTest, TwoWatchersGuardOnceAndBothLetGoWhenTheBrowserCloses) {
  Remember("0", true);
  TBackgroundTool first(Environment(), {"restore", "--watch"});
  TBackgroundTool second(Environment(), {"restore", "--watch"});
  ASSERT_TRUE(first.WaitForErr("korvane-cam: watching")) << first.Err();
  ASSERT_TRUE(second.WaitForErr("korvane-cam: watching")) << second.Err();
  auto browser = OtherProgram("/dev/video0", {"--seconds", "30"});
  ASSERT_TRUE(WaitUntil([&] {
    return Occurrences(first.Err() + second.Err(), "korvane-cam: put back on 'Solo Cam'") >= 1;
  }));
  EXPECT_TRUE(WaitUntil([&] { return Value("solo", "brightness") == 40; }));
  browser->Stop(SIGTERM);
  EXPECT_TRUE(WaitUntil([&] { return !Holds(first.Pid()) && !Holds(second.Pid()); }));
  EXPECT_EQ(Occurrences(first.Err() + second.Err(), "korvane-cam: put back"), 1)
      << first.Err() << second.Err();
  EXPECT_EQ(first.Stop(SIGTERM), 0);
  EXPECT_EQ(second.Stop(SIGTERM), 0);
}

TEST_F(GuardTest, ACameraRememberedWhileTheWatcherRunsIsGuardedFromThenOn) {
  TBackgroundTool watcher(Environment(), {"restore", "--watch"});
  ASSERT_TRUE(watcher.WaitForErr("korvane-cam: watching")) << watcher.Err();
  Remember("0", true);
  ASSERT_TRUE(watcher.WaitForErr("korvane-cam: restored 'Solo Cam'")) << watcher.Err();
  auto browser = OtherProgram("/dev/video0", {"--seconds", "30"});
  ASSERT_TRUE(watcher.WaitForErr("korvane-cam: put back on 'Solo Cam'")) << watcher.Err();
  EXPECT_TRUE(WaitUntil([&] { return Value("solo", "brightness") == 40; }));
  browser->Stop(SIGTERM);
  EXPECT_EQ(watcher.Stop(SIGTERM), 0);
}

// The user's own change, made with the tool or in the window (both write through the same
// controls) while a browser holds the camera, is the user's: it is not put back until the
// browser closes the camera; the next session is guarded with the remembered settings again.
TEST_F(GuardTest, TheUsersOwnChangeWhileGuardedIsNotFought) {
  Remember("0", true);
  TBackgroundTool watcher(Environment(), {"restore", "--watch"});
  ASSERT_TRUE(watcher.WaitForErr("korvane-cam: watching")) << watcher.Err();
  auto browser = OtherProgram("/dev/video0", {"--seconds", "60"});
  ASSERT_TRUE(browser->WaitForOut("reset done")) << browser->Err();
  ASSERT_TRUE(WaitUntil([&] { return AllRemembered("solo"); }));

  const int putBackBefore = Occurrences(watcher.Err(), "Brightness=40");
  RunOk({"set", "0", "Brightness=90", "WhiteBalance=auto"});
  // Another program's change after it is still put back; the user's values stay.
  FCameras.SetValue("solo", "contrast", 0);
  ASSERT_TRUE(watcher.WaitForErr(": Contrast=60")) << watcher.Err();
  EXPECT_EQ(Value("solo", "brightness"), 90);
  EXPECT_EQ(Value("solo", "white_balance_automatic"), 1);
  EXPECT_EQ(Occurrences(watcher.Err(), "Brightness=40"), putBackBefore) << watcher.Err();

  browser->Stop(SIGTERM);
  ASSERT_TRUE(WaitUntil([&] { return !Holds(watcher.Pid()); }));
  auto next = OtherProgram("/dev/video0", {"--seconds", "30"});
  ASSERT_TRUE(watcher.WaitForErr("korvane-cam: put back on 'Solo Cam'", 2)) << watcher.Err();
  EXPECT_TRUE(WaitUntil([&] { return Value("solo", "brightness") == 40; }));
  next->Stop(SIGTERM);
  EXPECT_EQ(watcher.Stop(SIGTERM), 0);
}

}  // namespace
}  // namespace korvane::cli::testing
