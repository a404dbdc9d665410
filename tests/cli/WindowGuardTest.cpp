// The window and the watcher at once: a value the user changes in the window while a browser
// holds a guarded camera is the user's, and the watcher leaves it, while it still puts back what
// the browser changes.
#include <linux/videodev2.h>
#include <signal.h>

#include <gtest/gtest.h>

#include <QTest>

#include "platform/devices/DeviceProvider.h"
#include "platform/v4l2/V4l2Provider.h"
#include "platform/v4l2/emulation/EmulatedKernel.h"
#include "tests/cli/EmulatedCameraFile.h"
#include "tests/cli/ToolRun.h"
#include "tests/ui/ActionTestSupport.h"
#include "widgets/TrackBar.h"

namespace korvane::cli::testing {
namespace {

using korvane::v4l2::emulation::EmulatedKernel;

TEST(WindowGuardTest, AValueChangedInTheWindowWhileGuardedIsNotFought) {
  uitest::TempHome home;
  const TScratchFolder folder;
  TEmulatedCameraFile cameras(folder / "cameras.json");
  cameras.Write(
      {{"cameras",
        {TEmulatedCameraFile::TestCamera("solo", {{"vendor", "c0de"},
                                                  {"product", "0a10"},
                                                  {"manufacturer", "Korvane"},
                                                  {"productName", "Solo Cam"},
                                                  {"serial", "S-1"}}),
         // With two cameras the window selects the first when it starts.
         TEmulatedCameraFile::TestCamera(
             "other", {{"vendor", "c0de"}, {"product", "0b20"}, {"productName", "Other Cam"}})}}});
  const TEnvironment environment{{"KORVANE_CAMERAS", std::nullopt},
                                 {"KORVANE_V4L2_EMULATION", cameras.Path().string()},
                                 {"XDG_CONFIG_HOME", (folder / "config").string()}};
  ASSERT_EQ(RunTool(environment, {"set", "0", "Brightness=40", "Contrast=60"}).ExitCode, 0);
  ASSERT_EQ(RunTool(environment, {"remember", "0"}).ExitCode, 0);
  TBackgroundTool watcher(environment, {"restore", "--watch"});
  ASSERT_TRUE(watcher.WaitForErr("korvane-cam: watching")) << watcher.Err();

  std::string error;
  const auto kernel = EmulatedKernel::FromFile(cameras.Path(), &error);
  ASSERT_TRUE(kernel) << error;
  const devices::ScopedDeviceProviders providers({v4l2::MakeV4l2Provider(kernel)});
  uitest::App();
  TApplicationWindows windows = CreateApplicationWindows({});
  windows.FormMain->show();

  TBackgroundTool browser(environment, {"/dev/video0", "--seconds", "60"}, OtherProgramPath());
  ASSERT_TRUE(watcher.WaitForErr("korvane-cam: put back on 'Solo Cam'")) << watcher.Err();
  ASSERT_TRUE(browser.WaitForOut("reset done")) << browser.Err();
  ASSERT_TRUE(WaitUntil([&] {
    return cameras.Value("solo", "brightness") == 40 && cameras.Value("solo", "contrast") == 60;
  }));

  const int putBackBefore = Occurrences(watcher.Err(), "Brightness=40");
  auto* brightness = windows.FormMain->findChild<TTrackBar*>(QStringLiteral("TrackBarBrightness"));
  ASSERT_TRUE(brightness);
  brightness->setFocus();
  QTest::keyClick(brightness, Qt::Key_Right);
  const int chosen = cameras.Value("solo", "brightness");
  ASSERT_NE(chosen, 40);

  // The browser changes another control: that one is put back, the window's value stays.
  cameras.SetValue("solo", "contrast", 0);
  ASSERT_TRUE(watcher.WaitForErr(": Contrast=60")) << watcher.Err();
  EXPECT_EQ(cameras.Value("solo", "brightness"), chosen);
  EXPECT_EQ(Occurrences(watcher.Err(), "Brightness=40"), putBackBefore) << watcher.Err();
  browser.Stop(SIGTERM);
  EXPECT_EQ(watcher.Stop(SIGTERM), 0);
}

}  // namespace
}  // namespace korvane::cli::testing
