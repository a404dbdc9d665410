// Which open file may set a camera's format and hold its buffers, on both driver lines: up to
// 6.1 the driver gives the stream's privileges to the first file that sets the format, frame
// rate or input or requests buffers; later lines leave the stream to the buffer queue's owner.
// A second file (another program) is tried at each step of the first one's stream.

#include <sys/mman.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/v4l2/EmulationTestSupport.h"

namespace korvane::v4l2::emulation::testing {
namespace {

enum Step { kOpened, kFormatSet, kBuffersHeld, kStreaming, kStopped, kBuffersFreed, kSteps };
constexpr const char* kStepNames[] = {"opened",    "format set", "buffers held",
                                      "streaming", "stopped",    "buffers freed"};

struct Probe {
  const char* call;
  // What the second file gets after each step of the first, on the 6.1 line and a later one.
  std::array<int, kSteps> privileges;
  std::array<int, kSteps> queueOwner;
};

constexpr int B = EBUSY, I = EINVAL;
const Probe kProbes[] = {
    //                    opened fmt buf str stop freed
    {"S_FMT", {0, B, B, B, B, 0}, {0, 0, B, B, B, 0}},
    {"S_PARM", {0, B, B, B, B, 0}, {0, 0, 0, B, 0, 0}},
    {"S_INPUT", {0, B, B, B, B, 0}, {0, 0, B, B, B, 0}},
    {"REQBUFS", {0, B, B, B, B, 0}, {0, 0, B, B, B, 0}},
    {"CREATE_BUFS", {0, B, B, B, B, 0}, {0, 0, B, B, B, 0}},
    {"QUERYBUF", {B, B, B, B, B, B}, {I, I, 0, 0, 0, I}},
    {"QBUF", {B, B, B, B, B, B}, {I, I, B, B, B, I}},
    {"DQBUF", {B, B, B, B, B, B}, {I, I, B, B, B, I}},
    {"STREAMON", {B, B, B, B, B, B}, {I, I, B, B, B, I}},
    {"STREAMOFF", {B, B, B, B, B, B}, {0, 0, B, B, B, 0}},
    {"G_FMT", {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}},
    {"TRY_FMT", {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}},
    {"S_CTRL", {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}},
};

class StreamPrivileges : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    const std::string kernel = GetParam();
    kernel_ = KernelOf(Cameras(Camera(R"({"name":"brightness","min":0,"max":255,"default":128})",
                                      R"(,"firmware":{"kernel":")" + kernel + R"("})")));
    ASSERT_TRUE(kernel_);
    caller_.emplace(kernel_);
    first_ = caller_->Open("/dev/video0");
    ASSERT_GE(first_, 0);
  }

  int Request(int fd, std::uint32_t count) const {
    v4l2_requestbuffers request{};
    request.count = count;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    return caller_->Ioctl(fd, VIDIOC_REQBUFS, &request);
  }
  int Format(int fd) const {
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    format.fmt.pix = Pix(640, 480, V4L2_PIX_FMT_YUYV);
    return caller_->Ioctl(fd, VIDIOC_S_FMT, &format);
  }
  int Buffer(int fd, unsigned long request) const {
    v4l2_buffer buffer{};
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    return caller_->Ioctl(fd, request, &buffer);
  }
  int Stream(int fd, unsigned long request) const {
    std::uint32_t type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    return caller_->Ioctl(fd, request, &type);
  }

