// A Video4Linux2 camera streaming through the camera component: frames arrive on the graph's
// thread, snapshots come as bitmaps from YUYV and as JPEG images from MJPG, a second program
// finds the camera busy, pulling the cable ends the stream without a hang, and starting and
// stopping leaves nothing behind.

#include <dirent.h>
#include <fcntl.h>
#include <linux/videodev2.h>

#include <algorithm>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "platform/graph/GraphClasses.h"
#include "platform/v4l2/V4l2Device.h"
#include "tests/camera/FrameWaiting.h"
#include "tests/camera/TestControls.h"
#include "tests/v4l2/provider/Cameras.h"
#include "tests/v4l2/provider/V4l2Fixture.h"

namespace korvane::v4l2::testing {
namespace {

using camera::testing::FrameCounter;
using camera::testing::TestControl;
using camera::testing::WaitFor;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

constexpr TFFourCC kYuy2{'Y', 'U', 'Y', '2'};
constexpr TFFourCC kMjpg{'M', 'J', 'P', 'G'};

// The entries of a folder of /proc/self, or the lines of a file there.
std::size_t EntriesOf(const char* folder) {
  std::size_t count = 0;
  if (DIR* directory = ::opendir(folder)) {
    while (::readdir(directory)) ++count;
    ::closedir(directory);
  }
  return count;
}
// The resident memory of this process, in KiB.
long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}
std::size_t LinesOf(const char* file) {
  std::ifstream in(file);
  std::size_t count = 0;
  for (std::string line; std::getline(in, line);) ++count;
  return count;
}

// Another program's descriptor on the camera, with the format set and two buffers taken, as a
// program that streams begins; -1 with the failure recorded when the camera refuses.
int TakeBuffersAsAnotherProgram(const Door& door, const std::string& node, v4l2_format* format,
                                v4l2_requestbuffers* request) {
  const int other = door.Open(node, O_RDWR | O_NONBLOCK);
  if (other < 0) {
    ADD_FAILURE() << "the camera did not open";
    return -1;
  }
  format->type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  request->count = 2;
  request->type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  request->memory = V4L2_MEMORY_MMAP;
  if (door.Ioctl(other, VIDIOC_G_FMT, format) != 0 ||
      door.Ioctl(other, VIDIOC_S_FMT, format) != 0 ||
      door.Ioctl(other, VIDIOC_REQBUFS, request) != 0) {
    ADD_FAILURE() << "the camera refused its format or buffers to another program";
    door.Close(other);
    return -1;
  }
  return other;
}

class V4l2Streaming : public V4l2Test {
 protected:
  void SetUp() override {
    V4l2Test::SetUp();
    graph::RegisterGraphClasses();
  }

  // The camera, inactive, set to stream through the grabber at the format of the list with
  // that fourcc.
  TFCamera& Grabbing(const TFFourCC& compression) {
    TFCamera& camera = Select(FullCamera(), "Test Cam");
    for (const TFCameraFormat& format : camera.GetSupportedFormats()) {
      if (format.Compression == compression && format.Width == 640) {
        camera.SetFormat(format);
        break;
      }
    }
    camera.SetCaptureType(ctGrabber);
    return camera;
  }

  // The same camera streaming, its frames counted.
  TFCamera& Streaming(FrameCounter& counter, const TFFourCC& compression) {
    TFCamera& camera = Grabbing(compression);
    camera.SetOnImageAvailable(counter.Event());
    camera.SetActive(true);
    camera.Run();
    return camera;
  }

