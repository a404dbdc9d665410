// The emulated descriptors are real descriptors of the process: the system's poll wakes on
// them when there is something to ask the emulated kernel about, beside the process's own
// descriptors, and stays asleep otherwise (a waiting program costs nothing).

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include "tests/v4l2/EmulationTestSupport.h"

namespace korvane::v4l2::emulation::testing {
namespace {

namespace fs = std::filesystem;

// What the system itself says of a descriptor after waiting up to waitMs: POLLIN or 0.
short SystemSees(int fd, int waitMs) {
  pollfd entry{fd, POLLIN, 0};
  return ::poll(&entry, 1, waitMs) == 1 ? entry.revents : short{0};
}

class PollableDescriptors : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::path(::testing::TempDir()) / "korvane-pollable-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    file_ = dir_ / "cameras.json";
    fs::copy_file(ExampleFile(), file_);
    kernel_ = Load();
    ASSERT_TRUE(kernel_);
    caller_.emplace(kernel_);
    fd_ = caller_->Open("/dev/video0");
    ASSERT_GE(fd_, 0);
  }
  void TearDown() override {
    caller_.reset();
    kernel_.reset();
    fs::remove_all(dir_);
  }
  std::shared_ptr<EmulatedKernel> Load() const {
    std::string error;
    auto kernel = EmulatedKernel::FromFile(file_, &error);
    EXPECT_TRUE(kernel) << error;
    return kernel;
  }

  fs::path dir_, file_;
  std::shared_ptr<EmulatedKernel> kernel_;
  std::optional<Caller> caller_;
  int fd_ = -1;
};

TEST_F(PollableDescriptors, AnotherProgramsChangeWakesTheSystemsPollUntilTheEventIsTaken) {
  ASSERT_EQ(caller_->Subscribe(fd_, V4L2_CID_BRIGHTNESS), 0);
  EXPECT_EQ(SystemSees(fd_, 0), 0) << "nothing to report";

  // Another program: its own kernel on the same camera file, changing through its own file.
  const auto other = Load();
  const Caller otherCaller(other);
  const int otherFd = otherCaller.Open("/dev/video0");
  ASSERT_GE(otherFd, 0);
  ASSERT_EQ(otherCaller.SetControl(otherFd, V4L2_CID_BRIGHTNESS, 42), 0);

  // The system's own poll, beside a pipe of the process's own that stays quiet.
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  pollfd both[] = {{pipeFds[0], POLLIN, 0}, {fd_, POLLIN, 0}};
  EXPECT_EQ(::poll(both, 2, 60'000), 1);
  EXPECT_EQ(both[1].revents, POLLIN);
  EXPECT_EQ(both[0].revents, 0);
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);

  EXPECT_EQ(caller_->PollNow(fd_, POLLPRI), POLLPRI);
  v4l2_event event{};
  ASSERT_EQ(caller_->DequeueEvent(fd_, &event), 0);
  EXPECT_EQ(event.id, std::uint32_t{V4L2_CID_BRIGHTNESS});
  EXPECT_EQ(event.u.ctrl.value, 42);
  EXPECT_EQ(SystemSees(fd_, 0), 0) << "taken, so quiet again";
  otherCaller.Close(otherFd);
}

TEST_F(PollableDescriptors, FramesWakeTheQueuesOwnerOnlyAndUnpluggingWakesEveryone) {
  const int watcher = caller_->Open("/dev/video0");
  ASSERT_GE(watcher, 0);
  ASSERT_EQ(caller_->Subscribe(watcher, V4L2_CID_BRIGHTNESS), 0);

  v4l2_requestbuffers request{};
  request.count = 2;
  request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  request.memory = V4L2_MEMORY_MMAP;
  ASSERT_EQ(caller_->Ioctl(fd_, VIDIOC_REQBUFS, &request), 0);
  for (std::uint32_t index = 0; index < request.count; ++index) {
    v4l2_buffer buffer{};
    buffer.index = index;
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    ASSERT_EQ(caller_->Ioctl(fd_, VIDIOC_QBUF, &buffer), 0);
  }
  int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  ASSERT_EQ(caller_->Ioctl(fd_, VIDIOC_STREAMON, &type), 0);

  EXPECT_EQ(SystemSees(fd_, 60'000), POLLIN) << "a frame comes";
  EXPECT_EQ(caller_->PollNow(fd_, POLLIN), POLLIN);
  // The other file is not woken by frames, however long they come.
  EXPECT_EQ(SystemSees(watcher, 200), 0);

  kernel_->Unplug("studio");
  EXPECT_EQ(SystemSees(watcher, 0), POLLIN);
  EXPECT_EQ(caller_->PollNow(watcher, POLLPRI), POLLERR | POLLHUP | POLLPRI);
  caller_->Close(watcher);
}

}  // namespace
}  // namespace korvane::v4l2::emulation::testing
