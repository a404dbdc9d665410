// Settings a camera keeps: the real korvane-cam against the emulated kernel, the test plugging
// cameras in and out through the kernel's camera file as another program would.
#include <signal.h>

#include <gtest/gtest.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "tests/cli/EmulatedCameraFile.h"
#include "tests/cli/ToolRun.h"

namespace korvane::cli::testing {
namespace {

using nlohmann::json;

// "solo", a camera of its own (index 0); "left" and "right", two of one model without a serial
// number on two ports (indexes 1 and 2), which share a by-id name and so are told apart by port.
json Cameras() {
  const json twin = {{"vendor", "c0de"}, {"product", "0b20"}, {"productName", "Twin Cam"}};
  return {{"cameras",
           {TEmulatedCameraFile::TestCamera("solo", {{"vendor", "c0de"},
                                                     {"product", "0a10"},
                                                     {"manufacturer", "Korvane"},
                                                     {"productName", "Solo Cam"},
                                                     {"serial", "S-1"}}),
            TEmulatedCameraFile::TestCamera("left", twin),
            TEmulatedCameraFile::TestCamera("right", twin)}}};
}

class RememberRestoreTest : public ::testing::Test {
 protected:
  void SetUp() override { FCameras.Write(Cameras()); }

  TEnvironment Environment() const {
    return {{"KORVANE_CAMERAS", std::nullopt},
            {"KORVANE_V4L2_EMULATION", FCameras.Path().string()},
            {"XDG_CONFIG_HOME", (FFolder / "config").string()}};
  }
  TToolRun Run(const std::vector<std::string>& arguments) const {
    return RunTool(Environment(), arguments);
  }
  void RunOk(const std::vector<std::string>& arguments) const {
    const TToolRun run = Run(arguments);
    ASSERT_EQ(run.ExitCode, 0) << arguments.front() << ": " << run.Err;
  }
  int Value(const std::string& camera, const std::string& control) const {
    return FCameras.Value(camera, control);
  }
  std::filesystem::path RememberedFolder() const { return FFolder / "config/korvane-cam/cameras"; }

  TScratchFolder FFolder;
  TEmulatedCameraFile FCameras{FFolder / "cameras.json"};
};

TEST_F(RememberRestoreTest, RememberedSettingsComeBackWithRestoreUntilForgotten) {
  RunOk({"set", "0", "Brightness=40", "WhiteBalance=manual", "WhiteBalance=3500"});
  const TToolRun remember = Run({"remember", "0"});
  ASSERT_EQ(remember.ExitCode, 0) << remember.Err;

  // One settings file of the window's format, named after the device path inside the folder.
  const std::string path = "/dev/v4l/by-id/usb-Korvane_Solo_Cam_S-1-video-index0";
  const auto file =
      RememberedFolder() / "%2Fdev%2Fv4l%2Fby-id%2Fusb-Korvane_Solo_Cam_S-1-video-index0.kcs";
  ASSERT_TRUE(std::filesystem::is_regular_file(file)) << remember.Out;
  const std::string text = ReadText(file);
  EXPECT_NE(text.find("[Solo Cam]\nBacklightCompensation=0\nBrightness=40\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("[korvane-cam]\nDevicePath=" + path + "\nCamera=Solo Cam\n"),
            std::string::npos)
      << text;
  const json listed = json::parse(Run({"remembered", "--json"}).Out);
  EXPECT_EQ(listed, json::parse(R"([{"path": ")" + path + R"(", "name": "Solo Cam", "file": ")" +
                                file.string() + R"(", "attached": 0, "guarded": true}])"));

  // The window's loading reads the file as its own.
  RunOk({"set", "0", "Brightness=10", "WhiteBalance=5000", "WhiteBalance=auto"});
  RunOk({"load", "0", file.string()});
  EXPECT_EQ(Value("solo", "brightness"), 40);
  EXPECT_EQ(Value("solo", "white_balance_automatic"), 0);
  EXPECT_EQ(Value("solo", "white_balance_temperature"), 3500);

