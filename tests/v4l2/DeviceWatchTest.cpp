// Cameras coming while a program waits: the machine's device folders watched with inotify (on a
// folder of the test's own, laid out as /dev is), and the emulated kernel woken by its file.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <map>

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

// Another process's opens and closes of a node: a child process on the same camera file opens it
// and is killed holding it, so its entry stays behind it; this process's own opens never count.
TEST_F(DeviceWatch, EmulatedOpenWatchCountsOtherLiveProcessesOnly) {
  const fs::path file = dir_ / "cameras.json";
  std::ofstream(file, std::ios::binary) << CameraFile(true, 0, 10);
  std::string error;
  const std::shared_ptr<EmulatedKernel> kernel = EmulatedKernel::FromFile(file, &error);
  ASSERT_TRUE(kernel) << error;
  const Door door(kernel);
  const int watch = door.WatchOpens("/dev/v4l/by-id/usb-1234_5678-video-index0");
  ASSERT_GE(watch, 0) << -watch;
  const UniqueFd owned(door, watch, &Door::CloseOpenWatch);
  const auto others = [&] {
    int count = -1;
    EXPECT_EQ(door.ReadOpenWatch(watch, &count), 0);
    return count;
  };
  EXPECT_EQ(others(), 0);
  const int own = door.Open("/dev/video0", O_RDWR);
  ASSERT_GE(own, 0);
  EXPECT_EQ(others(), 0);

  int toParent[2];
  ASSERT_EQ(::pipe(toParent), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string childError;
    const auto childKernel = EmulatedKernel::FromFile(file, &childError);
    const int opened = childKernel ? Door(childKernel).Open("/dev/video0", O_RDWR) : -1;
    const char answer = opened >= 0 ? 'y' : 'n';
    (void)!::write(toParent[1], &answer, 1);
    ::pause();
    ::_exit(0);
  }
  char answer = 0;
  ASSERT_EQ(::read(toParent[0], &answer, 1), 1);
  EXPECT_EQ(answer, 'y');
  ASSERT_TRUE(Readable(watch, kPatienceMs));
  EXPECT_EQ(others(), 1);
  std::vector<int> holders;
  EXPECT_EQ(door.OpenWatchHolders(watch, &holders), 0);
  EXPECT_EQ(holders, std::vector<int>{child});
  // The metadata node is another node.
  const int metadataWatch = door.WatchOpens("/dev/video1");
  ASSERT_GE(metadataWatch, 0);
  const UniqueFd metadataOwned(door, metadataWatch, &Door::CloseOpenWatch);
  int metadataOthers = -1;
  EXPECT_EQ(door.ReadOpenWatch(metadataWatch, &metadataOthers), 0);
  EXPECT_EQ(metadataOthers, 0);

  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(toParent[0]);
  ::close(toParent[1]);
  EXPECT_EQ(others(), 0);
  EXPECT_EQ(door.OpenWatchHolders(watch, &holders), 0);
  EXPECT_EQ(holders, std::vector<int>{});
  EXPECT_EQ(door.Close(own), 0);
  EXPECT_EQ(door.WatchOpens("/dev/video9"), -ENOENT);
  EXPECT_EQ(Door(KernelOf(CameraFile(true, 0, 10))).WatchOpens("/dev/video0"), -ENOTSUP);
}

// Another program's change of the file is one request to the driver: a control written gets its
// value event, and the controls whose automatic companion it wrote hear that their state may
// have turned; with the companion in the same change, the control's own event says so too.
TEST_F(DeviceWatch, AnotherProgramsChangeOfTheFileReachesSubscribersWithTheDriversFlags) {
  const fs::path file = dir_ / "cameras.json";
  const auto replace = [&](const std::string& values) {
    std::ofstream(dir_ / "next.json", std::ios::binary) << Cameras(Camera(values));
    fs::rename(dir_ / "next.json", file);
  };
  const auto controls = [](int automatic, int temperature, int brightness) {
    return R"({"name":"white_balance_temperature","min":2800,"max":6500,"step":10,"value":)" +
           std::to_string(temperature) + R"(},{"name":"white_balance_automatic","value":)" +
           std::to_string(automatic) + R"(},{"name":"brightness","min":0,"max":255,"value":)" +
           std::to_string(brightness) + "}";
  };
  replace(controls(1, 4600, 128));
  std::string error;
  const std::shared_ptr<EmulatedKernel> kernel = EmulatedKernel::FromFile(file, &error);
  ASSERT_TRUE(kernel) << error;
  const Caller caller(kernel);
  const int fd = caller.Open("/dev/video0");
  ASSERT_GE(fd, 0);
  for (const std::uint32_t id :
       {V4L2_CID_WHITE_BALANCE_TEMPERATURE, V4L2_CID_AUTO_WHITE_BALANCE, V4L2_CID_BRIGHTNESS}) {
    ASSERT_EQ(caller.Subscribe(fd, id), 0);
  }
  const auto changes = [&] {
    std::map<std::uint32_t, std::uint32_t> seen;
    if (!Readable(fd, kPatienceMs)) return seen;
    v4l2_event event{};
    while (caller.DequeueEvent(fd, &event) == 0) seen[event.id] = event.u.ctrl.changes;
    return seen;
  };
  using Seen = std::map<std::uint32_t, std::uint32_t>;
  replace(controls(0, 4600, 100));
  EXPECT_EQ(changes(), (Seen{{V4L2_CID_AUTO_WHITE_BALANCE, V4L2_EVENT_CTRL_CH_VALUE},
                             {V4L2_CID_WHITE_BALANCE_TEMPERATURE,
                              V4L2_EVENT_CTRL_CH_FLAGS | V4L2_EVENT_CTRL_CH_VALUE},
                             {V4L2_CID_BRIGHTNESS, V4L2_EVENT_CTRL_CH_VALUE}}));
  replace(controls(1, 3500, 100));
  EXPECT_EQ(changes(), (Seen{{V4L2_CID_AUTO_WHITE_BALANCE, V4L2_EVENT_CTRL_CH_VALUE},
                             {V4L2_CID_WHITE_BALANCE_TEMPERATURE,
                              V4L2_EVENT_CTRL_CH_FLAGS | V4L2_EVENT_CTRL_CH_VALUE}}));
  replace(controls(1, 3500, 90));
  EXPECT_EQ(changes(), (Seen{{V4L2_CID_BRIGHTNESS, V4L2_EVENT_CTRL_CH_VALUE}}));
  caller.Close(fd);
}

}  // namespace
}  // namespace korvane::v4l2::emulation::testing
