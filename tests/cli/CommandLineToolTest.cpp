// korvane-cam as a script meets it: the real program against a simulated camera file, each
// command's output, errors and exit code, and what ends up in the camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>

#include "tests/cli/ToolRun.h"

namespace korvane::cli::testing {
namespace {

using sim::SimControl;
using sim::SimDescription;
using sim::SimDevice;

enum : LONG { kBrightness = 0, kGain = 9, kPowerLine = 13, kZoom = 3, kExposure = 4 };

SimDevice Camera(const std::string& name, const std::string& path) {
  SimDevice device;
  device.friendlyName = name;
  device.devicePath = path;
  device.formats = {sim::SimFormat{}};
  return device;
}

// Lab Cam: brightness manual only, gain and exposure automatic, zoom off its step, 50 Hz, two
// formats. Two cameras of one model. A camera without controls.
SimDescription Fixture() {
  SimDevice lab = Camera("Lab Cam", "sim:lab");
  // {min, max, step, default, caps, value, flags}
  lab.videoProcAmp[kBrightness] = SimControl{-64, 64, 1, 0, 2, 10, 2};
  lab.videoProcAmp[kGain] = SimControl{0, 255, 1, 32, 3, 40, 1};
  lab.videoProcAmp[kPowerLine] = SimControl{0, 3, 1, 1, 2, 1, 2};
  lab.cameraControl[kZoom] = SimControl{100, 500, 10, 100, 2, 203, 2};
  lab.cameraControl[kExposure] = SimControl{-11, -2, 1, -6, 3, -4, 1};
  sim::SimFormat mjpg;
  mjpg.subtype = MEDIASUBTYPE_MJPG;
  mjpg.width = 1280;
  mjpg.height = 720;
  mjpg.bitCount = 24;
  mjpg.compression = MakeFourCC('M', 'J', 'P', 'G');
  lab.formats.push_back(mjpg);
  SimDevice twinA = Camera("Twin", "sim:twin-a");
  twinA.videoProcAmp[kBrightness] = SimControl{0, 255, 1, 128, 2, 128, 2};
  SimDevice twinB = twinA;
  twinB.devicePath = "sim:twin-b";
  SimDescription description;
  description.devices = {lab, twinA, twinB, Camera("Bare Cam", "sim:bare")};
  return description;
}

using TChange = std::function<void(SimDescription&)>;

struct TCase {
  const char* Name;
  std::vector<std::string> Args{};
  int ExitCode = 0;
  std::string Out{};           // the whole standard output
  std::string Err{};           // the whole standard error
  TChange Expected = nullptr;  // what the camera file should hold then, as a change of the fixture
  TChange Fault = nullptr;     // made to the fixture before the run
};

void PrintTo(const TCase& c, std::ostream* out) {
  *out << c.Name;
}

SimControl& Vpa(SimDescription& d, std::size_t device, LONG index) {
  return d.devices.at(device).videoProcAmp.at(index);
}
SimControl& Cc(SimDescription& d, std::size_t device, LONG index) {
  return d.devices.at(device).cameraControl.at(index);
}
void FailBrightnessWrites(SimDescription& d) {
  d.devices[0].faults["IAMVideoProcAmp::Set#0"] = E_FAIL;
}

const TCase kCases[] = {
    {.Name = "ListsCamerasInTheWindowsOrder",
     .Args = {"list"},
     .Out = "Index  Name      Device path\n"
            "0      Lab Cam   sim:lab\n"
            "1      Twin      sim:twin-a\n"
            "2      Twin      sim:twin-b\n"
            "3      Bare Cam  sim:bare\n"},
    {.Name = "ShowsPropertiesFrequencyAndFormats",
     .Args = {"show", "Lab Cam"},
     .Out = "Camera 0: Lab Cam\n"
            "Device path: sim:lab\n"
            "\n"
            "Property               Value          Min  Max  Step  Default  Auto  Modes\n"
            "BacklightCompensation  not supported\n"
            "Brightness             10             -64  64   1     0        off   manual\n"
            "ColorEnable            not supported\n"
            "Contrast               not supported\n"
            "Exposure               -4             -11  -2   1     -6       on    auto,manual\n"
            "Focus                  not supported\n"
            "Gain                   40             0    255  1     32       on    auto,manual\n"
            "Gamma                  not supported\n"
            "Hue                    not supported\n"
            "Iris                   not supported\n"
            "Pan                    not supported\n"
            "Roll                   not supported\n"
            "Saturation             not supported\n"
            "Sharpness              not supported\n"
            "Tilt                   not supported\n"
            "WhiteBalance           not supported\n"
            "Zoom                   203            100  500  10    100      off   manual\n"
            "PowerFrequency         50                                      off\n"
            "\n"
            "Formats:\n"
            "  0  640x480 30Hz 16bpp   YUY2\n"
            "  1  1280x720 30Hz 24bpp  MJPG\n"},
    {.Name = "SetClampsToTheRange",
     .Args = {"set", "Lab Cam", "Brightness=100", "Brightness=-1000"},
     .Out = "Brightness=64\nBrightness=-64\n",
     .Expected = [](SimDescription& d) { Vpa(d, 0, kBrightness).value = -64; }},
    {.Name = "SetMovesToTheStepHalvesToEven",
     .Args = {"set", "0", "Zoom=125", "Brightness=2.5"},
     .Out = "Zoom=120\nBrightness=2\n",
     .Expected =
         [](SimDescription& d) {
           Cc(d, 0, kZoom).value = 120;
           Vpa(d, 0, kBrightness).value = 2;
         }},
    {.Name = "SetKeepsTheRangeEndsOffTheStep",
     .Args = {"set", "0", "Zoom=499"},
     .Out = "Zoom=500\n",
     .Expected = [](SimDescription& d) { Cc(d, 0, kZoom).value = 500; }},
    {.Name = "SetModesAndFrequencyNamesWithoutCase",
     .Args = {"set", "sim:lab", "gain=MANUAL", "GAIN=300", "powerfrequency=1"},
     .Out = "Gain=manual\nGain=255\nPowerFrequency=60\n",
     .Expected =
         [](SimDescription& d) {
           Vpa(d, 0, kGain).flags = 2;
           Vpa(d, 0, kGain).value = 255;
           Vpa(d, 0, kPowerLine).value = 2;
         }},
    {.Name = "SetValueOnAnAutomaticControlWritesNothingAndSaysHowToSwitch",
     .Args = {"set", "0", "PowerFrequency=60", "Exposure=-9"},
     .ExitCode = 4,
     .Err = "korvane-cam: Lab Cam: Exposure: is automatic, so a value would not land; switch it "
            "to manual first: korvane-cam set 0 Exposure=manual Exposure=-9\n"},
    {.Name = "SetValueAfterASwitchToManualLands",
     .Args = {"set", "0", "Exposure=manual", "Exposure=-9"},
     .Out = "Exposure=manual\nExposure=-9\n",
     .Expected =
         [](SimDescription& d) {
           Cc(d, 0, kExposure).flags = 2;
           Cc(d, 0, kExposure).value = -9;
         }},
    {.Name = "UnsupportedControlWritesNothing",
     .Args = {"set", "0", "Brightness=5", "Hue=3"},
     .ExitCode = 4,
     .Err = "korvane-cam: Lab Cam: Hue: not supported by this camera\n"},
    {.Name = "UnsupportedModeWritesNothing",
     .Args = {"set", "0", "Zoom=150", "Brightness=auto"},
     .ExitCode = 4,
     .Err = "korvane-cam: Lab Cam: Brightness: the camera cannot set it automatically\n"},
    {.Name = "UnsupportedFrequency",
     .Args = {"set", "Bare Cam", "PowerFrequency=60"},
     .ExitCode = 4,
     .Err = "korvane-cam: Bare Cam: PowerFrequency: not supported by this camera\n"},
    {.Name = "UnknownPropertyIsAUsageError",
     .Args = {"set", "0", "Brightnes=5"},
     .ExitCode = 2,
     .Err = "korvane-cam: 'Brightnes=5': unknown property name\n"},
    {.Name = "MalformedValueIsAUsageError",
     .Args = {"set", "0", "Zoom=150", "Brightness=1e3"},
     .ExitCode = 2,
     .Err = "korvane-cam: 'Brightness=1e3': the value must be a number, auto or manual\n"},
    {.Name = "FrequencyTakesOnlyTheListsValues",
     .Args = {"set", "0", "PowerFrequency=55"},
     .ExitCode = 2,
     .Err = "korvane-cam: 'PowerFrequency=55': PowerFrequency takes 50 or 60 (or the list "
            "index 0 or 1)\n"},
    {.Name = "AmbiguousNameListsTheCandidates",
     .Args = {"set", "Twin", "Brightness=1"},
     .ExitCode = 3,
     .Err = "korvane-cam: camera name 'Twin' is ambiguous; choose by index or path: 1 'Twin' "
            "(sim:twin-a), 2 'Twin' (sim:twin-b)\n"},
    {.Name = "DevicePathTellsTwinsApart",
     .Args = {"set", "sim:twin-b", "Brightness=7"},
     .Out = "Brightness=7\n",
     .Expected = [](SimDescription& d) { Vpa(d, 2, kBrightness).value = 7; }},
    {.Name = "IndexSelectsTheSecondTwin",
     .Args = {"set", "2", "Brightness=9"},
     .Out = "Brightness=9\n",
     .Expected = [](SimDescription& d) { Vpa(d, 2, kBrightness).value = 9; }},
    {.Name = "MissingCameraByName",
     .Args = {"show", "Nope"},
     .ExitCode = 3,
     .Err = "korvane-cam: no camera 'Nope'\n"},
    {.Name = "MissingCameraByIndex",
     .Args = {"defaults", "4"},
     .ExitCode = 3,
     .Err = "korvane-cam: no camera with index 4 (4 listed)\n"},
    {.Name = "DeviceErrorStopsTheWritesAfterIt",
     .Args = {"set", "0", "Zoom=150", "Brightness=5", "Gain=manual", "Gain=1"},
     .ExitCode = 5,
     .Out = "Zoom=150\n",
     .Err = "korvane-cam: Lab Cam: Brightness: The operation failed for an unspecified reason "
            "(0x80004005)\n",
     .Expected = [](SimDescription& d) { Cc(d, 0, kZoom).value = 150; },
     .Fault = FailBrightnessWrites},
    {.Name = "AControlThatFailsInShowIsMarkedAndTheOthersShown",
     .Args = {"show", "0"},
     .ExitCode = 5,
     .Out = "Camera 0: Lab Cam\n"
            "Device path: sim:lab\n"
            "\n"
            "Property               Value          Min  Max  Step  Default  Auto  Modes\n"
            "BacklightCompensation  not supported\n"
            "Brightness             10             -64  64   1     0        off   manual\n"
            "ColorEnable            not supported\n"
            "Contrast               not supported\n"
            "Exposure               -4             -11  -2   1     -6       on    auto,manual\n"
            "Focus                  not supported\n"
            "Gain                   failed                                        The operation "
            "failed for an unspecified reason (0x80004005)\n"
            "Gamma                  not supported\n"
            "Hue                    not supported\n"
            "Iris                   not supported\n"
            "Pan                    not supported\n"
            "Roll                   not supported\n"
            "Saturation             not supported\n"
            "Sharpness              not supported\n"
            "Tilt                   not supported\n"
            "WhiteBalance           not supported\n"
            "Zoom                   203            100  500  10    100      off   manual\n"
            "PowerFrequency         50                                      off\n"
            "\n"
            "Formats:\n"
            "  0  640x480 30Hz 16bpp   YUY2\n"
            "  1  1280x720 30Hz 24bpp  MJPG\n",
     .Err = "korvane-cam: Lab Cam: Gain: The operation failed for an unspecified reason "
            "(0x80004005)\n",
     .Fault = [](SimDescription& d) { d.devices[0].faults["IAMVideoProcAmp::Get#9"] = E_FAIL; }},
    {.Name = "DefaultsSetsEverySupportedPropertyAndKeepsModes",
     .Args = {"defaults", "0"},
     .Out = "Brightness=0\nExposure=-6\nGain=32\nZoom=100\n",
     .Expected =
         [](SimDescription& d) {
           Vpa(d, 0, kBrightness).value = 0;
           Cc(d, 0, kExposure).value = -6;
           Vpa(d, 0, kGain).value = 32;
           Cc(d, 0, kZoom).value = 100;
         }},
    {.Name = "DefaultsReportsAFailingPropertyAndResetsTheOthers",
     .Args = {"defaults", "0"},
     .ExitCode = 5,
     .Out = "Exposure=-6\nGain=32\nZoom=100\n",
     .Err = "korvane-cam: Lab Cam: Brightness: The operation failed for an unspecified reason "
            "(0x80004005)\n",
     .Expected =
         [](SimDescription& d) {
           Cc(d, 0, kExposure).value = -6;
           Vpa(d, 0, kGain).value = 32;
           Cc(d, 0, kZoom).value = 100;
         },
     .Fault = FailBrightnessWrites},
    {.Name = "DefaultsWithoutAdjustableProperty",
     .Args = {"defaults", "Bare Cam"},
     .ExitCode = 4,
     .Err = "korvane-cam: Bare Cam: does not support setting default values\n"},
    {.Name = "NoCommand",
     .Args = {},
     .ExitCode = 2,
     .Err = "korvane-cam: no command given (see korvane-cam --help)\n"},
    {.Name = "UnknownCommand",
     .Args = {"frobnicate"},
     .ExitCode = 2,
     .Err = "korvane-cam: unknown command 'frobnicate' (see korvane-cam --help)\n"},
    {.Name = "TooManyArguments",
     .Args = {"list", "0"},
     .ExitCode = 2,
     .Err = "korvane-cam: wrong number of arguments for list (see korvane-cam --help)\n"},
    {.Name = "JsonOnlyForListAndShow",
     .Args = {"save", "0", "--json", "x.kcs"},
     .ExitCode = 2,
     .Err = "korvane-cam: --json is not an option of save (see korvane-cam --help)\n"},
};

class ToolCommand : public ::testing::TestWithParam<TCase> {};

TEST_P(ToolCommand, PrintsExitsAndChangesTheCameraAsDocumented) {
  const TCase& c = GetParam();
  const TScratchFolder folder;
  SimDescription cameras = Fixture();
  if (c.Fault) c.Fault(cameras);
  WriteCameraFile(folder / "cameras.json", cameras);

  const TToolRun run = RunTool(folder / "cameras.json", c.Args);
  EXPECT_EQ(run.ExitCode, c.ExitCode);
  EXPECT_EQ(run.Out, c.Out);
  EXPECT_EQ(run.Err, c.Err);
  SimDescription expected = cameras;
  if (c.Expected) c.Expected(expected);
  EXPECT_TRUE(ReadCameraFile(folder / "cameras.json") == expected) << "the camera file differs";
}

INSTANTIATE_TEST_SUITE_P(Cases, ToolCommand, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TCase>& param) {
                           return std::string(param.param.Name);
                         });

TEST(ToolJson, ListAndShowParseBack) {
  const TScratchFolder folder;
  WriteCameraFile(folder / "cameras.json", Fixture());

  const TToolRun list = RunTool(folder / "cameras.json", {"list", "--json"});
  ASSERT_EQ(list.ExitCode, 0) << list.Err;
  const auto cameras = nlohmann::json::parse(list.Out);
  ASSERT_EQ(cameras.size(), 4u);
  EXPECT_EQ(cameras[2], nlohmann::json::parse(
                            R"({"index":2,"name":"Twin","path":"sim:twin-b","description":""})"));

  const TToolRun show = RunTool(folder / "cameras.json", {"--json", "show", "0"});
  ASSERT_EQ(show.ExitCode, 0) << show.Err;
  const auto lab = nlohmann::json::parse(show.Out);
  EXPECT_EQ(lab["name"], "Lab Cam");
  EXPECT_EQ(lab["properties"]["Brightness"],
            nlohmann::json::parse(R"({"supported":true,"value":10,"min":-64,"max":64,"step":1,
                "default":0,"auto":false,"canAuto":false,"canManual":true})"));
  EXPECT_EQ(lab["properties"]["Hue"], nlohmann::json::parse(R"({"supported":false})"));
  EXPECT_EQ(lab["properties"]["PowerFrequency"],
            nlohmann::json::parse(R"({"supported":true,"value":"50","auto":false})"));
  ASSERT_EQ(lab["formats"].size(), 2u);
  EXPECT_EQ(lab["formats"][1],
            nlohmann::json::parse(R"({"width":1280,"height":720,"avgTimePerFrame":333333,
                "bitsPerPixel":24,"compression":"MJPG","text":"1280x720 30Hz 24bpp"})"));

  const TToolRun all = RunTool(folder / "cameras.json", {"show", "--json"});
  ASSERT_EQ(all.ExitCode, 0) << all.Err;
  const auto reports = nlohmann::json::parse(all.Out);
  ASSERT_EQ(reports.size(), 4u);
  EXPECT_EQ(reports[0], lab);
  EXPECT_EQ(reports[3]["properties"]["PowerFrequency"]["supported"], false);
}

TEST(ToolHelp, EveryCommandHasItsOwn) {
  const TScratchFolder folder;
  WriteCameraFile(folder / "cameras.json", Fixture());
  for (const std::string command : {"list", "show", "set", "save", "load", "defaults", "remember",
                                    "forget", "remembered", "restore", "autostart", "emulate"}) {
    SCOPED_TRACE(command);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{command, "--help"}, {"help", command}, {command, "0", "-h"}}) {
      const TToolRun run = RunTool(folder / "cameras.json", args);
      EXPECT_EQ(run.ExitCode, 0);
      EXPECT_TRUE(run.Out.starts_with("Usage: korvane-cam " + command)) << run.Out;
      EXPECT_EQ(run.Err, "");
    }
  }
  const TToolRun overview = RunTool(folder / "cameras.json", {"--help"});
  EXPECT_EQ(overview.ExitCode, 0);
  EXPECT_NE(overview.Out.find("5 device error, 6 not available on this system"), std::string::npos)
      << overview.Out;
}