  // Another program changes the camera; restore puts the Auto state back first, then the value
  // (which the camera refuses while its automatic companion is on), and only what differs.
  RunOk({"set", "0", "Brightness=10", "WhiteBalance=5000", "WhiteBalance=auto"});
  const TToolRun restore = Run({"restore"});
  EXPECT_EQ(restore.ExitCode, 0) << restore.Err;
  EXPECT_EQ(restore.Out,
            "'Solo Cam' (" + path + "): WhiteBalance=manual Brightness=40 WhiteBalance=3500\n");
  EXPECT_EQ(Value("solo", "brightness"), 40);
  EXPECT_EQ(Value("solo", "white_balance_temperature"), 3500);
  RunOk({"set", "0", "PowerFrequency=60"});
  EXPECT_EQ(Run({"restore"}).Out, "'Solo Cam' (" + path + "): PowerFrequency=50\n");
  EXPECT_EQ(Run({"restore"}).Out, "'Solo Cam' (" + path + "): nothing to change\n");

  const TToolRun forget = Run({"forget", "0"});
  EXPECT_EQ(forget.ExitCode, 0) << forget.Err;
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(Run({"remembered"}).Out, "No remembered settings.\n");
  EXPECT_EQ(Run({"restore"}).Out, "No attached camera has remembered settings.\n");
}

TEST_F(RememberRestoreTest, TwoIdenticalCamerasOnTwoPortsKeepTheirOwnSettings) {
  RunOk({"set", "1", "Brightness=10"});
  RunOk({"set", "2", "Brightness=200"});
  RunOk({"remember", "1"});
  RunOk({"remember", "2"});
  const json listed = json::parse(Run({"remembered", "--json"}).Out);
  ASSERT_EQ(listed.size(), 2u) << listed;
  // Named apart in the order of their ports, as the paths are listed.
  EXPECT_EQ(listed[0]["name"], "Twin Cam");
  EXPECT_EQ(listed[1]["name"], "Twin Cam (2)");
  for (const json& camera : listed) {
    EXPECT_TRUE(camera["path"].get<std::string>().starts_with("/dev/v4l/by-path/")) << camera;
  }

  FCameras.SetValue("left", "brightness", 128);
  FCameras.SetValue("right", "brightness", 128);
  const TToolRun restore = Run({"restore"});
  EXPECT_EQ(restore.ExitCode, 0) << restore.Err;
  EXPECT_EQ(Value("left", "brightness"), 10);
  EXPECT_EQ(Value("right", "brightness"), 200);
}

// Units of one model often share a serial number ("0001"): a camera remembered alone, by its
// by-id link, is listed by its port once a second unit comes, and still found by it.
TEST_F(RememberRestoreTest, ACameraWhoseSerialAnotherUnitSharesIsFoundByItsPort) {
  const json shared = {
      {"vendor", "c0de"}, {"product", "0c30"}, {"productName", "Shared Cam"}, {"serial", "0001"}};
  json second = TEmulatedCameraFile::TestCamera("second", shared);
  second["present"] = false;
  FCameras.Write({{"cameras", {TEmulatedCameraFile::TestCamera("first", shared), second}}});
  RunOk({"set", "0", "Brightness=50"});
  RunOk({"remember", "0"});
  const json alone = json::parse(Run({"remembered", "--json"}).Out);
  ASSERT_EQ(alone.size(), 1u);
  EXPECT_TRUE(alone[0]["path"].get<std::string>().starts_with("/dev/v4l/by-id/")) << alone;

  FCameras.SetPresent("second", true);
  FCameras.SetValue("first", "brightness", 128);
  const json both = json::parse(Run({"list", "--json"}).Out);
  ASSERT_EQ(both.size(), 2u);
  EXPECT_TRUE(both[0]["path"].get<std::string>().starts_with("/dev/v4l/by-path/")) << both;
  EXPECT_EQ(json::parse(Run({"remembered", "--json"}).Out)[0]["attached"], 0);

  const TToolRun restore = Run({"restore"});
  EXPECT_EQ(restore.ExitCode, 0) << restore.Err;
  EXPECT_EQ(Value("first", "brightness"), 50);
  EXPECT_EQ(Value("second", "brightness"), 128);
}

TEST_F(RememberRestoreTest, ControlTheCameraRefusesIsReportedAndTheOthersStillApplied) {
  RunOk({"set", "0", "Brightness=40", "Contrast=60"});
  RunOk({"remember", "0"});
  FCameras.Change([](json& document) {
    json& solo = TEmulatedCameraFile::Camera(document, "solo");
    TEmulatedCameraFile::Control(solo, "brightness")["value"] = 128;
    TEmulatedCameraFile::Control(solo, "contrast")["value"] = 0;
    solo["firmware"] = {
        {"faults", {{{"control", "brightness"}, {"call", "set"}, {"errno", "EIO"}}}}};
  });

  const TToolRun restore = Run({"restore", "0"});
  EXPECT_EQ(restore.ExitCode, 5);
  EXPECT_NE(restore.Err.find("korvane-cam: Solo Cam: Brightness: "), std::string::npos)
      << restore.Err;
  EXPECT_NE(restore.Out.find("): Contrast=60\n"), std::string::npos) << restore.Out;
  EXPECT_EQ(Value("solo", "contrast"), 60);
  EXPECT_EQ(Value("solo", "brightness"), 128);
}

TEST_F(RememberRestoreTest, WatcherRestoresACameraEachTimeItIsPluggedIn) {
  RunOk({"set", "0", "Brightness=40", "Exposure=manual", "Exposure=400"});
  RunOk({"remember", "0"});
  FCameras.SetPresent("solo", false);

  TBackgroundTool watcher(Environment(), {"restore", "--watch"});
  ASSERT_TRUE(watcher.WaitForErr("korvane-cam: watching")) << watcher.Err();
  // Plugged in as the camera comes from the factory; then out and in again at once, under new
  // node numbers, reset once more. A camera without remembered settings comes and goes between.
  for (int plug = 1; plug <= 2; ++plug) {
    FCameras.Change([plug](json& document) {
      json& solo = TEmulatedCameraFile::Camera(document, "solo");
      TEmulatedCameraFile::Control(solo, "brightness")["value"] = 128;
      TEmulatedCameraFile::Control(solo, "auto_exposure")["value"] = 3;
      TEmulatedCameraFile::Control(solo, "exposure_time_absolute")["value"] = 250;
      solo["present"] = true;
      solo["plugs"] = plug;
    });
    ASSERT_TRUE(watcher.WaitForErr("korvane-cam: restored 'Solo Cam'", plug)) << watcher.Err();
    EXPECT_EQ(Value("solo", "brightness"), 40) << "plug " << plug;
    EXPECT_EQ(Value("solo", "auto_exposure"), 1) << "plug " << plug;
    EXPECT_EQ(Value("solo", "exposure_time_absolute"), 400) << "plug " << plug;
    FCameras.SetPresent("left", plug == 2);
  }
  EXPECT_EQ(watcher.Stop(SIGTERM), 0);
  const std::string log = watcher.Err();
  EXPECT_EQ(Occurrences(log, "korvane-cam: restored"), 2) << log;
  EXPECT_TRUE(log.ends_with("korvane-cam: stopped by SIGTERM\n")) << log;
}

// SIGHUP: the terminal it was started from was closed.
TEST_F(RememberRestoreTest, WatcherStopsCleanlyOnSigtermSigintAndSighup) {
  for (const auto& [signal, name] :
       {std::pair{SIGTERM, "SIGTERM"}, std::pair{SIGINT, "SIGINT"}, std::pair{SIGHUP, "SIGHUP"}}) {
    TBackgroundTool watcher(Environment(), {"restore", "--watch"});
    ASSERT_TRUE(watcher.WaitForErr("korvane-cam: watching")) << watcher.Err();
    EXPECT_EQ(watcher.Stop(signal), 0) << name;
    EXPECT_TRUE(watcher.Err().ends_with(std::string("korvane-cam: stopped by ") + name + "\n"))
        << watcher.Err();
  }
}

struct TErrorCase {
  const char* Name;
  std::vector<std::string> Args;
  int ExitCode;
  std::string Err;         // a part of standard error
  bool Simulated = false;  // with the demo cameras instead of the emulated kernel
};

void PrintTo(const TErrorCase& c, std::ostream* out) {
  *out << c.Name;
}

class RememberRestoreErrorTest : public RememberRestoreTest,
                                 public ::testing::WithParamInterface<TErrorCase> {};

TEST_P(RememberRestoreErrorTest, EndsWithItsExitCodeAndOneLine) {
  const TErrorCase& c = GetParam();
  TEnvironment environment = Environment();
  if (c.Simulated) environment.emplace_back("KORVANE_CAMERAS", "demo");
  const TToolRun run = RunTool(environment, c.Args);
  EXPECT_EQ(run.ExitCode, c.ExitCode) << run.Err;
  EXPECT_NE(run.Err.find(c.Err), std::string::npos) << run.Err;
  EXPECT_EQ(Occurrences(run.Err, "\n"), 1) << run.Err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RememberRestoreErrorTest,
    ::testing::Values(
        TErrorCase{"WatchTakesNoCamera", {"restore", "--watch", "0"}, 2, "takes no CAMERA"},
        TErrorCase{"WatchOnlyForRestore", {"remember", "0", "--watch"}, 2, "--watch is not an"},
        TErrorCase{"AutostartOnOrOff", {"autostart", "yes"}, 2, "takes on or off, not 'yes'"},
        TErrorCase{"RestoreWithoutRemembered",
                   {"restore", "1"},
                   1,
                   "Twin Cam: has no remembered settings"},
        TErrorCase{
            "ForgetWithoutRemembered", {"forget", "0"}, 1, "Solo Cam: has no remembered settings"},
        TErrorCase{"ForgetNeitherCameraNorPath",
                   {"forget", "/dev/v4l/by-id/gone"},
                   3,
                   "no camera '/dev/v4l/by-id/gone'"},
        TErrorCase{"WatchSimulatedCameras",
                   {"restore", "--watch"},
                   6,
                   "these cameras do not come and go",
                   true}),
    [](const auto& param) { return std::string(param.param.Name); });

// `autostart` through a systemctl of the test's own, which answers as the case says and notes
// each call, so that no test ever enables a unit of the machine's user.
struct TAutostartCase {
  const char* Name;
  std::vector<std::string> Args;
  bool HasSystemctl;
  std::string ManagerState;  // what `systemctl --user is-system-running` prints
  int ChangeExitCode;        // of `enable --now` or `disable --now`
  int ExitCode;
  std::string Output;  // a part of standard output, or of standard error for a failure
  std::vector<std::string> Calls;
};

void PrintTo(const TAutostartCase& c, std::ostream* out) {
  *out << c.Name;
}

class AutostartTest : public ::testing::TestWithParam<TAutostartCase> {};

TEST_P(AutostartTest, RunsSystemctlForTheUserUnitOrSaysWhyNot) {
  const TAutostartCase& c = GetParam();
  const TScratchFolder folder;
  std::filesystem::create_directory(folder / "bin");
  if (c.HasSystemctl) {
    const auto script = folder / "bin/systemctl";
    std::ofstream(script) << "#!/bin/sh\n"
                          << "echo \"$*\" >> \"" << (folder / "calls").string() << "\"\n"
                          << "case \"$2\" in\n"
                          << "  is-system-running) echo " << c.ManagerState << "; [ "
                          << c.ManagerState << " = running ];;\n"
                          << "  enable|disable) [ \"$3\" = --now ] || exit 0; echo "
                          << "\"Job for korvane-cam-restore.service failed.\"; exit "
                          << c.ChangeExitCode << ";;\n"
                          << "esac\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  }
  const TToolRun run = RunTool(TEnvironment{{"PATH", (folder / "bin").string()}}, c.Args);
  EXPECT_EQ(run.ExitCode, c.ExitCode) << run.Err;
  EXPECT_NE((c.ExitCode == 0 ? run.Out : run.Err).find(c.Output), std::string::npos)
      << run.Out << run.Err;
  std::string calls;
  for (const std::string& call : c.Calls) calls += call + "\n";
  EXPECT_EQ(ReadText(folder / "calls"), calls);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AutostartTest,
    ::testing::Values(
        TAutostartCase{"NoSystemctl",
                       {"autostart", "on"},
                       false,
                       "",
                       0,
                       6,
                       "autostart: needs systemd's user manager, and systemctl cannot be run",
                       {}},
        TAutostartCase{"NoUserManager",
                       {"autostart", "on"},
                       true,
                       "offline",
                       0,
                       6,
                       "autostart: systemd's user manager is not running for this session "
                       "(systemctl --user: offline)",
                       {"--user is-system-running"}},
        TAutostartCase{
            "On",
            {"autostart", "on"},
            true,
            "running",
            0,
            0,
            "Autostart is on: korvane-cam-restore.service is enabled and running",
            {"--user is-system-running", "--user enable --now korvane-cam-restore.service"}},
        TAutostartCase{
            "OnButItDoesNotStart",
            {"autostart", "on"},
            true,
            "running",
            1,
            6,
            "failed: Job for korvane-cam-restore.service failed.",
            {"--user is-system-running", "--user enable --now korvane-cam-restore.service",
             "--user disable korvane-cam-restore.service"}},
        TAutostartCase{
            "Off",
            {"autostart", "off"},
            true,
            "running",
            0,
            0,
            "Autostart is off: korvane-cam-restore.service is stopped and disabled",
            {"--user is-system-running", "--user disable --now korvane-cam-restore.service"}}),
    [](const auto& param) { return std::string(param.param.Name); });

}  // namespace
}  // namespace korvane::cli::testing
