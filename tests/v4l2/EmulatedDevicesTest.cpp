// The emulated kernel's device nodes: what listing reads, the metadata sibling, identical
// cameras, unplugging and plugging in again, priorities, interrupted calls and formats.

#include <algorithm>
#include <cstring>

#include "tests/v4l2/EmulationTestSupport.h"

namespace korvane::v4l2::emulation::testing {
namespace {

std::vector<std::string> Listed(const Caller& caller, const std::string& path, int* error) {
  std::vector<std::string> names;
  *error = caller.door().ListDirectory(path, &names);
  std::sort(names.begin(), names.end());
  return names;
}

std::string Text(const Caller& caller, const std::string& path, int* error) {
  std::string text;
  *error = caller.door().ReadTextFile(path, &text);
  return text;
}

TEST(EmulatedListing, ServesTheFilesOfEveryNode) {
  Caller caller(KernelOf(ReadText(ExampleFile())));
  int error = 0;
  EXPECT_EQ(Listed(caller, "/sys/class/video4linux", &error),
            (std::vector<std::string>{"video0", "video1", "video2", "video3"}));
  struct Case {
    std::string path;
    int error;
    std::string text;
  };
  const std::string sys = "/sys/class/video4linux/";
  const Case cases[] = {
      {sys + "video0/name", 0, "Korvane Lumen Studio 1080\n"},
      {sys + "video1/name", 0, "Korvane Lumen Studio 1080\n"},
      {sys + "video0/device/../product", 0, "Korvane Lumen Studio 1080\n"},
      {sys + "video0/device/../serial", 0, "LS1080-0001\n"},
      {sys + "video0/device/../idVendor", 0, "c0de\n"},
      {sys + "video2/device/../idProduct", 0, "0a20\n"},
      {sys + "video2/device/../serial", ENOENT, ""},
      {sys + "video9/name", ENOENT, ""},
      {sys + "video0/uevent", ENOENT, ""},
      {"/etc/hostname", ENOENT, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(Text(caller, c.path, &error), c.text);
    EXPECT_EQ(error, c.error);
  }

  const std::vector<std::string> byId = Listed(caller, "/dev/v4l/by-id", &error);
  EXPECT_EQ(byId, (std::vector<std::string>{
                      "usb-Korvane_Korvane_Lumen_Studio_1080_LS1080-0001-video-index0",
                      "usb-Korvane_Korvane_Lumen_Studio_1080_LS1080-0001-video-index1",
                      "usb-c0de_Korvane_Desk_Cam_720-video-index0",
                      "usb-c0de_Korvane_Desk_Cam_720-video-index1"}));
  std::string target;
  ASSERT_EQ(caller.door().ReadLink("/dev/v4l/by-id/" + byId[2], &target), 0);
  EXPECT_EQ(target, "../../video2");
  const std::vector<std::string> byPath = Listed(caller, "/dev/v4l/by-path", &error);
  ASSERT_EQ(byPath.size(), 4u);
  EXPECT_EQ(byPath[0], "pci-0000:00:14.0-usb-0:1:1.0-video-index0");
  EXPECT_EQ(caller.door().ReadLink("/dev/video0", &target), EINVAL) << "a node is not a link";
  EXPECT_EQ(caller.door().ReadLink("/dev/v4l/by-id/nothing", &target), ENOENT);

  const int fd = caller.Open("/dev/v4l/by-path/" + byPath[0]);
  ASSERT_GE(fd, 0);
  v4l2_capability capability{};
  ASSERT_EQ(caller.Ioctl(fd, VIDIOC_QUERYCAP, &capability), 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(capability.driver), "uvcvideo");
  EXPECT_STREQ(reinterpret_cast<const char*>(capability.bus_info), "usb-0000:00:14.0-1");
  EXPECT_EQ(caller.Open("/dev/video7"), -ENOENT);
}

TEST(EmulatedListing, MetadataNodeHasItsOwnCapabilitiesAndNoControls) {
  Caller caller(KernelOf(ReadText(ExampleFile())));
  const int capture = caller.Open("/dev/video0");
  const int metadata = caller.Open("/dev/video1");
  ASSERT_GE(metadata, 0);
  v4l2_capability capability{};
  ASSERT_EQ(caller.Ioctl(capture, VIDIOC_QUERYCAP, &capability), 0);
  EXPECT_EQ(capability.device_caps,
            std::uint32_t{V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_EXT_PIX_FORMAT});
  ASSERT_EQ(caller.Ioctl(metadata, VIDIOC_QUERYCAP, &capability), 0);
  EXPECT_EQ(capability.device_caps,
            std::uint32_t{V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_EXT_PIX_FORMAT});
  EXPECT_TRUE(capability.capabilities & V4L2_CAP_VIDEO_CAPTURE);
  EXPECT_TRUE(capability.capabilities & V4L2_CAP_META_CAPTURE);

  v4l2_queryctrl query{};
  EXPECT_EQ(caller.QueryControl(metadata, V4L2_CID_BRIGHTNESS, &query), ENOTTY);
  v4l2_fmtdesc format{};
  format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  EXPECT_EQ(caller.Ioctl(metadata, VIDIOC_ENUM_FMT, &format), EINVAL);
  v4l2_format current{};
  current.type = V4L2_BUF_TYPE_META_CAPTURE;
  ASSERT_EQ(caller.Ioctl(metadata, VIDIOC_G_FMT, &current), 0);
  EXPECT_EQ(current.fmt.meta.dataformat, std::uint32_t{V4L2_META_FMT_UVC});
  v4l2_streamparm parameters{};
  EXPECT_EQ(caller.Ioctl(metadata, VIDIOC_G_PARM, &parameters), ENOTTY);
}

TEST(EmulatedListing, CardIsCutAndNamesFallBack) {
  const std::string longName = "Integrated Camera: Integrated Camera With IR";
  Caller caller(KernelOf(Cameras(Camera("", R"(,"card":")" + longName + R"(")"))));
  const int fd = caller.Open("/dev/video0");
  v4l2_capability capability{};
  ASSERT_EQ(caller.Ioctl(fd, VIDIOC_QUERYCAP, &capability), 0);
  EXPECT_EQ(reinterpret_cast<const char*>(capability.card), longName.substr(0, 31));
  int error = 0;
  EXPECT_EQ(Text(caller, "/sys/class/video4linux/video0/name", &error),
            longName.substr(0, 31) + "\n");
  Text(caller, "/sys/class/video4linux/video0/device/../product", &error);
  EXPECT_EQ(error, ENOENT) << "a camera without a product string";

  // Without a card either, the driver names the camera after its ids.
  Caller unnamed(KernelOf(Cameras(
      R"({"id":"u","usb":{"vendor":"abcd","product":"0123"},
         "formats":[{"fourcc":"MJPG","sizes":[{"width":320,"height":240,"intervals":["1/5"]}]}]})")));
  EXPECT_EQ(Text(unnamed, "/sys/class/video4linux/video0/name", &error),
            "UVC Camera (abcd:0123)\n");
}

TEST(EmulatedListing, IdenticalCamerasShareOneByIdLinkHeldByTheLastOne) {
  const std::string twin = R"("usb":{"vendor":"046d","product":"0825","productName":"Twin",
      "serial":"1234"},"formats":[{"fourcc":"YUYV","sizes":[{"width":640,"height":480,
      "intervals":["1/30"]}]}])";
  auto kernel = KernelOf(Cameras(R"({"id":"a","busInfo":"usb-0000:00:14.0-1",)" + twin +
                                 R"(},{"id":"b","busInfo":"usb-0000:00:14.0-2",)" + twin + "}"));
  Caller caller(kernel);
  int error = 0;
  const auto byId = Listed(caller, "/dev/v4l/by-id", &error);
  ASSERT_EQ(byId, (std::vector<std::string>{"usb-046d_Twin_1234-video-index0",
                                            "usb-046d_Twin_1234-video-index1"}));
  std::string target;
  ASSERT_EQ(caller.door().ReadLink("/dev/v4l/by-id/" + byId[0], &target), 0);
  EXPECT_EQ("/dev/" + target.substr(6), kernel->NodePath("b"));
  EXPECT_EQ(Listed(caller, "/dev/v4l/by-path", &error).size(), 4u) << "paths stay apart";

  // The first one plugged in again comes last now and takes the link over.
  kernel->Replug("a");
  ASSERT_EQ(caller.door().ReadLink("/dev/v4l/by-id/" + byId[0], &target), 0);
  EXPECT_EQ("/dev/" + target.substr(6), kernel->NodePath("a"));
}

TEST(EmulatedUnplug, OpenFilesStayButEveryCallFailsAndTheCameraReturnsElsewhere) {
  auto kernel = KernelOf(ReadText(ExampleFile()));
  Caller caller(kernel);
  const int fd = caller.Open("/dev/video0");
  ASSERT_GE(fd, 0);
  ASSERT_EQ(caller.Subscribe(fd, V4L2_CID_BRIGHTNESS), 0);
  kernel->Unplug("studio");

  v4l2_capability capability{};
  std::int32_t value = 0;
  v4l2_event event{};
  EXPECT_EQ(caller.Ioctl(fd, VIDIOC_QUERYCAP, &capability), ENODEV);
  EXPECT_EQ(caller.GetControl(fd, V4L2_CID_BRIGHTNESS, &value), ENODEV);
  EXPECT_EQ(caller.DequeueEvent(fd, &event), ENODEV);
  EXPECT_EQ(caller.PollNow(fd, POLLIN | POLLPRI), POLLERR | POLLHUP | POLLPRI);
  EXPECT_EQ(caller.Open("/dev/video0"), -ENOENT);
  EXPECT_EQ(kernel->NodePath("studio"), "");
  int error = 0;
  EXPECT_EQ(Listed(caller, "/sys/class/video4linux", &error),
            (std::vector<std::string>{"video2", "video3"}));
  for (const auto& link : Listed(caller, "/dev/v4l/by-id", &error)) {
    EXPECT_EQ(link.find("Studio"), std::string::npos) << link;
  }

  kernel->Replug("studio");
  const std::string node = kernel->NodePath("studio");
  EXPECT_NE(node, "");
  EXPECT_NE(node, "/dev/video0") << "back under a new number";
  std::string target;
  ASSERT_EQ(
      caller.door().ReadLink("/dev/v4l/by-path/pci-0000:00:14.0-usb-0:1:1.0-video-index0", &target),
      0);
  EXPECT_EQ("/dev/" + target.substr(6), node);
  EXPECT_EQ(caller.Ioctl(fd, VIDIOC_QUERYCAP, &capability), ENODEV) << "old files stay dead";
  const int again = caller.Open(node);
  ASSERT_GE(again, 0);
  EXPECT_EQ(caller.Ioctl(again, VIDIOC_QUERYCAP, &capability), 0);
  EXPECT_EQ(caller.door().Close(fd), 0);
}

TEST(EmulatedCalls, AccessDeniedBadDescriptorsAndMissingArguments) {
  auto kernel = KernelOf(Cameras(Camera("", R"(,"accessDenied":true)")));
  EXPECT_EQ(Caller(kernel).Open("/dev/video0"), -EACCES);
  Caller caller(KernelOf(ReadText(ExampleFile())));
  const int fd = caller.Open("/dev/video0");
  v4l2_capability capability{};
  EXPECT_EQ(caller.Ioctl(fd + 100, VIDIOC_QUERYCAP, &capability), EBADF);
  EXPECT_EQ(caller.door().Ioctl(fd, VIDIOC_QUERYCAP, nullptr), EFAULT);
  EXPECT_EQ(caller.door().Close(fd + 100), EBADF);
  // Each open has a descriptor of its own, a real one of the process, given back at close.
  const int second = caller.Open("/dev/video0");
  EXPECT_NE(second, fd);
  EXPECT_GE(::fcntl(fd, F_GETFD), 0);
  caller.Close(fd);
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(caller.Open("/dev/video2"), fd);
}

TEST(EmulatedCalls, InterruptedCallsAreRetriedByTheDoor) {
  auto kernel = KernelOf(ReadText(ExampleFile()));
  Caller caller(kernel);
  kernel->InterruptNextCalls(2);
  const int fd = caller.Open("/dev/video0");
  EXPECT_GE(fd, 0) << "the door retried the open";
  kernel->InterruptNextCalls(3);
  kernel->ResetCounts();
  v4l2_capability capability{};
  EXPECT_EQ(caller.Ioctl(fd, VIDIOC_QUERYCAP, &capability), 0);
  EXPECT_EQ(kernel->IoctlCount(VIDIOC_QUERYCAP), 4u) << "the kernel saw the interrupted calls";
  kernel->InterruptNextCalls(1);
  errno = 0;
  EXPECT_EQ(kernel->Ioctl(fd, VIDIOC_QUERYCAP, &capability), -1);
  EXPECT_EQ(errno, EINTR);

  // A camera's file can ask for interruptions of the calls on it.
  auto flaky = KernelOf(Cameras(Camera("", R"(,"firmware":{"interruptCalls":2})")));
  for (int attempt = 0; attempt < 2; ++attempt) {
    errno = 0;
    EXPECT_EQ(flaky->Open("/dev/video0", O_RDWR), -1);
    EXPECT_EQ(errno, EINTR);
  }
  EXPECT_GE(flaky->Open("/dev/video0", O_RDWR), 3);
}

TEST(EmulatedCalls, RecordPriorityKeepsOthersFromChangingTheDevice) {
  Caller caller(KernelOf(ReadText(ExampleFile())));
  const int recorder = caller.Open("/dev/video0");
  const int other = caller.Open("/dev/video0");
  std::uint32_t priority = V4L2_PRIORITY_RECORD;
  ASSERT_EQ(caller.Ioctl(recorder, VIDIOC_S_PRIORITY, &priority), 0);
  ASSERT_EQ(caller.Ioctl(other, VIDIOC_G_PRIORITY, &priority), 0);
  EXPECT_EQ(priority, std::uint32_t{V4L2_PRIORITY_RECORD});

  v4l2_format format{};
  format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  ASSERT_EQ(caller.Ioctl(other, VIDIOC_G_FMT, &format), 0);
  std::int32_t value = 0;
  EXPECT_EQ(caller.SetControl(other, V4L2_CID_BRIGHTNESS, 1), EBUSY);
  EXPECT_EQ(caller.Ioctl(other, VIDIOC_S_FMT, &format), EBUSY);
  EXPECT_EQ(caller.Ioctl(other, VIDIOC_S_PRIORITY, &priority), EBUSY);
  EXPECT_EQ(caller.GetControl(other, V4L2_CID_BRIGHTNESS, &value), 0) << "reading is fine";
  EXPECT_EQ(caller.SetControl(recorder, V4L2_CID_BRIGHTNESS, 1), 0);
  priority = 0;
  EXPECT_EQ(caller.Ioctl(recorder, VIDIOC_S_PRIORITY, &priority), EINVAL);
  caller.Close(recorder);
  EXPECT_EQ(caller.SetControl(other, V4L2_CID_BRIGHTNESS, 2), 0);
}

TEST(EmulatedFormats, EnumerationAndNegotiation) {
  auto kernel = KernelOf(ReadText(ExampleFile()));
  Caller caller(kernel);
  const int fd = caller.Open("/dev/video0");
  v4l2_fmtdesc description{};
  description.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  description.index = 1;
  ASSERT_EQ(caller.Ioctl(fd, VIDIOC_ENUM_FMT, &description), 0);
  EXPECT_EQ(description.pixelformat, std::uint32_t{V4L2_PIX_FMT_MJPEG});
  EXPECT_TRUE(description.flags & V4L2_FMT_FLAG_COMPRESSED);
  EXPECT_STREQ(reinterpret_cast<const char*>(description.description), "Motion-JPEG");

  v4l2_frmivalenum interval{};
  interval.pixel_format = V4L2_PIX_FMT_YUYV;
  interval.width = 800;
  interval.height = 600;
  EXPECT_EQ(caller.Ioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &interval), EINVAL);

