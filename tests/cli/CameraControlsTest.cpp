// Controls as real cameras have them, through the real korvane-cam on the emulated kernel: one
// control that fails while the camera answers for the others, the exposure modes, values sent
// to automatic controls, and defaults a camera reports outside its own range.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/cli/EmulatedCameraFile.h"
#include "tests/cli/ToolRun.h"

namespace korvane::cli::testing {
namespace {

using nlohmann::json;

// "Cam": brightness and gain (manual), white balance (automatic), exposure in the given mode.
json CamWith(int exposureMode, json firmware = json::object()) {
  return {{"cameras",
           {{{"id", "cam"},
             {"usb", {{"vendor", "c0de"}, {"product", "0a10"}, {"productName", "Cam"}}},
             {"controls",
              {{{"name", "brightness"}, {"min", 0}, {"max", 255}, {"default", 128}, {"value", 90}},
               {{"name", "gain"}, {"min", 0}, {"max", 100}, {"default", 10}, {"value", 20}},
               {{"name", "white_balance_temperature"},
                {"min", 2800},
                {"max", 6500},
                {"step", 10},
                {"default", 4600},
                {"value", 5000}},
               {{"name", "white_balance_automatic"}, {"default", 1}, {"value", 1}},
               {{"name", "auto_exposure"},
                {"menu", {0, 1, 2, 3}},
                {"default", 3},
                {"value", exposureMode}},
               {{"name", "exposure_time_absolute"},
                {"min", 1},
                {"max", 1000},
                {"default", 250},
                {"value", 400}}}},
             {"formats",
              {{{"fourcc", "YUYV"},
                {"sizes", {{{"width", 640}, {"height", 480}, {"intervals", {"1/30"}}}}}}}},
             {"firmware", std::move(firmware)}}}}};
}

class ControlsTool : public ::testing::Test {
 protected:
  TToolRun Run(const std::vector<std::string>& arguments) const {
    return RunTool({{"KORVANE_CAMERAS", std::nullopt},
                    {"KORVANE_V4L2_EMULATION", FCameras.Path().string()},
                    {"XDG_CONFIG_HOME", (FFolder / "config").string()}},
                   arguments);
  }
  int Value(const std::string& control) const { return FCameras.Value("cam", control); }