TEST(ToolSettingsFile, SaveWritesWhatTheWindowShowsAndLoadBringsItBack) {
  const TScratchFolder folder;
  const auto cameras = folder / "cameras.json";
  const SimDescription fixture = Fixture();
  WriteCameraFile(cameras, fixture);
  const std::string file = (folder / "lab.kcs").string();

  const TToolRun save = RunTool(cameras, {"save", "Lab Cam", file});
  ASSERT_EQ(save.ExitCode, 0) << save.Err;
  EXPECT_EQ(save.Out, "");
  // Zoom as its track bar holds it: 203 moved to the step.
  EXPECT_EQ(ReadText(file),
            "[Lab Cam]\nBacklightCompensation=0\nBrightness=10\nColorEnable=0\nContrast=0\n"
            "Exposure=-4\nFocus=0\nGain=40\nGamma=0\nHue=0\nIris=0\nPan=0\nRoll=0\n"
            "Saturation=0\nSharpness=0\nTilt=0\nWhiteBalance=0\nZoom=200\n"
            "CheckBoxBacklightCompensation=0\nCheckBoxBrightness=0\nCheckBoxColorEnable=0\n"
            "CheckBoxContrast=0\nCheckBoxExposure=1\nCheckBoxFocus=0\nCheckBoxGain=1\n"
            "CheckBoxGamma=0\nCheckBoxHue=0\nCheckBoxIris=0\nCheckBoxPan=0\nCheckBoxRoll=0\n"
            "CheckBoxSaturation=0\nCheckBoxSharpness=0\nCheckBoxTilt=0\nCheckBoxWhiteBalance=0\n"
            "CheckBoxZoom=0\nPowerFrequency=0\n");

  ASSERT_EQ(RunTool(cameras,
                    {"set", "0", "Brightness=-50", "Gain=manual", "Zoom=400", "PowerFrequency=60"})
                .ExitCode,
            0);
  const TToolRun load = RunTool(cameras, {"load", "sim:lab", file});
  ASSERT_EQ(load.ExitCode, 0) << load.Err;
  // Auto states first, then the values that move, then the frequency.
  EXPECT_EQ(load.Out, "Gain=auto\nBrightness=10\nZoom=200\nPowerFrequency=50\n");
  SimDescription expected = fixture;
  Cc(expected, 0, kZoom).value = 200;
  EXPECT_TRUE(ReadCameraFile(cameras) == expected);
}

