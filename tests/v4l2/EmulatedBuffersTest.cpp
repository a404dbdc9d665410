// Buffers of the emulated nodes: the open file that requested them owns the queue, so other
// files may look at the format but not change it; mapped memory is real and outlives the
// queue, and a mapping keeps its file open as in the kernel.

#include <sys/mman.h>

#include <cstring>

#include "tests/v4l2/EmulationTestSupport.h"

namespace korvane::v4l2::emulation::testing {
namespace {

class EmulatedBuffers : public ::testing::Test {
 protected:
  void SetUp() override {
    kernel_ = KernelOf(ReadText(ExampleFile()));
    ASSERT_TRUE(kernel_);
    caller_.emplace(kernel_);
    owner_ = caller_->Open("/dev/video0");
    other_ = caller_->Open("/dev/video0");
    ASSERT_GE(other_, 0);
  }

  int Request(int fd, std::uint32_t count, std::uint32_t memory = V4L2_MEMORY_MMAP) {
    v4l2_requestbuffers request{};
    request.count = count;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = memory;
    const int error = caller_->Ioctl(fd, VIDIOC_REQBUFS, &request);
    granted_ = request.count;
    return error;
  }
  int SetFormat(int fd, std::uint32_t width) {
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    format.fmt.pix = Pix(width, 480, V4L2_PIX_FMT_YUYV);
    return caller_->Ioctl(fd, VIDIOC_S_FMT, &format);
  }
  int Query(int fd, std::uint32_t index, v4l2_buffer* buffer) {
    *buffer = v4l2_buffer{};
    buffer->index = index;
    buffer->type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    return caller_->Ioctl(fd, VIDIOC_QUERYBUF, buffer);
  }
  void* Map(int fd, const v4l2_buffer& buffer, int* error) {
    return caller_->door().Mmap(buffer.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd,
                                buffer.m.offset, error);
  }

  std::shared_ptr<EmulatedKernel> kernel_;
  std::optional<Caller> caller_;
  int owner_ = -1, other_ = -1;
  std::uint32_t granted_ = 0;
};

TEST_F(EmulatedBuffers, OwnerOfTheQueueKeepsOthersFromChangingTheFormat) {
  ASSERT_EQ(Request(owner_, 4), 0);
  EXPECT_EQ(granted_, 4u);
  EXPECT_EQ(SetFormat(other_, 320), EBUSY);
  EXPECT_EQ(SetFormat(owner_, 320), EBUSY) << "not even the owner while buffers exist";
  EXPECT_EQ(Request(other_, 2), EBUSY);
  v4l2_buffer buffer{};
  EXPECT_EQ(Query(other_, 0, &buffer), EBUSY);
  v4l2_streamparm parameters{};
  parameters.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  parameters.parm.capture.timeperframe = {1, 15};
  EXPECT_EQ(caller_->Ioctl(other_, VIDIOC_S_PARM, &parameters), EBUSY);
  v4l2_format format{};
  format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  format.fmt.pix = Pix(320, 240, V4L2_PIX_FMT_YUYV);
  EXPECT_EQ(caller_->Ioctl(other_, VIDIOC_TRY_FMT, &format), 0) << "trying is still fine";
  EXPECT_EQ(caller_->Ioctl(other_, VIDIOC_G_FMT, &format), 0);
  EXPECT_EQ(format.fmt.pix.width, 640u);

  // The owner maps real memory, shared between two mappings of the same buffer.
  ASSERT_EQ(Query(owner_, 1, &buffer), 0);
  EXPECT_GE(buffer.length, 640u * 480u * 2u);
  EXPECT_NE(buffer.m.offset, 0u);
  int error = 0;
  auto* first = static_cast<char*>(Map(owner_, buffer, &error));
  ASSERT_NE(first, nullptr) << std::strerror(error);
  auto* second = static_cast<char*>(Map(other_, buffer, &error));
  ASSERT_NE(second, nullptr);
  std::strcpy(first, "frame");
  EXPECT_STREQ(second, "frame");
  ASSERT_EQ(Query(owner_, 1, &buffer), 0);
  EXPECT_TRUE(buffer.flags & V4L2_BUF_FLAG_MAPPED);
  EXPECT_EQ(caller_->door().Munmap(first, buffer.length), 0);
  EXPECT_EQ(caller_->door().Munmap(second, buffer.length), 0);
  EXPECT_EQ(caller_->door().Munmap(second, buffer.length), EINVAL) << "not mapped any more";

  // Streaming without frames: nothing to hand back yet.
  EXPECT_EQ(caller_->Ioctl(owner_, VIDIOC_QBUF, &buffer), 0);
  std::uint32_t type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  EXPECT_EQ(caller_->PollNow(owner_, POLLIN), POLLERR) << "not streaming";
  EXPECT_EQ(caller_->Ioctl(other_, VIDIOC_STREAMON, &type), EBUSY);
  ASSERT_EQ(caller_->Ioctl(owner_, VIDIOC_STREAMON, &type), 0);
  EXPECT_EQ(caller_->PollNow(owner_, POLLIN), 0);
  EXPECT_EQ(caller_->Ioctl(owner_, VIDIOC_DQBUF, &buffer), EAGAIN);
  EXPECT_EQ(Request(owner_, 0), EBUSY) << "not while streaming";

  caller_->Close(owner_);
  EXPECT_EQ(SetFormat(other_, 320), 0) << "closing the owner frees the queue";
  EXPECT_EQ(Request(other_, 1), 0);
}

TEST_F(EmulatedBuffers, FreeingAndRefusedRequests) {
  EXPECT_EQ(Request(owner_, 2, V4L2_MEMORY_USERPTR), EINVAL);
  std::uint32_t type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  EXPECT_EQ(caller_->Ioctl(owner_, VIDIOC_STREAMON, &type), EINVAL) << "no buffers";
  ASSERT_EQ(Request(owner_, 100), 0);
  EXPECT_EQ(granted_, 32u) << "the driver's most";
  ASSERT_EQ(Request(owner_, 0), 0);
  EXPECT_EQ(SetFormat(other_, 320), 0);
  // The metadata node has a queue of its own.
  const int metadata = caller_->Open("/dev/video1");
  v4l2_requestbuffers request{};
  request.count = 2;
  request.type = V4L2_BUF_TYPE_META_CAPTURE;
  request.memory = V4L2_MEMORY_MMAP;
  EXPECT_EQ(caller_->Ioctl(metadata, VIDIOC_REQBUFS, &request), 0);
  EXPECT_EQ(SetFormat(other_, 640), 0);
}

TEST_F(EmulatedBuffers, MappingKeepsItsFileAndMemoryAfterCloseAndUnplug) {
  ASSERT_EQ(Request(owner_, 1), 0);
  v4l2_buffer buffer{};
  ASSERT_EQ(Query(owner_, 0, &buffer), 0);
  int error = 0;
  auto* memory = static_cast<char*>(Map(owner_, buffer, &error));
  ASSERT_NE(memory, nullptr);
  caller_->Close(owner_);
  EXPECT_EQ(SetFormat(other_, 320), EBUSY) << "the mapping holds the closed file open";

  kernel_->Unplug("studio");
  std::strcpy(memory, "still here");
  EXPECT_STREQ(memory, "still here");
  EXPECT_EQ(Map(other_, buffer, &error), nullptr);
  EXPECT_EQ(error, ENODEV);
  EXPECT_EQ(caller_->door().Munmap(memory, buffer.length), 0);
}

}  // namespace
}  // namespace korvane::v4l2::emulation::testing