  // A trial finds the nearest size and changes nothing.
  kernel->ResetCounts();
  v4l2_format format{};
  format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  format.fmt.pix = Pix(1300, 700, V4L2_PIX_FMT_MJPEG);
  ASSERT_EQ(caller.Ioctl(fd, VIDIOC_TRY_FMT, &format), 0);
  EXPECT_EQ(format.fmt.pix.width, 1280u);
  EXPECT_EQ(format.fmt.pix.height, 720u);
  EXPECT_EQ(kernel->DeviceTransfers("studio"), 1u) << "a trial negotiates with the camera";
  v4l2_format current{};
  current.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  ASSERT_EQ(caller.Ioctl(fd, VIDIOC_G_FMT, &current), 0);
  EXPECT_EQ(current.fmt.pix.width, 640u);
  EXPECT_EQ(current.fmt.pix.pixelformat, std::uint32_t{V4L2_PIX_FMT_YUYV});
  EXPECT_EQ(current.fmt.pix.bytesperline, 1280u);
  EXPECT_EQ(current.fmt.pix.sizeimage, 640u * 480u * 2u);

  // Setting stores it, at that size's first interval; an unknown format means the first one.
  format.fmt.pix = Pix(1920, 1080, V4L2_PIX_FMT_YUYV);
  ASSERT_EQ(caller.Ioctl(fd, VIDIOC_S_FMT, &format), 0);
  v4l2_streamparm parameters{};
  parameters.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  ASSERT_EQ(caller.Ioctl(fd, VIDIOC_G_PARM, &parameters), 0);
  EXPECT_EQ(parameters.parm.capture.timeperframe.denominator, 5u);
  EXPECT_TRUE(parameters.parm.capture.capability & V4L2_CAP_TIMEPERFRAME);
  format.fmt.pix = Pix(640, 480, v4l2_fourcc('X', 'X', 'X', 'X'));
  ASSERT_EQ(caller.Ioctl(fd, VIDIOC_S_FMT, &format), 0);
  EXPECT_EQ(format.fmt.pix.pixelformat, std::uint32_t{V4L2_PIX_FMT_YUYV});