TEST(ToolSettingsFile, RefusesWhatWouldChangeTheCameraBlindly) {
  const TScratchFolder folder;
  const auto cameras = folder / "cameras.json";
  WriteCameraFile(cameras, Fixture());
  const std::string other = (folder / "other.kcs").string();
  ASSERT_EQ(RunTool(cameras, {"save", "Bare Cam", other}).ExitCode, 0);
  const std::string before = ReadText(cameras);
  // Over the cap, though it holds the camera's section: reported as too large, never as a file
  // without the section, and never written over.
  const auto huge = folder / "huge.kcs";
  std::ofstream(huge) << "[Lab Cam]\nBrightness=1\n" << std::string(4 << 20, ';') << "\n";
  const auto hugeSize = std::filesystem::file_size(huge);

  struct {
    std::vector<std::string> Args;
    int ExitCode;
    std::string Err;
  } const cases[] = {
      {{"load", "0", (folder / "missing.kcs").string()},
       1,
       "korvane-cam: Lab Cam: Unable to read " + (folder / "missing.kcs").string() +
           ": no such file\n"},
      {{"load", "0", other},
       1,
       "korvane-cam: Lab Cam: the settings file " + other + " has no section [Lab Cam]\n"},
      {{"load", "0", huge.string()},
       1,
       "korvane-cam: Lab Cam: Unable to read " + huge.string() +
           ": it is larger than a settings file can be (4 MiB)\n"},
      {{"load", "0", folder.Path().string()},
       1,
       "korvane-cam: Lab Cam: Unable to read " + folder.Path().string() +
           ": it is not a regular file\n"},
      {{"save", "0", (folder / "no/such/folder.kcs").string()},
       1,
       "korvane-cam: Lab Cam: Unable to write to " + (folder / "no/such/folder.kcs").string() +
           ": cannot create a file in its folder \"" + (folder / "no/such").string() +
           "\": No such file or directory\n"},
      {{"save", "0", folder.Path().string()},
       1,
       "korvane-cam: Lab Cam: Unable to write to " + folder.Path().string() +
           ": it is not a regular file\n"},
      {{"save", "0", huge.string()},
       1,
       "korvane-cam: Lab Cam: Unable to write to " + huge.string() +
           ": it is larger than a settings file can be (4 MiB)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Args[0] + " " + c.Args[2]);
    const TToolRun run = RunTool(cameras, c.Args);
    EXPECT_EQ(run.ExitCode, c.ExitCode);
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(run.Err, c.Err);
  }
  EXPECT_EQ(ReadText(cameras), before);
  EXPECT_EQ(std::filesystem::file_size(huge), hugeSize);
}

// What a script would take for the whole report must not be cut off without a word.
TEST(ToolOutput, AFailedWriteOfTheOutputIsAnError) {
  const TScratchFolder folder;
  const auto cameras = folder / "cameras.json";
  WriteCameraFile(cameras, Fixture());
  const auto settings = folder / "lab.kcs";
  ASSERT_EQ(RunTool(cameras, {"save", "0", settings.string()}).ExitCode, 0);
  const TEnvironment environment{{"KORVANE_CAMERAS", cameras.string()},
                                 {"XDG_CONFIG_HOME", (folder / "config").string()}};
  const std::vector<std::vector<std::string>> commands = {
      {"list"},           {"list", "--json"}, {"show", "0"},
      {"show", "--json"}, {"remembered"},     {"set", "0", "Brightness=5"},
      {"--help"},         {"--version"},      {"load", "0", settings.string()}};
  for (const auto& command : commands) {
    SCOPED_TRACE(command[0] + (command.size() > 1 ? " " + command[1] : ""));
    const TToolRun run = RunTool(environment, command, "/dev/full");
    EXPECT_EQ(run.ExitCode, 7);
    EXPECT_EQ(run.Err, "korvane-cam: cannot write to standard output: No space left on device\n");
  }
  // A command that failed keeps its own exit code and message.
  const TToolRun failed = RunTool(environment, {"show", "9"}, "/dev/full");
  EXPECT_EQ(failed.ExitCode, 3);
  EXPECT_EQ(failed.Err, "korvane-cam: no camera with index 9 (4 listed)\n");
}

// A driver's name is shown, not obeyed: an escape sequence in it would retitle the terminal or
// hide what follows. JSON escapes it on its own.
TEST(ToolText, ControlCharactersInNamesAreShownEscaped) {
  const TScratchFolder folder;
  const auto cameras = folder / "cameras.json";
  // The camera's device path is a link, as udev makes them, to its node.
  std::ofstream(folder / "video7").put('\n');
  std::filesystem::create_symlink(folder / "video7", folder / "by-id-cam");
  SimDescription description;
  description.devices = {
      Camera("Evil\x1B]0;owned\x07 Cam\xC2\x9B", (folder / "by-id-cam").string())};
  WriteCameraFile(cameras, description);
  const std::string shown = "Evil\\x1B]0;owned\\x07 Cam\\u009B";
  const struct {
    std::vector<std::string> Args;
    std::string InOut;
    std::string InErr;
  } cases[] = {
      {{"list"}, shown, ""},
      {{"show", "0"}, "Camera 0: " + shown + "\n", ""},
      // Chosen by the node its device path links to, as /dev/video0 is.
      {{"show", (folder / "video7").string()}, "Camera 0: " + shown + "\n", ""},
      {{"set", "0", "Zoom=1"}, "", "korvane-cam: " + shown + ": "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Args[0]);
    const TToolRun run = RunTool(cameras, c.Args);
    EXPECT_NE(run.Out.find(c.InOut), std::string::npos) << run.Out;
    EXPECT_NE(run.Err.find(c.InErr), std::string::npos) << run.Err;
    for (const std::string& printed : {run.Out, run.Err}) {
      EXPECT_EQ(printed.find_first_of("\x1B\x07"), std::string::npos) << printed;
      EXPECT_EQ(printed.find("\xC2\x9B"), std::string::npos) << printed;
    }
  }
  const TToolRun json = RunTool(cameras, {"list", "--json"});
  EXPECT_EQ(nlohmann::json::parse(json.Out).at(0).at("name"), "Evil\x1B]0;owned\x07 Cam\xC2\x9B");
}

TEST(ToolCameraFile, AnUnusableFileIsADeviceError) {
  const TScratchFolder folder;
  std::ofstream(folder / "cameras.json") << "{\"devices\": [}";
  // Simulated cameras, and the emulated kernel's cameras.
  const TEnvironment environments[] = {
      {{"KORVANE_CAMERAS", (folder / "cameras.json").string()}},
      {{"KORVANE_CAMERAS", std::nullopt},
       {"KORVANE_V4L2_EMULATION", (folder / "cameras.json").string()}},
  };
  for (const TEnvironment& environment : environments) {
    SCOPED_TRACE(environment.back().first);
    const TToolRun run = RunTool(environment, {"list"});
    EXPECT_EQ(run.ExitCode, 5);
    EXPECT_EQ(run.Out, "");
    // The provider's own line, naming the file and the fault.
    EXPECT_NE(run.Err.find("cameras.json"), std::string::npos) << run.Err;
    EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << run.Err;
  }
}

}  // namespace
}  // namespace korvane::cli::testing
