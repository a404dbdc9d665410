// The camera test against its floor, one process per measurement (bench/ui/LiveCamFloor.sh runs
// them interleaved):
//   record FOURCC WxH FRAMES FILE  films the emulated camera's own frames (its test picture,
//                                  YUYV or MJPG) into FILE, once
//   decode FILE SECONDS            decodes the recorded MJPG frames at the camera's 30 frames a
//                                  second with libjpeg-turbo into 32-bit pixels: the floor
//   convert FILE SECONDS           the renderer's conversion of the recorded YUYV frames alone
//   camera FOURCC WxH SECONDS      the program with its camera test on an emulated UVC camera
// Each prints one line "cpu=<% of one core> ..." for the script. The camera test's figure
// leaves out what a real camera and its driver do outside the process: the emulated camera's
// filming thread and the emulated driver's work inside the stream's poll and dequeue calls
// (the frame's transfer into the buffer). It also counts, from the frame's dequeue to the
// repaint that shows it, the frames shown later than one frame time and those never shown.
#include <linux/videodev2.h>
#include <sys/resource.h>

#include <QApplication>
#include <QFont>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/devices/DeviceProvider.h"
#include "platform/graph/GraphClasses.h"
#include "platform/graph/MediaType.h"
#include "platform/graph/PictureConversion.h"
#include "platform/sim/TestPicture.h"
#include "platform/v4l2/Kernel.h"
#include "platform/v4l2/V4l2Provider.h"
#include "platform/v4l2/emulation/EmulatedKernel.h"
#include "ui/ApplicationWindows.h"
#include "ui/PaintBox.h"

// After everything else: its TRUE and FALSE are macros.
#include <jpeglib.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kFramePeriod = std::chrono::nanoseconds(1'000'000'000 / 30);
constexpr REFERENCE_TIME kFrameTime = 333333;
constexpr auto kWarmUp = std::chrono::seconds(3);

double Seconds(std::chrono::nanoseconds time) {
  return std::chrono::duration<double>(time).count();
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec + now.tv_nsec / 1e9;
}

// The CPU time of this process's threads with that name (living ones).
double NamedThreadsCpuSeconds(const std::string& name) {
  double total = 0;
  const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string own;
    std::getline(comm, own);
    if (own != name) continue;
    std::ifstream stat(task.path() / "stat");
    std::string line;
    std::getline(stat, line);
    // The fields after the name in parentheses, which may hold spaces.
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    double user = 0, system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
      if (i == 14) user = std::stod(field);
      if (i == 15) system = std::stod(field);
    }
    total += (user + system) / tick;
  }
  return total;
}

// --- Recorded frames ----------------------------------------------------------------------------

struct Recording {
  std::string fourcc;
  int width = 0, height = 0;
  std::vector<std::vector<BYTE>> frames;
};

korvane::graph::MediaType CameraType(const std::string& fourcc, int width, int height) {
  const bool jpeg = fourcc == "MJPG";
  return korvane::graph::MakeVideoType(
      jpeg ? MEDIASUBTYPE_MJPG : MEDIASUBTYPE_YUY2, width, height, jpeg ? 24 : 16,
      jpeg ? MakeFourCC('M', 'J', 'P', 'G') : MakeFourCC('Y', 'U', 'Y', '2'), kFrameTime, 0);
}

// The emulated camera films its frames with the simulated cameras' test picture.
int Record(const std::string& fourcc, int width, int height, int count, const std::string& file) {
  const auto picture = korvane::sim::TestPicture::For(CameraType(fourcc, width, height).View());
  if (!picture) return 2;
  std::vector<BYTE> frame(picture->FrameBytes());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << fourcc << ' ' << width << ' ' << height << ' ' << count << '\n';
  for (int number = 0; number < count; ++number) {
    const std::size_t bytes =
        picture->Draw(static_cast<std::uint64_t>(number), frame.data(), frame.size());
    out << bytes << '\n';
    out.write(reinterpret_cast<const char*>(frame.data()), static_cast<std::streamsize>(bytes));
  }
  return out.good() ? 0 : 1;
}

bool Load(const std::string& file, Recording* recording) {
  std::ifstream in(file, std::ios::binary);
  int count = 0;
  if (!(in >> recording->fourcc >> recording->width >> recording->height >> count)) return false;
  for (int i = 0; i < count; ++i) {
    std::size_t bytes = 0;
    in >> bytes;
    in.get();
    std::vector<BYTE> frame(bytes);
    in.read(reinterpret_cast<char*>(frame.data()), static_cast<std::streamsize>(bytes));
    recording->frames.push_back(std::move(frame));
  }
  return in.good() && count > 0;
}

