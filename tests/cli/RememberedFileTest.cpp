// The file a remembered camera's settings go to: made of its device path, which comes from
// the system and the user's command line, so no path may lead out of the folder or onto
// another camera's file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <set>

#include "cli/RememberedCameras.h"
#include "platform/os/FileAccess.h"

namespace korvane::cli {
namespace {

TEST(RememberedFile, StaysInItsFolderAndIsOneCamerasAlone) {
  const std::filesystem::path folder = "/home/me/.config/korvane-cam/cameras";
  EXPECT_EQ(RememberedFile(folder, "/dev/v4l/by-id/usb-Korvane_Cam_S-1-video-index0"),
            folder / "%2Fdev%2Fv4l%2Fby-id%2Fusb-Korvane_Cam_S-1-video-index0.kcs");

  const std::string longPath = "/dev/v4l/by-path/" + std::string(300, 'x');
  const std::vector<std::string> paths = {"/dev/video0",
                                          "../../etc/passwd",
                                          "..",
                                          ".",
                                          ".hidden",
                                          "a/b",
                                          "a%2Fb",
                                          "a b\n",
                                          "sim:lab",
                                          "\xC3\xA9",
                                          longPath + "-video-index0",
                                          longPath + "-video-index1",
                                          ""};
  std::set<std::filesystem::path> files;
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    const std::filesystem::path file = RememberedFile(folder, path);
    EXPECT_EQ(file.parent_path(), folder);
    const std::string name = file.filename().string();
    EXPECT_FALSE(name.starts_with('.'));
    EXPECT_LE(name.size(), 255u);
    EXPECT_EQ(name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                     "0123456789-_.%~"),
              std::string::npos);
    files.insert(file);
  }
  EXPECT_EQ(files.size(), paths.size()) << "two device paths share a file";
}

// restore and its watcher take the camera's device path, its name and its settings from one read
// of its file: a file edited meanwhile is restored as one version, never as the defaults.
TEST(RememberedFile, TheSettingsComeFromTheSameReadAsTheCamera) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("korvane-remembered-" + std::to_string(::getpid()));
  const std::string path = "/dev/v4l/by-id/usb-Cam-video-index0";
  TCameraSettings first;
  first.Positions[1] = 40;
  const TRememberedCamera remembered = Remember(folder, path, "Cam", first);
  // Each read is followed by another program's edit: here, a file without the camera's section.
  os::SetAfterReadHook([&](const std::filesystem::path& read) {
    if (read == remembered.File) {
      std::ofstream(remembered.File) << "[korvane-cam]\nDevicePath=" << path << "\nCamera=Cam\n";
    }
  });
  const auto found = FindRemembered(folder, path);
  os::SetAfterReadHook(nullptr);
  std::filesystem::remove_all(folder);
  ASSERT_TRUE(found.has_value());
  EXPECT_TRUE(found->Settings.SectionFound);
  EXPECT_EQ(found->Settings.Settings.Positions[1], 40);
}

}  // namespace
}  // namespace korvane::cli
