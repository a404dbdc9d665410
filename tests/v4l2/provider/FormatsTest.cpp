// The formats of an emulated camera through the camera component: one per pixel format, size
// and interval, ranges expanded to a list, the current one, and setting another.

#include <fcntl.h>
#include <linux/videodev2.h>

#include "tests/v4l2/provider/Cameras.h"
#include "tests/v4l2/provider/V4l2Fixture.h"

namespace korvane::v4l2::testing {
namespace {

std::string Texts(const TFCameraFormats& formats) {
  std::string text;
  for (const TFCameraFormat& f : formats) {
    text += std::string(f.Compression.begin(), f.Compression.end()) + " " +
            std::to_string(f.Width) + "x" + std::to_string(f.Height) + " " +
            std::to_string(f.AvgTimePerFrame) + " " + std::to_string(f.BitsPerPixel) + "\n";
  }
  return text;
}

TEST_F(V4l2Test, DiscreteFormatsGiveOneMediaTypePerSizeAndInterval) {
  TFCamera& camera = Select(FullCamera(), "Test Cam");
  EXPECT_EQ(Texts(camera.GetSupportedFormats()),
            "YUY2 640x480 333333 16\n"
            "YUY2 640x480 666667 16\n"
            "YUY2 1280x720 1000000 16\n"
            "MJPG 640x480 333333 24\n");
  const TFCameraFormat current = camera.GetFormat();
  EXPECT_EQ(current.Width, 640);
  EXPECT_EQ(current.AvgTimePerFrame, 333333);
}

TEST_F(V4l2Test, StepwiseSizesAndIntervalsExpandToAFiniteList) {
  TFCamera& camera = Select(CameraWith("", "Step Cam", R"(,"formats":[{"fourcc":"YUYV","sizeRange":{
          "minWidth":320,"maxWidth":1280,"stepWidth":160,"minHeight":240,"maxHeight":720,
          "stepHeight":240,"intervalRange":{"min":"1/30","max":"1/5","step":"1/30"}}}])"),
                            "Step Cam");
  const TFCameraFormats formats = camera.GetSupportedFormats();
  ASSERT_FALSE(formats.empty());
  EXPECT_LT(formats.size(), 200u);
  bool smallest = false, largest = false, common = false;
  for (const TFCameraFormat& f : formats) {
    EXPECT_EQ((f.Width - 320) % 160, 0) << f.Width;
    EXPECT_EQ((f.Height - 240) % 240, 0) << f.Height;
    EXPECT_GE(f.AvgTimePerFrame, 333333);
    EXPECT_LE(f.AvgTimePerFrame, 2000000);
    smallest |= f.Width == 320 && f.Height == 240;
    largest |= f.Width == 1280 && f.Height == 720;
    common |= f.Width == 640 && f.Height == 480 && f.AvgTimePerFrame == 666667;
  }
  EXPECT_TRUE(smallest && largest && common) << Texts(formats);
}

TEST_F(V4l2Test, SettingAFormatReachesTheDriver) {
  TFCamera& camera = Select(FullCamera(), "Test Cam");
  TFCameraFormat wanted = camera.GetSupportedFormats()[2];  // 1280x720 at 10 fps
  camera.SetFormat(wanted);
  const TFCameraFormat now = camera.GetFormat();
  EXPECT_EQ(now.Width, 1280);
  EXPECT_EQ(now.Height, 720);
  EXPECT_EQ(now.AvgTimePerFrame, 1000000);
}

TEST_F(V4l2Test, SettingAFormatWhileAnotherProgramStreamsIsBusy) {
  TFCamera& camera = Select(FullCamera(), "Test Cam");
  // Another program takes the camera's buffers.
  const Door door(SharedKernel());
  const int fd = door.Open(Kernel().NodePath("cam"), O_RDWR);
  ASSERT_GE(fd, 0);
  v4l2_requestbuffers request{};
  request.count = 2;
  request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  request.memory = V4L2_MEMORY_MMAP;
  ASSERT_EQ(door.Ioctl(fd, VIDIOC_REQBUFS, &request), 0);

  const TFCameraFormat wanted = camera.GetSupportedFormats()[1];
  EXPECT_EQ(OleErrorOf([&] { camera.SetFormat(wanted); }).first, HRESULT_ERROR_BUSY);
  // Reading the current format and the controls still works beside the stream.
  EXPECT_EQ(camera.GetFormat().AvgTimePerFrame, 333333);
  camera.SetBrightness(3);
  EXPECT_EQ(camera.GetBrightness(), 3);

  ASSERT_EQ(door.Close(fd), 0);
  camera.SetFormat(wanted);  // free again once the other program lets go
  EXPECT_EQ(camera.GetFormat().AvgTimePerFrame, 666667);
}

}  // namespace
}  // namespace korvane::v4l2::testing