  TScratchFolder FFolder;
  TEmulatedCameraFile FCameras{FFolder / "cameras.json"};
};

// The firmware errors real cameras answer for one control; the camera answers for the rest.
struct TFailingControl {
  const char* Name;
  const char* Call;   // which request to the camera fails
  const char* Errno;  // and how
};

const TFailingControl kFailingControls[] = {
    {"ReadEio", "get", "EIO"},         {"ReadEpipe", "get", "EPIPE"},
    {"ReadEremote", "get", "EREMOTE"}, {"ReadEproto", "get", "EPROTO"},
    {"RangeEio", "query", "EIO"},      {"RangeEpipe", "query", "EPIPE"},
};

class FailingControl : public ControlsTool, public ::testing::WithParamInterface<TFailingControl> {
 protected:
  void SetUp() override {
    FCameras.Write(CamWith(
        1, {{"faults",
             {{{"control", "gain"}, {"call", GetParam().Call}, {"errno", GetParam().Errno}}}}}));
  }
};

TEST_P(FailingControl, IsThatControlsFailureAndTheOthersStillWork) {
  const std::string errorLine = "korvane-cam: Cam: Gain: ";

  const TToolRun show = Run({"show", "0"});
  EXPECT_EQ(show.ExitCode, 5);
  EXPECT_NE(show.Out.find("Brightness             90"), std::string::npos) << show.Out;
  EXPECT_NE(show.Out.find("Gain                   failed "), std::string::npos) << show.Out;
  EXPECT_NE(show.Out.find("Formats:"), std::string::npos) << show.Out;
  EXPECT_TRUE(show.Err.starts_with(errorLine)) << show.Err;
  EXPECT_EQ(Occurrences(show.Err, "\n"), 1) << show.Err;

  const TToolRun showJson = Run({"show", "0", "--json"});
  EXPECT_EQ(showJson.ExitCode, 5);
  const json report = json::parse(showJson.Out);
  EXPECT_EQ(report["properties"]["Brightness"]["value"], 90);
  EXPECT_EQ(report["properties"]["Exposure"]["value"], 400);
  EXPECT_TRUE(report["properties"]["Gain"]["error"].is_string()) << report["properties"]["Gain"];
  EXPECT_FALSE(report["properties"]["Gain"].contains("value"));

  const std::string file = (FFolder / "cam.kcs").string();
  const TToolRun save = Run({"save", "0", file});
  EXPECT_EQ(save.ExitCode, 5);
  EXPECT_NE(save.Err.find(errorLine), std::string::npos) << save.Err;
  EXPECT_NE(save.Err.find("left out"), std::string::npos) << save.Err;
  const std::string saved = ReadText(file);
  EXPECT_NE(saved.find("Brightness=90"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("Gain="), std::string::npos) << saved;

  FCameras.SetValue("cam", "brightness", 7);
  const TToolRun load = Run({"load", "0", file});
  EXPECT_EQ(load.ExitCode, 5);
  EXPECT_NE(load.Out.find("Brightness=90"), std::string::npos) << load.Out;
  EXPECT_NE(load.Err.find(errorLine), std::string::npos) << load.Err;
  EXPECT_EQ(Value("brightness"), 90);

  const TToolRun defaults = Run({"defaults", "0"});
  EXPECT_EQ(defaults.ExitCode, 5);
  EXPECT_NE(defaults.Out.find("Brightness=128"), std::string::npos) << defaults.Out;
  EXPECT_NE(defaults.Err.find(errorLine), std::string::npos) << defaults.Err;
  EXPECT_EQ(Value("brightness"), 128);
  EXPECT_EQ(Value("exposure_time_absolute"), 250);
}

std::string FailureName(const ::testing::TestParamInfo<TFailingControl>& param) {
  return param.param.Name;
}

INSTANTIATE_TEST_SUITE_P(RealFirmwareErrors, FailingControl, ::testing::ValuesIn(kFailingControls),
                         FailureName);

// A control that answers "no such device" says the camera itself is gone: nothing is reported
// as if the camera were there.
TEST_F(ControlsTool, ACameraThatIsGoneIsOneErrorAndNoReport) {
  FCameras.Write(
      CamWith(1, {{"faults", {{{"control", "gain"}, {"call", "get"}, {"errno", "ENODEV"}}}}}));
  const TToolRun show = Run({"show", "0"});
  EXPECT_EQ(show.ExitCode, 5);
  EXPECT_EQ(show.Out, "");
  EXPECT_EQ(Occurrences(show.Err, "\n"), 1) << show.Err;
  const TToolRun save = Run({"save", "0", (FFolder / "gone.kcs").string()});
  EXPECT_EQ(save.ExitCode, 5);
  EXPECT_FALSE(std::filesystem::exists(FFolder / "gone.kcs"));
}

// The exposure time is the user's only in manual mode: every other mode reads automatic, a value
// alone is refused there, and switching to manual in the same command works from each.
class ExposureMode : public ControlsTool, public ::testing::WithParamInterface<int> {};

TEST_P(ExposureMode, OnlyManualTakesAValueAndEveryModeSwitchesToManual) {
  const int mode = GetParam();
  const bool manual = mode == 1;
  FCameras.Write(CamWith(mode));

  const TToolRun show = Run({"show", "0", "--json"});
  ASSERT_EQ(show.ExitCode, 0) << show.Err;
  EXPECT_EQ(json::parse(show.Out)["properties"]["Exposure"]["auto"], !manual);

  const TToolRun value = Run({"set", "0", "Brightness=10", "Exposure=100"});
  EXPECT_EQ(value.ExitCode, manual ? 0 : 4) << value.Err;
  if (!manual) {
    EXPECT_EQ(value.Err,
              "korvane-cam: Cam: Exposure: is automatic, so a value would not land; switch it to "
              "manual first: korvane-cam set 0 Exposure=manual Exposure=100\n");
    EXPECT_EQ(Value("brightness"), 90) << "nothing is written when one assignment fails";
    EXPECT_EQ(Value("auto_exposure"), mode);
  }

  const TToolRun switched = Run({"set", "0", "Exposure=manual", "Exposure=120"});
  ASSERT_EQ(switched.ExitCode, 0) << switched.Err;
  EXPECT_EQ(switched.Out, "Exposure=manual\nExposure=120\n");
  EXPECT_EQ(Value("auto_exposure"), 1);
  EXPECT_EQ(Value("exposure_time_absolute"), 120);
}

std::string ModeName(const ::testing::TestParamInfo<int>& param) {
  constexpr const char* kNames[] = {"Auto", "Manual", "ShutterPriority", "AperturePriority"};
  return kNames[param.param];
}

INSTANTIATE_TEST_SUITE_P(EveryMode, ExposureMode, ::testing::Values(0, 1, 2, 3), ModeName);

// A value after a switch to automatic in the same command would not land either; a switch to
// manual before it makes it land; `defaults` says what it did with each control.
TEST_F(ControlsTool, ValuesForAutomaticControlsAreRefusedAndDefaultsSayWhy) {
  FCameras.Write(CamWith(3));
  struct TCase {
    std::vector<std::string> Args;
    int ExitCode;
    std::string Out;
  };
  const TCase cases[] = {
      {{"set", "0", "WhiteBalance=4000"}, 4, ""},
      {{"set", "0", "Gain=30", "Gain=auto"}, 4, ""},  // gain has no automatic mode here
      {{"set", "0", "WhiteBalance=manual", "WhiteBalance=auto", "WhiteBalance=4000"}, 4, ""},
      {{"set", "0", "WhiteBalance=manual", "WhiteBalance=4000"},
       0,
       "WhiteBalance=manual\nWhiteBalance=4000\n"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Args.back());
    const TToolRun run = Run(c.Args);
    EXPECT_EQ(run.ExitCode, c.ExitCode) << run.Err;
    EXPECT_EQ(run.Out, c.Out);
    if (c.ExitCode == 0) continue;
    EXPECT_EQ(Value("white_balance_temperature"), 5000);
    EXPECT_EQ(Value("gain"), 20);
  }
  EXPECT_EQ(Value("white_balance_automatic"), 0);

  FCameras.SetValue("cam", "white_balance_automatic", 1);
  const TToolRun defaults = Run({"defaults", "0"});
  ASSERT_EQ(defaults.ExitCode, 0) << defaults.Err;
  EXPECT_EQ(defaults.Out,
            "Brightness=128\n"
            "Exposure: automatic, left as it is (default 250)\n"
            "Gain=10\n"
            "WhiteBalance: automatic, left as it is (default 4600)\n");
  EXPECT_EQ(Value("white_balance_temperature"), 4000);
}

// A widely used camera family reports defaults outside its own ranges and an automatic-exposure
// default its menu does not offer: the file is taken as the camera's own, and factory defaults
// leave such a control as it is and say so.
TEST_F(ControlsTool, DefaultsOutsideTheRangeAreNeverWritten) {
  json cameras = CamWith(1);
  json& controls = cameras["cameras"][0]["controls"];
  controls[0]["default"] = -8193;  // brightness 0..255
  controls[1]["max"] = 10;         // gain 0..10, default 57343
  controls[1]["default"] = 57343;
  controls[1]["value"] = 5;
  controls[4]["menu"] = {1, 3};  // exposure modes: default 0 is not offered
  controls[4]["default"] = 0;
  FCameras.Write(cameras);

  const TToolRun show = Run({"show", "0", "--json"});
  ASSERT_EQ(show.ExitCode, 0) << show.Err;
  EXPECT_EQ(json::parse(show.Out)["properties"]["Brightness"]["default"], -8193);

  const TToolRun defaults = Run({"defaults", "0"});
  ASSERT_EQ(defaults.ExitCode, 0) << defaults.Err;
  EXPECT_EQ(defaults.Out,
            "Brightness: the camera's default -8193 lies outside 0 to 255, left as it is\n"
            "Exposure=250\n"
            "Gain: the camera's default 57343 lies outside 0 to 10, left as it is\n"
            "WhiteBalance: automatic, left as it is (default 4600)\n");
  EXPECT_EQ(Value("brightness"), 90);
  EXPECT_EQ(Value("gain"), 5);
  EXPECT_EQ(Value("exposure_time_absolute"), 250);
}

}  // namespace
}  // namespace korvane::cli::testing

namespace korvane::cli::testing {
namespace {

// Two cameras of one model, without serial numbers, on two ports: listed under names of their
// own, numbered in the order of their ports, each reachable by name and with its own section
// in a settings file.
TEST_F(ControlsTool, TwoCamerasOfOneModelHaveNamesAndSectionsOfTheirOwn) {
  json cameras = CamWith(1);
  json twin = cameras["cameras"][0];
  twin["usb"] = {{"vendor", "c0de"}, {"product", "0b20"}, {"productName", "Twin Cam"}};
  json first = twin, second = twin;
  first["id"] = "right";
  first["busInfo"] = "usb-0000:00:14.0-4";
  second["id"] = "left";
  second["busInfo"] = "usb-0000:00:14.0-2";
  second["controls"][0]["value"] = 33;
  cameras["cameras"] = {cameras["cameras"][0], first, second};
  FCameras.Write(cameras);

  const TToolRun list = Run({"list", "--json"});
  ASSERT_EQ(list.ExitCode, 0) << list.Err;
  const json listed = json::parse(list.Out);
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(listed[0]["name"], "Cam");
  EXPECT_EQ(listed[1]["name"], "Twin Cam (2)") << "the one on the later port";
  EXPECT_EQ(listed[2]["name"], "Twin Cam");

  const std::string file = (FFolder / "twins.kcs").string();
  ASSERT_EQ(Run({"save", "Twin Cam", file}).ExitCode, 0);
  ASSERT_EQ(Run({"save", "Twin Cam (2)", file}).ExitCode, 0);
  const std::string saved = ReadText(file);
  EXPECT_NE(saved.find("[Twin Cam]"), std::string::npos) << saved;
  EXPECT_NE(saved.find("[Twin Cam (2)]"), std::string::npos) << saved;
  const TToolRun set = Run({"set", "Twin Cam (2)", "Brightness=44"});
  ASSERT_EQ(set.ExitCode, 0) << set.Err;
  EXPECT_EQ(FCameras.Value("right", "brightness"), 44);
  EXPECT_EQ(FCameras.Value("left", "brightness"), 33);
}

}  // namespace
}  // namespace korvane::cli::testing