  // The nearest offered frame rate, written back.
  parameters.parm.capture.timeperframe = {1, 25};
  ASSERT_EQ(caller.Ioctl(fd, VIDIOC_S_PARM, &parameters), 0);
  EXPECT_EQ(parameters.parm.capture.timeperframe.denominator, 30u);
  parameters.parm.capture.timeperframe = {1, 0};
  ASSERT_EQ(caller.Ioctl(fd, VIDIOC_S_PARM, &parameters), 0);
  EXPECT_EQ(parameters.parm.capture.timeperframe.denominator, 15u) << "no rate: the slowest";
}

TEST(EmulatedFormats, RangesOfSizesAndIntervals) {
  Caller caller(KernelOf(Cameras(R"({"id":"r","usb":{"vendor":"1234","product":"0001"},
      "formats":[{"fourcc":"NV12","sizeRange":{"minWidth":160,"maxWidth":1920,"stepWidth":16,
        "minHeight":120,"maxHeight":1080,"stepHeight":8,
        "intervalRange":{"min":"1/60","max":"1/1","step":"1/60"}}}]})")));
  const int fd = caller.Open("/dev/video0");
  v4l2_frmsizeenum size{};
  size.pixel_format = V4L2_PIX_FMT_NV12;
  ASSERT_EQ(caller.Ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &size), 0);
  EXPECT_EQ(size.type, std::uint32_t{V4L2_FRMSIZE_TYPE_STEPWISE});
  EXPECT_EQ(size.stepwise.step_width, 16u);
  size.index = 1;
  EXPECT_EQ(caller.Ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &size), EINVAL);