// --- The floor: each frame's work alone, paced as the camera sends frames ------------------------

struct JpegErrors {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

// Frames at the camera's rate for `seconds` after the warm-up; one frame's work each. Prints
// the CPU share of the measured seconds and the frames whose work ended after the next was due.
template <class Work>
int Paced(int seconds, std::size_t frameCount, Work work) {
  const Clock::time_point start = Clock::now();
  const Clock::time_point measured = start + kWarmUp;
  const Clock::time_point end = measured + std::chrono::seconds(seconds);
  double cpuStart = 0;
  bool measuring = false;
  int late = 0, frames = 0;
  for (std::uint64_t number = 0;; ++number) {
    const Clock::time_point due = start + kFramePeriod * number;
    if (due >= end) break;
    if (!measuring && due >= measured) {
      measuring = true;
      cpuStart = ProcessCpuSeconds();
    }
    std::this_thread::sleep_until(due);
    if (!work(number % frameCount)) return 1;
    if (measuring) {
      ++frames;
      if (Clock::now() > due + kFramePeriod) ++late;
    }
  }
  std::this_thread::sleep_until(end);
  const double cpu = ProcessCpuSeconds() - cpuStart;
  std::printf("cpu=%.2f frames=%d late=%d\n", 100.0 * cpu / seconds, frames, late);
  return 0;
}

int Decode(const std::string& file, int seconds) {
  Recording recording;
  if (!Load(file, &recording) || recording.fourcc != "MJPG") return 2;
  const auto width = static_cast<std::size_t>(recording.width);
  std::vector<BYTE> pixels(width * static_cast<std::size_t>(recording.height) * 4);
  jpeg_decompress_struct info{};
  JpegErrors errors{};
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = [](j_common_ptr common) {
    std::longjmp(reinterpret_cast<JpegErrors*>(common->err)->jump, 1);
  };
  jpeg_create_decompress(&info);
  const int result = Paced(seconds, recording.frames.size(), [&](std::size_t index) {
    const std::vector<BYTE>& frame = recording.frames[index];
    if (setjmp(errors.jump)) return false;
    jpeg_mem_src(&info, frame.data(), static_cast<unsigned long>(frame.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&info);
    JSAMPROW rows[16];
    while (info.output_scanline < info.output_height) {
      const JDIMENSION left = std::min<JDIMENSION>(16, info.output_height - info.output_scanline);
      for (JDIMENSION i = 0; i < left; ++i) {
        rows[i] = pixels.data() + (info.output_scanline + i) * width * 4;
      }
      jpeg_read_scanlines(&info, rows, left);
    }
    jpeg_finish_decompress(&info);
    return true;
  });
  jpeg_destroy_decompress(&info);
  return result;
}

int Convert(const std::string& file, int seconds) {
  Recording recording;
  if (!Load(file, &recording) || recording.fourcc != "YUYV") return 2;
  const auto type = CameraType("YUYV", recording.width, recording.height);
  const auto picture = korvane::graph::VideoPictureOf(type.View());
  std::vector<BYTE> pixels(static_cast<std::size_t>(recording.width) *
                           static_cast<std::size_t>(recording.height) * 4);
  return Paced(seconds, recording.frames.size(), [&](std::size_t index) {
    const std::vector<BYTE>& frame = recording.frames[index];
    return korvane::graph::ToBottomUpRgb32(MEDIASUBTYPE_YUY2, *picture, frame.data(), frame.size(),
                                           pixels.data());
  });
}

// --- The camera test
// ------------------------------------------------------------------------------

// The emulated kernel with the stream's frames timed: when each was dequeued, and when the
// stream came back to wait for the next (the frame has gone through the decoder into the
// renderer by then). The emulated driver's CPU time inside the stream's calls is summed apart.
class TimedKernel final : public korvane::v4l2::Kernel {
 public:
  explicit TimedKernel(std::shared_ptr<korvane::v4l2::Kernel> inner) : inner_(std::move(inner)) {}

  struct Frame {
    std::uint32_t sequence;
    Clock::time_point dequeued, delivered;
  };

  int Open(const std::string& path, int flags) override { return inner_->Open(path, flags); }
  int Close(int fd) override { return inner_->Close(fd); }
  int Ioctl(int fd, unsigned long request, void* argument) override {
    if (request != VIDIOC_DQBUF) return inner_->Ioctl(fd, request, argument);
    const double cpu = ThreadCpuSeconds();
    const int result = inner_->Ioctl(fd, request, argument);
    const Clock::time_point now = Clock::now();
    std::lock_guard lock(mutex_);
    driverCpu_ += ThreadCpuSeconds() - cpu;
    if (result == 0) {
      frames_.push_back({static_cast<v4l2_buffer*>(argument)->sequence, now, now});
      streamFd_ = fd;
      pending_ = true;
    }
    return result;
  }
  int Poll(pollfd* fds, nfds_t count, int timeoutMs) override {
    bool stream = false;
    {
      std::lock_guard lock(mutex_);
      stream = streamFd_ >= 0 && count > 0 && fds[0].fd == streamFd_;
      if (stream && pending_) {
        frames_.back().delivered = Clock::now();
        pending_ = false;
      }
    }
    const double cpu = stream ? ThreadCpuSeconds() : 0;
    const int result = inner_->Poll(fds, count, timeoutMs);
    if (stream) {
      std::lock_guard lock(mutex_);
      driverCpu_ += ThreadCpuSeconds() - cpu;
    }
    return result;
  }
  void* Mmap(void* address, std::size_t length, int protection, int flags, int fd,
             off_t offset) override {
    return inner_->Mmap(address, length, protection, flags, fd, offset);
  }
  int Munmap(void* address, std::size_t length) override { return inner_->Munmap(address, length); }
  int ListDirectory(const std::string& path, std::vector<std::string>* names) override {
    return inner_->ListDirectory(path, names);
  }
  int ReadLink(const std::string& path, std::string* target) override {
    return inner_->ReadLink(path, target);
  }
  int ReadTextFile(const std::string& path, std::string* contents) override {
    return inner_->ReadTextFile(path, contents);
  }
  int WatchDevices() override { return inner_->WatchDevices(); }
  int ReadDeviceWatch(int watch, std::vector<std::string>* appeared) override {
    return inner_->ReadDeviceWatch(watch, appeared);
  }
  int CloseDeviceWatch(int watch) override { return inner_->CloseDeviceWatch(watch); }
  int WatchOpens(const std::string& path) override { return inner_->WatchOpens(path); }
  int ReadOpenWatch(int watch, int* othersOpen) override {
    return inner_->ReadOpenWatch(watch, othersOpen);
  }
  int CloseOpenWatch(int watch) override { return inner_->CloseOpenWatch(watch); }
  int OpenWatchHolders(int watch, std::vector<int>* pids) override {
    return inner_->OpenWatchHolders(watch, pids);
  }
  short SystemPollEvents(short events) const override { return inner_->SystemPollEvents(events); }
  std::string NotesFolder() const override { return inner_->NotesFolder(); }

  double DriverCpu() {
    std::lock_guard lock(mutex_);
    return driverCpu_;
  }
  std::vector<Frame> Frames() {
    std::lock_guard lock(mutex_);
    return frames_;
  }

 private:
  std::shared_ptr<korvane::v4l2::Kernel> inner_;
  std::mutex mutex_;
  double driverCpu_ = 0;
  std::vector<Frame> frames_;
  int streamFd_ = -1;
  bool pending_ = false;
};

std::string EmulatedCameras(const std::string& fourcc, int width, int height) {
  const std::string size =
      "\"width\": " + std::to_string(width) + ", \"height\": " + std::to_string(height);
  return R"({"cameras": [
  {"id": "live", "node": 0, "card": "Live", "busInfo": "usb-1", "byPath": "pci-0:1",
   "usb": {"vendor": "1d6b", "product": "0102", "productName": "Live", "serial": "F1"},
   "controls": [],
   "formats": [{"fourcc": ")" +
         fourcc + R"(", "sizes": [{)" + size + R"(, "intervals": ["1/30"]}]}],
   "current": {"fourcc": ")" +
         fourcc + R"(", )" + size + R"(, "interval": "1/30"}},
  {"id": "spare", "node": 2, "card": "Spare", "busInfo": "usb-2", "byPath": "pci-0:2",
   "usb": {"vendor": "1d6b", "product": "0103", "productName": "Spare"}, "controls": [],
   "formats": [{"fourcc": "YUYV", "sizes": [{"width": 640, "height": 480, "intervals": ["1/30"]}]}],
   "current": {"fourcc": "YUYV", "width": 640, "height": 480, "interval": "1/30"}}
]})";
}

