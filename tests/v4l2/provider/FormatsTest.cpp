// The formats of an emulated camera through the camera component: one per pixel format, size
// and interval, ranges expanded to a list, the current one, and setting another.

#include <fcntl.h>
#include <linux/videodev2.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/v4l2/V4l2Formats.h"
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
            "YUY2 640x480 666666 16\n"
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
    common |= f.Width == 640 && f.Height == 480 && f.AvgTimePerFrame == 666666;
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

// The driver gives the stream to the file that sets its format, so choosing a format only
// remembers it: the descriptor that lists and reads controls never claims the camera, and
// another program that holds the stream is not disturbed.
TEST_F(V4l2Test, ChoosingAFormatIsRememberedAndLeavesTheCameraToOthers) {
  TFCamera& camera = Select(FullCamera(), "Test Cam");
  const Door door(SharedKernel());
  const int other = door.Open(Kernel().NodePath("cam"), O_RDWR);
  ASSERT_GE(other, 0);
  v4l2_requestbuffers request{};
  request.count = 2;
  request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  request.memory = V4L2_MEMORY_MMAP;
  ASSERT_EQ(door.Ioctl(other, VIDIOC_REQBUFS, &request), 0) << "another program streams";

  const TFCameraFormat wanted = camera.GetSupportedFormats()[1];  // 640x480 at 15 fps
  camera.SetFormat(wanted);
  EXPECT_EQ(camera.GetFormat().AvgTimePerFrame, 666666) << "the chosen format is answered";
  camera.SetBrightness(3);
  EXPECT_EQ(camera.GetBrightness(), 3) << "controls work beside the other stream";
  v4l2_streamparm parameters{};
  parameters.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  ASSERT_EQ(door.Ioctl(other, VIDIOC_G_PARM, &parameters), 0);
  EXPECT_EQ(parameters.parm.capture.timeperframe.denominator, 30u) << "the device is untouched";
  ASSERT_EQ(door.Close(other), 0);

  // The tool chose a format and holds nothing: a program that comes now sets its own.
  const int next = door.Open(Kernel().NodePath("cam"), O_RDWR);
  v4l2_format format{};
  format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  format.fmt.pix.width = 1280;
  format.fmt.pix.height = 720;
  format.fmt.pix.pixelformat = V4L2_PIX_FMT_YUYV;
  EXPECT_EQ(door.Ioctl(next, VIDIOC_S_FMT, &format), 0);
  EXPECT_EQ(door.Ioctl(next, VIDIOC_REQBUFS, &request), 0);
  ASSERT_EQ(door.Close(next), 0);
}

// The window shows a rate as ten million divided by the frame time; drivers report the time of
// a fraction truncated, so whole rates read whole.
TEST(FrameTimes, TruncatedFromTheFractionSoWholeRatesReadWhole) {
  const struct {
    std::uint32_t numerator, denominator;
    REFERENCE_TIME time;
    long long hertz;
  } cases[] = {{1, 30, 333333, 30},      {1, 24, 416666, 24},  {1, 15, 666666, 15},
               {1, 60, 166666, 60},      {2, 15, 1333333, 7},  {1, 25, 400000, 25},
               {1, 20, 500000, 20},      {1, 10, 1000000, 10}, {1, 5, 2000000, 5},
               {1, 3, 3333333, 3},       {1, 2, 5000000, 2},   {1, 1, 10000000, 1},
               {1001, 30000, 333666, 29}};
  for (const auto& c : cases) {
    const V4l2Format format{V4L2_PIX_FMT_YUYV, 640, 480, c.numerator, c.denominator};
    EXPECT_EQ(AverageTimePerFrame(format), c.time) << c.numerator << "/" << c.denominator;
    EXPECT_EQ(10'000'000 / AverageTimePerFrame(format), c.hertz);
  }
}

// Every interval of the real cameras' files, through the component, reads as the whole part
// of its rate.
TEST_F(V4l2Test, RatesOfRealCamerasReadAsTheirWholeFramesPerSecond) {
  const std::filesystem::path folder = std::filesystem::path(KORVANE_SOURCE_DIR) / "tests/cameras";
  const struct {
    const char* file;
    const char* id;
    const char* name;
  } files[] = {{"c920.json", "c920", "HD Pro Webcam C920"},
               {"elp-4k.json", "elp4k", "HD USB CAMERA"},
               {"av-to-usb2.json", "grabber", "AV TO USB2.0"},
               {"thinkpad.json", "thinkpad", "Integrated Camera"},
               {"kiyo-pro-ultra.json", "kiyo", "Razer Kiyo Pro Ultra (assumed)"}};
  for (const auto& [file, id, name] : files) {
    SCOPED_TRACE(file);
    std::ifstream in(folder / file);
    std::ostringstream text;
    text << in.rdbuf();
    TFCamera& camera = Install(text.str());
    // The fractions as the driver lists them, in the component's order.
    const Door door(SharedKernel());
    const int fd = door.Open(Kernel().NodePath(id), O_RDWR);
    ASSERT_GE(fd, 0);
    std::vector<v4l2_fract> fractions;
    v4l2_fmtdesc format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (; door.Ioctl(fd, VIDIOC_ENUM_FMT, &format) == 0; ++format.index) {
      v4l2_frmsizeenum size{};
      size.pixel_format = format.pixelformat;
      for (; door.Ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &size) == 0; ++size.index) {
        v4l2_frmivalenum interval{};
        interval.pixel_format = format.pixelformat;
        interval.width = size.discrete.width;
        interval.height = size.discrete.height;
        for (; door.Ioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &interval) == 0; ++interval.index) {
          fractions.push_back(interval.discrete);
        }
      }
    }
    door.Close(fd);
    camera.SetDeviceName(name);
    const TFCameraFormats formats = camera.GetSupportedFormats();
    ASSERT_EQ(formats.size(), fractions.size());
    for (std::size_t i = 0; i < formats.size(); ++i) {
      EXPECT_EQ(10'000'000 / formats[i].AvgTimePerFrame,
                fractions[i].denominator / fractions[i].numerator)
          << fractions[i].numerator << "/" << fractions[i].denominator;
    }
  }
}

}  // namespace
}  // namespace korvane::v4l2::testing
