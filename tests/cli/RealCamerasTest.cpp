// Every real camera's emulation file through the tool: listed, shown, each control set to its
// minimum, maximum and default and back, a settings file saved and loaded back, and factory
// defaults. The files come from the folder of real cameras (a copy per test).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/cli/EmulatedCameraFile.h"
#include "tests/cli/ToolRun.h"
#include "tests/support/RealCameras.h"

namespace korvane::cli::testing {
namespace {

using nlohmann::json;

using korvane::testing::RealCameraFiles;
using korvane::testing::RealCamerasFolder;

class RealCamera : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    std::filesystem::copy_file(RealCamerasFolder() / GetParam(), FCameras.Path());
  }
  TToolRun Run(const std::vector<std::string>& arguments) const {
    return RunTool({{"KORVANE_CAMERAS", std::nullopt},
                    {"KORVANE_V4L2_EMULATION", FCameras.Path().string()},
                    {"XDG_CONFIG_HOME", (FFolder / "config").string()}},
                   arguments);
  }
  json Show(const std::string& camera) const {
    const TToolRun show = Run({"show", camera, "--json"});
    EXPECT_EQ(show.ExitCode, 0) << show.Err;
    return show.ExitCode == 0 ? json::parse(show.Out)["properties"] : json::object();
  }
  // Sets the property to the value (switching it to manual first where it is automatic) and
  // returns the value the tool says it wrote.
  std::string Set(const std::string& camera, const std::string& name, bool automatic,
                  long long value) const {
    std::vector<std::string> args{"set", camera};
    if (automatic) args.push_back(name + "=manual");
    args.push_back(name + "=" + std::to_string(value));
    const TToolRun run = Run(args);
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    const std::string prefix = name + "=";
    const std::size_t at = run.Out.rfind(prefix);
    if (at == std::string::npos) return "";
    return run.Out.substr(at + prefix.size(), run.Out.find('\n', at) - at - prefix.size());
  }

  TScratchFolder FFolder;
  TEmulatedCameraFile FCameras{FFolder / "cameras.json"};
};

TEST_P(RealCamera, RunsThroughEveryCommand) {
  const TToolRun list = Run({"list", "--json"});
  ASSERT_EQ(list.ExitCode, 0) << list.Err;
  const json cameras = json::parse(list.Out);
  ASSERT_FALSE(cameras.empty()) << list.Out;

  for (std::size_t index = 0; index < cameras.size(); ++index) {
    const std::string camera = std::to_string(index);
    SCOPED_TRACE("camera " + camera + " '" + cameras[index]["name"].get<std::string>() + "'");
    EXPECT_FALSE(cameras[index]["name"].get<std::string>().empty());
    const json before = Show(camera);
    ASSERT_FALSE(before.empty());

    // Each control to its minimum, maximum and default (where that lies in its range), each
    // shown as written, then back to where it was.
    bool anySupported = false;
    for (const auto& [name, property] : before.items()) {
      if (name == "PowerFrequency" || !property["supported"].get<bool>()) continue;
      anySupported = true;
      ASSERT_FALSE(property.contains("error")) << name << ": " << property;
      if (!property["canManual"].get<bool>()) continue;
      const long long min = property["min"], max = property["max"], def = property["default"];
      for (const long long value : {min, max, def}) {
        if (value < min || value > max) continue;
        SCOPED_TRACE(name + "=" + std::to_string(value));
        const std::string written = Set(camera, name, property["auto"].get<bool>(), value);
        EXPECT_EQ(std::to_string(Show(camera)[name]["value"].get<long long>()), written);
      }
      Set(camera, name, true, property["value"].get<long long>());
      if (property["auto"].get<bool>()) {
        EXPECT_EQ(Run({"set", camera, name + "=auto"}).ExitCode, 0);
      }
    }
    EXPECT_EQ(Show(camera), before);

    // A settings file saved, the camera changed, the file loaded: as it was.
    const std::string file = (FFolder / ("camera" + camera + ".kcs")).string();
    const TToolRun save = Run({"save", camera, file});
    ASSERT_EQ(save.ExitCode, 0) << save.Err;
    const TToolRun defaults = Run({"defaults", camera});
    EXPECT_EQ(defaults.ExitCode, anySupported ? 0 : 4) << defaults.Err;
    const json reset = Show(camera);
    for (const auto& [name, property] : reset.items()) {
      if (name == "PowerFrequency" || !property["supported"].get<bool>()) continue;
      const bool resettable = property["canManual"].get<bool>() && !property["auto"].get<bool>() &&
                              property["default"] >= property["min"] &&
                              property["default"] <= property["max"];
      if (resettable) {
        EXPECT_EQ(property["value"], property["default"]) << name;
      }
    }
    const TToolRun load = Run({"load", camera, file});
    EXPECT_EQ(load.ExitCode, 0) << load.Err;
    EXPECT_EQ(Show(camera), before);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, RealCamera, ::testing::ValuesIn(RealCameraFiles()),
                         korvane::testing::RealCameraTestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RealCamera);

}  // namespace
}  // namespace korvane::cli::testing