  // One call of the second file, by its name.
  int Try(int fd, const std::string& call) const {
    if (call == "S_FMT" || call == "TRY_FMT" || call == "G_FMT") {
      v4l2_format format{};
      format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      format.fmt.pix = Pix(640, 480, V4L2_PIX_FMT_YUYV);
      const unsigned long request = call == "S_FMT"   ? VIDIOC_S_FMT
                                    : call == "G_FMT" ? VIDIOC_G_FMT
                                                      : VIDIOC_TRY_FMT;
      return caller_->Ioctl(fd, request, &format);
    }
    if (call == "S_PARM") {
      v4l2_streamparm parameters{};
      parameters.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      parameters.parm.capture.timeperframe = {1, 30};
      return caller_->Ioctl(fd, VIDIOC_S_PARM, &parameters);
    }
    if (call == "S_INPUT") {
      std::uint32_t input = 0;
      return caller_->Ioctl(fd, VIDIOC_S_INPUT, &input);
    }
    if (call == "REQBUFS") return Request(fd, 1);
    if (call == "CREATE_BUFS") {
      v4l2_create_buffers create{};
      create.count = 1;
      create.memory = V4L2_MEMORY_MMAP;
      create.format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      create.format.fmt.pix = Pix(640, 480, V4L2_PIX_FMT_YUYV);
      create.format.fmt.pix.sizeimage = 640 * 480 * 2;
      return caller_->Ioctl(fd, VIDIOC_CREATE_BUFS, &create);
    }
    if (call == "QUERYBUF") return Buffer(fd, VIDIOC_QUERYBUF);
    if (call == "QBUF") return Buffer(fd, VIDIOC_QBUF);
    if (call == "DQBUF") return Buffer(fd, VIDIOC_DQBUF);
    if (call == "STREAMON") return Stream(fd, VIDIOC_STREAMON);
    if (call == "STREAMOFF") return Stream(fd, VIDIOC_STREAMOFF);
    if (call == "S_CTRL") return caller_->SetControl(fd, V4L2_CID_BRIGHTNESS, 100);
    ADD_FAILURE() << "no such call " << call;
    return -1;
  }

  // The first file's stream, one step further.
  void Advance(Step step) const {
    switch (step) {
      case kOpened:
        return;
      case kFormatSet:
        ASSERT_EQ(Format(first_), 0);
        return;
      case kBuffersHeld:
        ASSERT_EQ(Request(first_, 2), 0);
        return;
      case kStreaming:
        ASSERT_EQ(Buffer(first_, VIDIOC_QBUF), 0);
        ASSERT_EQ(Stream(first_, VIDIOC_STREAMON), 0);
        return;
      case kStopped:
        ASSERT_EQ(Stream(first_, VIDIOC_STREAMOFF), 0);
        return;
      case kBuffersFreed:
        ASSERT_EQ(Request(first_, 0), 0);
        return;
      case kSteps:
        return;
    }
  }

  std::shared_ptr<EmulatedKernel> kernel_;
  std::optional<Caller> caller_;
  int first_ = -1;
};

TEST_P(StreamPrivileges, SecondFileAtEachStepOfTheFirst) {
  const bool privileges = std::string(GetParam()) != "current";
  for (int step = kOpened; step < kSteps; ++step) {
    Advance(static_cast<Step>(step));
    for (const Probe& probe : kProbes) {
      // A fresh file each time: what it takes, closing it gives back.
      const int second = caller_->Open("/dev/video0");
      ASSERT_GE(second, 0);
      const int expected = privileges ? probe.privileges[step] : probe.queueOwner[step];
      const int got = Try(second, probe.call);
      EXPECT_EQ(got, expected) << probe.call << " of a second file, the first's stream "
                               << kStepNames[step] << ": " << std::strerror(got);
      caller_->Close(second);
    }
  }
  // Closing the first file gives everything back.
  caller_->Close(first_);
  const int after = caller_->Open("/dev/video0");
  EXPECT_EQ(Format(after), 0);
  EXPECT_EQ(Request(after, 2), 0);
}