// Frames dequeued in [from, to): those shown later than one frame time after their dequeue, and
// those never shown (a newer one arrived before a repaint, or the driver dropped them for want
// of a queued buffer).
struct Shown {
  int frames = 0, late = 0, dropped = 0;
  double worstMs = 0;
};

Shown CountShown(const std::vector<TimedKernel::Frame>& frames,
                 const std::vector<Clock::time_point>& paints, Clock::time_point from,
                 Clock::time_point to) {
  Shown shown;
  for (std::size_t i = 0; i + 1 < frames.size(); ++i) {
    const TimedKernel::Frame& frame = frames[i];
    if (frame.dequeued < from || frame.dequeued >= to) continue;
    ++shown.frames;
    if (i > 0) shown.dropped += static_cast<int>(frame.sequence - frames[i - 1].sequence) - 1;
    const auto paint = std::lower_bound(paints.begin(), paints.end(), frame.delivered);
    if (paint == paints.end() || *paint >= frames[i + 1].delivered) {
      ++shown.dropped;
      continue;
    }
    const auto latency = *paint - frame.dequeued;
    shown.worstMs = std::max(shown.worstMs, Seconds(latency) * 1000);
    if (latency > kFramePeriod) ++shown.late;
  }
  return shown;
}

int Camera(int argc, char** argv, const std::string& fourcc, int width, int height, int seconds) {
  QApplication application(argc, argv);
  QApplication::setFont(QFont(QStringLiteral("Carlito")));
  std::string error;
  auto emulated = korvane::v4l2::emulation::EmulatedKernel::FromJson(
      EmulatedCameras(fourcc, width, height), &error);
  if (!emulated) {
    std::cerr << error << '\n';
    return 2;
  }
  const auto kernel = std::make_shared<TimedKernel>(emulated);
  korvane::graph::RegisterGraphClasses();
  const korvane::devices::ScopedDeviceProviders providers(
      {korvane::v4l2::MakeV4l2Provider(kernel)});
  const TApplicationWindows windows = CreateApplicationWindows({});
  TFormMain& form = *windows.FormMain;
  form.show();
  std::vector<Clock::time_point> paints;
  // After the window's own handler: the frame has been drawn.
  QObject::connect(form.PaintBox.data(), &TPaintBox::Paint, form.PaintBox.data(),
                   [&paints](QPainter&) { paints.push_back(Clock::now()); });
  QTimer::singleShot(500, &form, [&form] { form.ComboBoxFormatDblClick(); });

  Clock::time_point from, to;
  double cpu = 0, filming = 0, driver = 0;
  QTimer::singleShot(std::chrono::milliseconds(500) + kWarmUp, &form, [&] {
    from = Clock::now();
    cpu = ProcessCpuSeconds();
    filming = NamedThreadsCpuSeconds("emulated camera");
    driver = kernel->DriverCpu();
  });
  QTimer::singleShot(std::chrono::milliseconds(500) + kWarmUp + std::chrono::seconds(seconds),
                     &form, [&] {
                       to = Clock::now();
                       cpu = ProcessCpuSeconds() - cpu;
                       filming = NamedThreadsCpuSeconds("emulated camera") - filming;
                       driver = kernel->DriverCpu() - driver;
                       form.StopDevice();
                       QApplication::quit();
                     });
  QApplication::exec();
  const double span = Seconds(to - from);
  const Shown shown = CountShown(kernel->Frames(), paints, from, to);
  std::printf(
      "cpu=%.2f whole=%.2f filming=%.2f driver=%.2f frames=%d late=%d dropped=%d worst_ms=%.1f\n",
      100 * (cpu - filming - driver) / span, 100 * cpu / span, 100 * filming / span,
      100 * driver / span, shown.frames, shown.late, shown.dropped, shown.worstMs);
  return shown.frames > 0 ? 0 : 1;
}

bool ParseSize(const std::string& text, int* width, int* height) {
  return std::sscanf(text.c_str(), "%dx%d", width, height) == 2 && *width > 0 && *height > 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  int width = 0, height = 0;
  if (args.size() == 5 && args[0] == "record" && ParseSize(args[2], &width, &height)) {
    return Record(args[1], width, height, std::stoi(args[3]), args[4]);
  }
  if (args.size() == 3 && args[0] == "decode") return Decode(args[1], std::stoi(args[2]));
  if (args.size() == 3 && args[0] == "convert") return Convert(args[1], std::stoi(args[2]));
  if (args.size() == 4 && args[0] == "camera" && ParseSize(args[2], &width, &height)) {
    return Camera(argc, argv, args[1], width, height, std::stoi(args[3]));
  }
  std::cerr << "usage: " << argv[0]
            << " record FOURCC WxH FRAMES FILE | decode FILE SECONDS | convert FILE SECONDS |"
               " camera FOURCC WxH SECONDS\n";
  return 2;
}
