// Cameras coming while a program waits: the machine's device folders watched with inotify (on a
// folder of the test's own, laid out as /dev is), and the emulated kernel woken by its file.

#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/v4l2/NodeWatch.h"
#include "tests/v4l2/EmulationTestSupport.h"

namespace korvane::v4l2::emulation::testing {
namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

// Far beyond the moment inotify takes; a watch that never wakes fails instead of hanging.
constexpr int kPatienceMs = 30000;

bool Readable(int fd, int timeoutMs) {
  pollfd entry{fd, POLLIN, 0};
  return ::poll(&entry, 1, timeoutMs) == 1;
}

Paths Sorted(Paths paths) {
  std::sort(paths.begin(), paths.end());
  paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
  return paths;
}

class DeviceWatch : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::path(::testing::TempDir()) / "korvane-watch-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
};

// What a node watch reports once its descriptor is readable; empty when it never is.
Paths Appeared(NodeWatch& watch) {
  Paths appeared;
  if (!Readable(watch.Descriptor(), kPatienceMs)) return {"(no wake-up)"};
  EXPECT_EQ(watch.Read(&appeared), 0);
  return Sorted(appeared);
}

TEST_F(DeviceWatch, NodesAndLinksThatComeAreNamedAndNothingElse) {
  const std::string root = dir_.string();
  NodeWatch watch(root);
  ASSERT_EQ(watch.Start(), 0);
  EXPECT_FALSE(Readable(watch.Descriptor(), 0));

  std::ofstream(dir_ / "video0");
  EXPECT_EQ(Appeared(watch), Paths{root + "/video0"});
  // udev giving the node its group and access list.
  ::chmod((dir_ / "video0").c_str(), 0660);
  EXPECT_EQ(Appeared(watch), Paths{root + "/video0"});
  // Another device wakes the watch but names nothing.
  std::ofstream(dir_ / "ttyS9");
  EXPECT_EQ(Appeared(watch), Paths{});

  // udev makes /dev/v4l and its folders with the first camera: links made before the watch
  // reached their folder are named all the same.
  fs::create_directories(dir_ / "v4l/by-id");
  fs::create_symlink("../../video0", dir_ / "v4l/by-id/usb-A_Cam-video-index0");
  fs::create_directories(dir_ / "v4l/by-path");
  EXPECT_EQ(Appeared(watch), Paths{root + "/v4l/by-id/usb-A_Cam-video-index0"});
  // A link made under a hidden name and renamed into place is named once, by its own name.
  fs::create_symlink("../../video0", dir_ / "v4l/by-path/.tmp-link");
  fs::rename(dir_ / "v4l/by-path/.tmp-link", dir_ / "v4l/by-path/pci-0-usb-0:1:1.0-video-index0");
  EXPECT_EQ(Appeared(watch), Paths{root + "/v4l/by-path/pci-0-usb-0:1:1.0-video-index0"});

  // The last camera goes and udev removes the folders; they are watched again when they come.
  fs::remove_all(dir_ / "v4l");
  EXPECT_EQ(Appeared(watch), Paths{});
  fs::create_directories(dir_ / "v4l/by-id");
  fs::create_symlink("../../video2", dir_ / "v4l/by-id/usb-B_Cam-video-index0");
  EXPECT_EQ(Appeared(watch), Paths{root + "/v4l/by-id/usb-B_Cam-video-index0"});
  EXPECT_FALSE(Readable(watch.Descriptor(), 0));
}

TEST_F(DeviceWatch, WatchWithoutTheDeviceFolderFails) {
  NodeWatch watch((dir_ / "missing").string());
  EXPECT_EQ(watch.Start(), -1);
  EXPECT_EQ(errno, ENOENT);
}

// The emulated kernel's file with one camera, plugged in or not, plugged so many times.
std::string CameraFile(bool present, int plugs, int brightness) {
  return Cameras(Camera(
      R"({"name":"brightness","min":0,"max":255,"value":)" + std::to_string(brightness) + "}",
      R"(,"present":)" + std::string(present ? "true" : "false") + R"(,"plugs":)" +
          std::to_string(plugs)));
}

TEST_F(DeviceWatch, EmulatedKernelNamesTheNodesAndLinksItsFilePlugsIn) {
  const fs::path file = dir_ / "cameras.json";
  const auto replace = [&](const std::string& text) {
    std::ofstream(dir_ / "next.json", std::ios::binary) << text;
    fs::rename(dir_ / "next.json", file);
  };
  replace(CameraFile(false, 0, 10));
  std::string error;
  const std::shared_ptr<EmulatedKernel> kernel = EmulatedKernel::FromFile(file, &error);
  ASSERT_TRUE(kernel) << error;
  const Door door(kernel);
  const int fd = door.WatchDevices();
  ASSERT_GE(fd, 0) << -fd;
  const UniqueFd owned(door, fd, &Door::CloseDeviceWatch);
  const auto appeared = [&] {
    Paths paths;
    if (!Readable(fd, kPatienceMs)) return Paths{"(no wake-up)"};
    EXPECT_EQ(door.ReadDeviceWatch(fd, &paths), 0);
    return Sorted(paths);
  };
  const auto nodes = [](int capture) {
    return Paths{"/dev/v4l/by-id/usb-1234_5678-video-index0",
                 "/dev/v4l/by-id/usb-1234_5678-video-index1",
                 "/dev/v4l/by-path/pci-0000:00:14.0-usb-0:1:1.0-video-index0",
                 "/dev/v4l/by-path/pci-0000:00:14.0-usb-0:1:1.0-video-index1",
                 "/dev/video" + std::to_string(capture),
                 "/dev/video" + std::to_string(capture + 1)};
  };
  EXPECT_FALSE(Readable(fd, 0));

  replace(CameraFile(true, 0, 10));
  EXPECT_EQ(appeared(), nodes(0));
  // A changed control wakes the watch; nothing came.
  replace(CameraFile(true, 0, 20));
  EXPECT_EQ(appeared(), Paths{});
  // Out and in again at once: new node numbers, and the links lead to them.
  replace(CameraFile(true, 1, 20));
  EXPECT_EQ(appeared(), nodes(2));
  EXPECT_FALSE(Readable(fd, 0));

  const Door inMemory(KernelOf(CameraFile(true, 0, 10)));
  EXPECT_EQ(inMemory.WatchDevices(), -ENOTSUP);
}

}  // namespace
}  // namespace korvane::v4l2::emulation::testing