// The privileges taken by a call stay with the file when the call itself fails, and only
// closing the file or freeing its buffers gives them back.
TEST_P(StreamPrivileges, WhatTakesAndGivesBackTheStream) {
  const bool privileges = std::string(GetParam()) != "current";
  const int second = caller_->Open("/dev/video0");
  v4l2_format wrong{};
  wrong.type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
  EXPECT_EQ(caller_->Ioctl(first_, VIDIOC_S_FMT, &wrong), EINVAL);
  EXPECT_EQ(Format(second), 0) << "the core refuses a wrong type before the driver sees it";
  caller_->Close(second);
  const int third = caller_->Open("/dev/video0");
  std::uint32_t input = 1;
  EXPECT_EQ(caller_->Ioctl(first_, VIDIOC_S_INPUT, &input), EINVAL) << "one input only";
  EXPECT_EQ(Format(third), privileges ? EBUSY : 0) << "a failed S_INPUT still took the stream";
  EXPECT_EQ(Request(first_, 0), 0);
  EXPECT_EQ(Format(third), 0) << "freeing (even nothing) gives the stream back";
  EXPECT_EQ(Format(first_), privileges ? EBUSY : 0);
  caller_->Close(third);
  EXPECT_EQ(Format(first_), 0) << "closing the holder gives the stream back";
}

// Another program on the same camera file has the cameras in memory of its own: its requests
// for the stream meet the first program's stream as a second file's do.
TEST_P(StreamPrivileges, AnotherProgramOnTheSameFile) {
  const std::string line = GetParam();
  char pattern[] = "/tmp/korvane-claims-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::filesystem::path file = std::filesystem::path(pattern) / "cameras.json";
  std::ofstream(file) << Cameras(Camera(R"({"name":"brightness","min":0,"max":255})",
                                        R"(,"firmware":{"kernel":")" + line + R"("})"));
  std::string error;
  auto other = EmulatedKernel::FromFile(file, &error);
  ASSERT_TRUE(other) << error;
  // This fixture's first file streams through a kernel on the same file.
  kernel_ = EmulatedKernel::FromFile(file, &error);
  ASSERT_TRUE(kernel_) << error;
  caller_.emplace(kernel_);
  first_ = caller_->Open("/dev/video0");
  std::optional<Caller> program(other);
  // The fixture's calls made by the other program.
  const auto byOther = [&](const auto& call) {
    std::swap(caller_, program);
    const int result = call();
    std::swap(caller_, program);
    return result;
  };
  const bool privileges = line != "current";
  for (int step = kOpened; step < kSteps; ++step) {
    Advance(static_cast<Step>(step));
    for (const Probe& probe : kProbes) {
      const std::string call = probe.call;
      // What takes the stream; the later line refuses the frame rate only to a stream of the
      // same program.
      if (call != "S_FMT" && call != "S_INPUT" && call != "REQBUFS" && call != "CREATE_BUFS" &&
          !(call == "S_PARM" && privileges)) {
        continue;
      }
      const int second = program->Open("/dev/video0");
      ASSERT_GE(second, 0);
      const int got = byOther([&] { return Try(second, call); });
      const int expected = privileges ? probe.privileges[step] : probe.queueOwner[step];
      EXPECT_EQ(got, expected) << call << " of another program, the first's stream "
                               << kStepNames[step] << ": " << std::strerror(got);
      program->Close(second);
    }
  }
  const int after = program->Open("/dev/video0");
  ASSERT_EQ(Request(first_, 2), 0);
  EXPECT_EQ(byOther([&] { return Request(after, 2); }), EBUSY);
  caller_->Close(first_);
  EXPECT_EQ(byOther([&] { return Request(after, 2); }), 0)
      << "the stream is free once the first program closed its file";
  program.reset();
  caller_.reset();
  std::filesystem::remove_all(pattern);
}

INSTANTIATE_TEST_SUITE_P(KernelLines, StreamPrivileges, ::testing::Values("6.1", "current", "old"),
                         [](const auto& param) {
                           return std::string(param.param) == "6.1" ? std::string("Line6_1")
                                                                    : std::string(param.param);
                         });

}  // namespace
}  // namespace korvane::v4l2::emulation::testing
