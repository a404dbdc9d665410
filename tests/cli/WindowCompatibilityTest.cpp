// The window and korvane-cam on one settings file: what either saves, the other saves byte for
// byte, and loading a file through either leaves the camera in the same state.
#include <gtest/gtest.h>

#include <QTest>

#include "platform/os/ProfileFile.h"
#include "tests/cli/ToolRun.h"
#include "tests/ui/ActionTestSupport.h"

namespace korvane::cli::testing {
namespace {

using sim::SimControl;
using sim::SimDescription;
namespace fs = std::filesystem;

enum : LONG {
  kBrightness = 0,
  kContrast = 1,
  kGain = 9,
  kPowerLine = 13,
  kZoom = 3,
  kExposure = 4
};

// "Cam A" (selected when the window starts, as the first of two) in the state that is saved:
// values off the step, automatic and manual modes, 50 Hz. "Cam B" is only there.
SimDescription SavedState() {
  sim::SimDevice a = uitest::Camera("Cam A");
  // {min, max, step, default, caps, value, flags}
  a.videoProcAmp[kBrightness] = SimControl{0, 255, 1, 100, 3, 128, 2};
  a.videoProcAmp[kContrast] = SimControl{0, 100, 1, 40, 3, 50, 1};
  a.videoProcAmp[kGain] = SimControl{0, 255, 5, 0, 2, 7, 2};
  a.videoProcAmp[kPowerLine] = SimControl{0, 3, 1, 1, 2, 1, 2};
  a.cameraControl[kZoom] = SimControl{100, 400, 10, 200, 2, 203, 2};
  a.cameraControl[kExposure] = SimControl{-11, -2, 1, -6, 3, -4, 1};
  SimDescription description;
  description.devices = {a, uitest::Camera("Cam B")};
  return description;
}

// The same camera changed in every way a load can undo; zoom only off its step, where the
// window's track bar shows the saved position already and so writes nothing.
SimDescription LoadedInto() {
  SimDescription description = SavedState();
  sim::SimDevice& a = description.devices[0];
  a.videoProcAmp[kBrightness].value = 10;
  a.videoProcAmp[kBrightness].flags = 1;
  a.videoProcAmp[kContrast].flags = 2;
  a.videoProcAmp[kGain].value = 100;
  a.videoProcAmp[kPowerLine].value = 2;
  a.cameraControl[kZoom].value = 197;
  a.cameraControl[kExposure] = SimControl{-11, -2, 1, -6, 3, -10, 2};
  return description;
}

// The program's windows over a camera file, the way a person uses them.
class TWindowOn {
 public:
  explicit TWindowOn(const fs::path& cameras) : FCameras(cameras) {
    uitest::App();
    FWindows = CreateApplicationWindows({});
    FWindows.FormMain->show();
    if (!QTest::qWaitForWindowExposed(FWindows.FormMain.get())) ADD_FAILURE() << "no window";
  }
  void Save(const fs::path& file) {
    uitest::ModalAnswerer save(QStringLiteral("SaveDialog1"),
                               uitest::ChooseFile(QString::fromStdString(file.string())));
    uitest::Click(FWindows.FormMain->ButtonWrite);
  }
  void Load(const fs::path& file) {
    uitest::ModalAnswerer load(QStringLiteral("OpenDialog1"),
                               uitest::ChooseFile(QString::fromStdString(file.string())));
    uitest::Click(FWindows.FormMain->ButtonRead);
  }

 private:
  sim::ScopedSimCameras FCameras;
  TApplicationWindows FWindows;
};

void ToolRuns(const fs::path& cameras, const std::vector<std::string>& arguments) {
  const TToolRun run = RunTool(cameras, arguments);
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
}

TEST(WindowAndTool, SaveTheSameBytes) {
  const uitest::TempHome home;
  const TScratchFolder folder;
  WriteCameraFile(folder / "cameras.json", SavedState());

  TWindowOn(folder / "cameras.json").Save(folder / "window.kcs");
  ToolRuns(folder / "cameras.json", {"save", "Cam A", (folder / "tool.kcs").string()});

  const std::string window = ReadText(folder / "window.kcs");
  ASSERT_NE(window.find("[Cam A]"), std::string::npos) << window;
  EXPECT_EQ(ReadText(folder / "tool.kcs"), window);
}

enum class TSaver { Window, Tool };

void PrintTo(TSaver saver, std::ostream* out) {
  *out << (saver == TSaver::Window ? "saved by the window" : "saved by the tool");
}

class LoadThroughEither : public ::testing::TestWithParam<TSaver> {};

// Loads the file into two copies of the changed camera, one through the window and one through
// the tool, and compares the camera files.
void ExpectSameLoad(const TScratchFolder& folder, const fs::path& settings) {
  WriteCameraFile(folder / "window-camera.json", LoadedInto());
  WriteCameraFile(folder / "tool-camera.json", LoadedInto());
  TWindowOn(folder / "window-camera.json").Load(settings);
  ToolRuns(folder / "tool-camera.json", {"load", "Cam A", settings.string()});

  const std::string window = ReadText(folder / "window-camera.json");
  EXPECT_NE(window, ReadText(folder / "camera-before.json")) << "the window loaded nothing";
  EXPECT_EQ(ReadText(folder / "tool-camera.json"), window);
}

TEST_P(LoadThroughEither, LeavesTheCameraInOneState) {
  const uitest::TempHome home;
  const TScratchFolder folder;
  WriteCameraFile(folder / "saved-camera.json", SavedState());
  WriteCameraFile(folder / "camera-before.json", LoadedInto());
  const fs::path settings = folder / "settings.kcs";
  if (GetParam() == TSaver::Window) {
    TWindowOn(folder / "saved-camera.json").Save(settings);
  } else {
    ToolRuns(folder / "saved-camera.json", {"save", "Cam A", settings.string()});
  }
  {
    SCOPED_TRACE("as saved");
    ExpectSameLoad(folder, settings);
  }
  // Edited by hand: a fraction, values outside the range and off the step, a hexadecimal
  // check box, a value that is no number and a list index the window does not have.
  os::ProfileFile edited(settings);
  for (const auto& [key, value] :
       std::initializer_list<std::pair<const char*, const char*>>{{"Brightness", "300"},
                                                                  {"Gain", "12.6"},
                                                                  {"Zoom", "abc"},
                                                                  {"Exposure", "-2.5"},
                                                                  {"CheckBoxBrightness", "0x1F"},
                                                                  {"PowerFrequency", "7"}}) {
    ASSERT_TRUE(edited.WriteString("Cam A", key, value));
  }
  {
    SCOPED_TRACE("edited");
    ExpectSameLoad(folder, settings);
  }
}

INSTANTIATE_TEST_SUITE_P(SavedBy, LoadThroughEither,
                         ::testing::Values(TSaver::Window, TSaver::Tool),
                         [](const ::testing::TestParamInfo<TSaver>& param) {
                           return std::string(param.param == TSaver::Window ? "Window" : "Tool");
                         });

}  // namespace
}  // namespace korvane::cli::testing