  v4l2_frmivalenum interval{};
  interval.pixel_format = V4L2_PIX_FMT_NV12;
  interval.width = 176;
  interval.height = 128;
  ASSERT_EQ(caller.Ioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &interval), 0);
  EXPECT_EQ(interval.type, std::uint32_t{V4L2_FRMIVAL_TYPE_STEPWISE});
  interval.index = 0;
  interval.width = 170;  // not on the step
  EXPECT_EQ(caller.Ioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &interval), EINVAL);

  v4l2_format format{};
  format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  format.fmt.pix = Pix(1000, 5000, V4L2_PIX_FMT_NV12);
  ASSERT_EQ(caller.Ioctl(fd, VIDIOC_S_FMT, &format), 0);
  EXPECT_EQ(format.fmt.pix.width, 1008u);
  EXPECT_EQ(format.fmt.pix.height, 1080u);
  v4l2_streamparm parameters{};
  parameters.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  parameters.parm.capture.timeperframe = {1, 25};
  ASSERT_EQ(caller.Ioctl(fd, VIDIOC_S_PARM, &parameters), 0);
  EXPECT_EQ(parameters.parm.capture.timeperframe.numerator, 1u);
  EXPECT_EQ(parameters.parm.capture.timeperframe.denominator, 30u) << "on the 1/60 s step";
  parameters.parm.capture.timeperframe = {1, 1000};
  ASSERT_EQ(caller.Ioctl(fd, VIDIOC_S_PARM, &parameters), 0);
  EXPECT_EQ(parameters.parm.capture.timeperframe.denominator, 60u) << "the shortest";
}

}  // namespace
}  // namespace korvane::v4l2::emulation::testing