  static std::string Snapshot(TFCamera& camera, TFImageFormat* format) {
    std::ostringstream file;
    *format = camera.CurrentImageToStream(file);
    return file.str();
  }
};

TEST_F(V4l2Streaming, FramesArriveAndSnapshotsComeAsBitmapFromYuyvAndJpegFromMjpg) {
  const struct Case {
    const char* name;
    TFFourCC compression;
    TFImageFormat format;
  } cases[] = {{"YUYV", kYuy2, ifBmp}, {"MJPG", kMjpg, ifJpeg}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FrameCounter counter;
    TFCamera& camera = Streaming(counter, c.compression);
    ASSERT_TRUE(counter.WaitForMore(3));
    EXPECT_GT(counter.LastSampleTime.load(), 0.0);  // times count from the stream's start
    camera.Pause();
    TFImageFormat format = ifBmp;
    const std::string image = Snapshot(camera, &format);
    EXPECT_EQ(format, c.format);
    if (c.format == ifBmp) {
      ASSERT_EQ(image.size(), 1'228'854u);  // 54 bytes of headers, 640 x 480 x 4
      EXPECT_EQ(image.substr(0, 2), "BM");
    } else {
      ASSERT_GT(image.size(), 4u);
      EXPECT_EQ(image.substr(0, 2), "\xFF\xD8");
      EXPECT_EQ(image.substr(image.size() - 2), "\xFF\xD9");
    }
    camera.Stop();
    camera.SetActive(false);
  }
}

TEST_F(V4l2Streaming, ASecondProgramFindsTheCameraBusyUntilTheFirstStops) {
  FrameCounter counter;
  TFCamera& first = Streaming(counter, kYuy2);
  ASSERT_TRUE(counter.WaitForMore(1));
  {
    TFCamera second;
    second.SetDeviceName("Test Cam");
    second.SetCaptureType(ctGrabber);
    // Building the graph claims nothing; starting it asks the driver for the stream.
    second.SetActive(true);
    EXPECT_EQ(OleErrorOf([&] { second.Run(); }).first, HRESULT_ERROR_BUSY);

    // Stopping gives every buffer back: the other one can take the camera at once.
    first.Stop();
    first.SetActive(false);
    second.SetActive(false);
    FrameCounter seen;
    second.SetOnImageAvailable(seen.Event());
    second.SetActive(true);
    second.Run();
    EXPECT_TRUE(seen.WaitForMore(2));
    second.Stop();
    second.SetActive(false);
  }
}

// Another program that streams (a descriptor of its own, as a browser has) keeps the camera
// test out but not the controls; once it stops, the test starts. On both kernel lines.
TEST_F(V4l2Streaming, AnotherProgramsStreamKeepsTheTestOutButNotTheControls) {
  for (const char* kernel : {"6.1", "current"}) {
    SCOPED_TRACE(kernel);
    TFCamera& camera =
        Select(FullCamera("", std::string(R"({"kernel":")") + kernel + R"("})"), "Test Cam");
    const Door door(SharedKernel());
    v4l2_format format{};
    v4l2_requestbuffers request{};
    const int other =
        TakeBuffersAsAnotherProgram(door, Kernel().NodePath("cam"), &format, &request);
    ASSERT_GE(other, 0);
    v4l2_buffer buffer{};
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    ASSERT_EQ(door.Ioctl(other, VIDIOC_QBUF, &buffer), 0);
    std::uint32_t type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    ASSERT_EQ(door.Ioctl(other, VIDIOC_STREAMON, &type), 0);

    FrameCounter counter;
    camera.SetCaptureType(ctGrabber);
    camera.SetOnImageAvailable(counter.Event());
    camera.SetActive(true);
    EXPECT_EQ(OleErrorOf([&] { camera.Run(); }).first, HRESULT_ERROR_BUSY);
    camera.SetActive(false);
    camera.SetBrightness(7);
    EXPECT_EQ(camera.GetBrightness(), 7) << "every control works beside the other stream";
    EXPECT_EQ(Kernel().ControlValue("cam", V4L2_CID_BRIGHTNESS), 7);

    ASSERT_EQ(door.Close(other), 0);  // the other program ends
    camera.SetActive(true);
    camera.Run();
    EXPECT_TRUE(counter.WaitForMore(2));
    camera.Stop();
    camera.SetActive(false);

    // Stopped, the tool holds nothing: another program sets a format and streams.
    const int next = door.Open(Kernel().NodePath("cam"), O_RDWR | O_NONBLOCK);
    EXPECT_EQ(door.Ioctl(next, VIDIOC_S_FMT, &format), 0);
    EXPECT_EQ(door.Ioctl(next, VIDIOC_REQBUFS, &request), 0);
    EXPECT_EQ(door.Ioctl(next, VIDIOC_QBUF, &buffer), 0);
    EXPECT_EQ(door.Ioctl(next, VIDIOC_STREAMON, &type), 0);
    ASSERT_EQ(door.Close(next), 0);
  }
}

struct Rows {
  int top, bottom;  // of the 640x480 picture, top row 0
};

// Whether some rows of a 640x480 snapshot (a 32-bit bitmap, bottom row first after its 54
// bytes of headers) show something: the test picture's bars, not black.
bool ShowsSomething(const std::string& bitmap, Rows rows) {
  constexpr std::size_t kHeaders = 54, kStride = 640 * 4;
  if (bitmap.size() != kHeaders + kStride * 480) return false;
  for (int y = rows.top; y < rows.bottom; y += 4) {
    const std::size_t row = kHeaders + static_cast<std::size_t>(479 - y) * kStride;
    for (std::size_t x = 0; x < 640; x += 4) {
      const auto green = static_cast<unsigned char>(bitmap[row + x * 4 + 1]);
      if (green > 40) return true;
    }
  }
  return false;
}

// Frames as real cameras send them, in the camera test's graph (the renderer, behind the
// decoder for MJPG): cut short they show as far as they go, of another size they fill the
// picture, damaged or empty they are skipped, and none of them is reported as an error.
TEST_F(V4l2Streaming, FramesAsRealCamerasSendThemAreShownOrSkipped) {
  const struct Case {
    const char* name;
    const char* fourcc;
    const char* faults;
    Rows shown;  // the part of the picture that must show the camera's
  } cases[] = {
      {"MJPG cut short", "MJPG", R"([{"kind":"truncated"}])", Rows{0, 100}},
      {"MJPG of a smaller size", "MJPG", R"([{"kind":"otherSize","width":320,"height":240}])",
       Rows{380, 480}},
      {"MJPG of a larger size", "MJPG", R"([{"kind":"otherSize","width":1280,"height":720}])",
       Rows{380, 480}},
      {"MJPG damaged", "MJPG", R"([{"kind":"error","every":2}])", Rows{380, 480}},
      {"MJPG empty", "MJPG", R"([{"kind":"empty","every":2}])", Rows{380, 480}},
      {"YUYV damaged", "YUYV", R"([{"kind":"error","every":2}])", Rows{380, 480}},
      {"YUYV empty", "YUYV", R"([{"kind":"empty","every":3}])", Rows{380, 480}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Install(std::string(R"({"cameras":[{"id":"cam","node":0,"card":"Faulty",
      "usb":{"vendor":"1234","product":"5678","productName":"Faulty"},
      "formats":[{"fourcc":")") +
            c.fourcc + R"(","sizes":[{"width":640,"height":480,"intervals":["1/30"]}]}],
      "frameFaults":)" +
            c.faults + "}]}");
    const auto form = TestControl::Form();
    const auto preview = TestControl::On(form.get(), {0, 0}, 640, 480);
    {
      TFCamera camera(form.get());
      camera.SetDeviceName("Faulty");
      camera.SetPreviewControl(preview.get());
      camera.SetCaptureType(ctVmr9);
      camera.SetActive(true);
      // The renderer's picture is taken while the graph pauses, as a snapshot is.
      EXPECT_TRUE(WaitFor([&] {
        camera.Run();
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        camera.Pause();
        TFImageFormat format = ifBmp;
        return ShowsSomething(Snapshot(camera, &format), c.shown) && format == ifBmp;
      })) << "the picture stayed black";
      const ComPtr<IMediaEvent> events = camera.GetGraphBuilder().As<IMediaEvent>();
      ASSERT_NE(events, nullptr);
      LONG code = 0;
      LONG_PTR first = 0, second = 0;
      while (events->GetEvent(&code, &first, &second, 0) == S_OK) {
        events->FreeEventParams(code, first, second);
        EXPECT_NE(code, EC_ERRORABORT) << "a frame was reported as an error";
      }
      camera.Stop();
      camera.SetActive(false);
    }
  }
}

// Keeps the samples of the first frames it is handed, each with a copy of its bytes as they
// came, and counts every frame.
class SampleKeeper final : public com::ComObject<ISampleGrabberCB> {
 public:
  struct Kept {
    ComPtr<IMediaSample> sample;
    std::string bytes;
  };
  explicit SampleKeeper(std::size_t keep) : keep_(keep) {}

  HRESULT SampleCB(double, IMediaSample* sample) override {
    std::lock_guard lock(mutex_);
    ++frames_;
    if (kept_.size() < keep_) kept_.push_back({ComPtr<IMediaSample>(sample), BytesOf(sample)});
    return S_OK;
  }
  HRESULT BufferCB(double, BYTE*, LONG) override { return S_OK; }

  static std::string BytesOf(IMediaSample* sample) {
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    return std::string(reinterpret_cast<const char*>(data),
                       static_cast<std::size_t>(sample->GetActualDataLength()));
  }
  int Frames() {
    std::lock_guard lock(mutex_);
    return frames_;
  }
  // The kept samples whose bytes are no longer those they came with.
  int Changed() {
    std::lock_guard lock(mutex_);
    int changed = 0;
    for (const Kept& kept : kept_) changed += BytesOf(kept.sample.Get()) != kept.bytes ? 1 : 0;
    return changed;
  }
  std::size_t KeptCount() {
    std::lock_guard lock(mutex_);
    return kept_.size();
  }
  void LetGo(std::size_t keepFirst) {
    std::lock_guard lock(mutex_);
    kept_.resize(std::min(kept_.size(), keepFirst));
    keep_ = keepFirst;
  }

 private:
  std::mutex mutex_;
  std::size_t keep_;
  int frames_ = 0;
  std::vector<Kept> kept_;
};

// The driver's buffers go downstream as the samples themselves. A filter that keeps more samples
// than the driver has buffers neither stalls the stream nor sees a kept frame written over, and
// a sample kept past the end of the stream keeps its frame while the camera is free at once.
TEST_F(V4l2Streaming, SamplesKeptDownstreamNeitherStallTheStreamNorChange) {
  for (const TFFourCC& compression : {kYuy2, kMjpg}) {
    SCOPED_TRACE(compression == kYuy2 ? "YUYV" : "MJPG");
    TFCamera& camera = Grabbing(compression);
    camera.SetActive(true);
    // More than the driver's buffers, fewer than those and the stream's copies together: a
    // filter that keeps every sample it is given runs any stream dry in the end.
    constexpr std::size_t kKept = 7;
    const auto keeper = com::MakeCom<SampleKeeper>(kKept);
    ASSERT_EQ(camera.GetSampleGrabber()->SetCallback(keeper.Get(), 0), S_OK);
    camera.Run();
    // Every buffer is held long before this: the frames after them still come.
    EXPECT_TRUE(WaitFor([&] { return keeper->Frames() >= static_cast<int>(kKept) + 15; }))
        << "the stream stalled after " << keeper->Frames() << " frames";
    ASSERT_EQ(keeper->KeptCount(), kKept);
    EXPECT_EQ(keeper->Changed(), 0) << "a kept frame was written over";

    // Let go, the buffers go back to the driver and the stream goes on.
    keeper->LetGo(1);
    const int frames = keeper->Frames();
    EXPECT_TRUE(WaitFor([&] { return keeper->Frames() >= frames + 10; }));
    EXPECT_EQ(keeper->Changed(), 0);

    // One sample kept past the stop: the camera is another program's at once, and the sample
    // still holds its frame.
    camera.Stop();
    camera.GetSampleGrabber()->SetCallback(nullptr, 0);
    camera.SetActive(false);
    const Door door(SharedKernel());
    v4l2_format format{};
    v4l2_requestbuffers request{};
    const int other =
        TakeBuffersAsAnotherProgram(door, Kernel().NodePath("cam"), &format, &request);
    ASSERT_GE(other, 0);
    ASSERT_EQ(door.Close(other), 0);
    EXPECT_EQ(keeper->Changed(), 0);
    keeper->LetGo(0);
  }
}

TEST_F(V4l2Streaming, PullingTheCableEndsTheStreamAndTheGraphSaysSo) {
  FrameCounter counter;
  TFCamera& camera = Streaming(counter, kYuy2);
  ASSERT_TRUE(counter.WaitForMore(2));
  const ComPtr<IMediaEvent> events = camera.GetGraphBuilder().As<IMediaEvent>();
  ASSERT_NE(events, nullptr);

  Kernel().Unplug("cam");
  LONG code = 0;
  LONG_PTR first = 0, second = 0;
  ASSERT_EQ(events->GetEvent(&code, &first, &second, 60'000), S_OK);
  events->FreeEventParams(code, first, second);
  EXPECT_EQ(code, EC_DEVICE_LOST);
  ASSERT_EQ(events->GetEvent(&code, &first, &second, 0), S_OK);
  events->FreeEventParams(code, first, second);
  EXPECT_EQ(code, EC_ERRORABORT);
  EXPECT_EQ(first, HRESULT_ERROR_DEVICE_NOT_CONNECTED);
  const int frames = counter.Frames;
  // Stopping a stream whose camera is gone returns, and gives everything back.
  camera.Stop();
  camera.SetActive(false);
  EXPECT_EQ(counter.Frames, frames);
}

// The counts of threads, descriptors and mappings settle after a few cycles (the graph's
// classes, the toolkit-free allocator's arenas); from there a thousand more add nothing.
// A camera whose cable is pulled answers the transfer in flight with a USB error a moment
// before its node goes; on the control path and on the stream that is the camera lost, as
// ENODEV is. The same error from a camera that stays is that call's failure only.
TEST_F(V4l2Streaming, ErrorsOfACableBeingPulledAreTheCameraLost) {
  for (const char* error : {"EPROTO", "ESHUTDOWN", "ETIMEDOUT", "EIO"}) {
    SCOPED_TRACE(error);
    const std::string pulled = std::string(R"({"unplugging":")") + error + R"("})";
    // The control path: the first read that reaches the camera.
    Install(FullCamera("", pulled));
    V4l2Device device(Door(SharedKernel()), Kernel().NodePath("cam"));
    v4l2_control control{V4L2_CID_BRIGHTNESS, 0};
    EXPECT_EQ(device.Call(VIDIOC_G_CTRL, &control, CallKind::ControlQuery),
              HRESULT_ERROR_DEVICE_NOT_CONNECTED);

    // The stream: the first frame's transfer.
    Install(FullCamera("", pulled));
    TFCamera streaming;
    streaming.SetDeviceName("Test Cam");
    streaming.SetCaptureType(ctGrabber);
    streaming.SetActive(true);
    streaming.Run();
    const ComPtr<IMediaEvent> events = streaming.GetGraphBuilder().As<IMediaEvent>();
    ASSERT_NE(events, nullptr);
    LONG code = 0;
    LONG_PTR first = 0, second = 0;
    ASSERT_EQ(events->GetEvent(&code, &first, &second, 60'000), S_OK);
    events->FreeEventParams(code, first, second);
    EXPECT_EQ(code, EC_DEVICE_LOST);
    streaming.Stop();
    streaming.SetActive(false);
  }
  // A firmware fault of one control, the camera staying, is no lost camera.
  Install(FullCamera("", R"({"faults":[{"control":"brightness","call":"get","errno":"EIO"}]})"));
  V4l2Device device(Door(SharedKernel()), Kernel().NodePath("cam"));
  v4l2_control control{V4L2_CID_BRIGHTNESS, 0};
  EXPECT_EQ(device.Call(VIDIOC_G_CTRL, &control, CallKind::ControlQuery), E_FAIL);
}

TEST_F(V4l2Streaming, StartingAndStoppingAThousandTimesLeavesNothingBehind) {
  TFCamera& camera = Select(FullCamera(), "Test Cam");
  camera.SetCaptureType(ctGrabber);
  FrameCounter counter;
  camera.SetOnImageAvailable(counter.Event());
  const auto cycle = [&] {
    camera.SetActive(true);
    camera.Run();
    camera.Stop();
    camera.SetActive(false);
  };
  for (int i = 0; i < 20; ++i) cycle();
  const std::size_t threads = EntriesOf("/proc/self/task");
  const std::size_t descriptors = EntriesOf("/proc/self/fd");
  const std::size_t mappings = LinesOf("/proc/self/maps");
  const long memory = ResidentKiB();
  for (int i = 0; i < 1000; ++i) cycle();
  // A frame's buffers (600 KiB at this format) kept by each cycle would add hundreds of MiB.
  // AddressSanitizer keeps freed memory aside for a while (and finds leaks itself).
  if (!kAddressSanitizer) {
    EXPECT_LT(ResidentKiB() - memory, 4096);
  }
  EXPECT_EQ(EntriesOf("/proc/self/task"), threads);
  EXPECT_EQ(EntriesOf("/proc/self/fd"), descriptors);
  // A leak here is one mapping per cycle or more, a thousand lines; the allocator may still
  // open an arena for a thread it met late (a few lines each, at most eight per core).
  EXPECT_LE(LinesOf("/proc/self/maps"), mappings + 64);
  // And it still streams.
  camera.SetActive(true);
  camera.Run();
  EXPECT_TRUE(counter.WaitForMore(2));
  camera.Stop();
  camera.SetActive(false);
}

}  // namespace
}  // namespace korvane::v4l2::testing
