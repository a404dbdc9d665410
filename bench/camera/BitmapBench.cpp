// The current image of a 1080p YUY2 camera as an image of the toolkit, as the camera test's
// repaint takes it (without the drawing), beside the toolkit's general bitmap decoder reading
// the bitmap file of the same frame. The camera streams; the graph is paused once a
// frame is buffered, so each round takes the same frame.

#include <benchmark/benchmark.h>

#include <QImage>
#include <chrono>
#include <sstream>
#include <thread>

#include "camera/FCamera.h"
#include "platform/sim/SimCameras.h"

namespace {

using korvane::sim::ScopedSimCameras;
using korvane::sim::SimDescription;
using korvane::sim::SimDevice;

struct FullHdCamera {
  FullHdCamera() : sims(Description()) {
    camera.SetDeviceName("Full HD");
    camera.SetCaptureType(ctGrabber);
    camera.SetActive(true);
    camera.Run();
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (camera.CurrentImageToBitmap().isNull() && std::chrono::steady_clock::now() < limit)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    camera.Pause();
  }

  static SimDescription Description() {
    SimDevice device;
    device.friendlyName = "Full HD";
    device.devicePath = "/dev/fullhd";
    device.formats.emplace_back();
    device.formats.back().width = 1920;
    device.formats.back().height = 1080;
    return SimDescription{{device}};
  }

  ScopedSimCameras sims;
  TFCamera camera;
};

FullHdCamera& Camera() {
  static FullHdCamera camera;
  return camera;
}

void BM_CurrentImageToBitmap(benchmark::State& state) {
  TFCamera& camera = Camera().camera;
  for (auto _ : state) {
    QImage image = camera.CurrentImageToBitmap();
    benchmark::DoNotOptimize(image.constBits());
  }
  state.SetLabel(camera.CurrentImageToBitmap().isNull() ? "no frame" : "1920x1080");
}
BENCHMARK(BM_CurrentImageToBitmap)->Unit(benchmark::kMicrosecond);

// The toolkit's general decoder alone, on the bitmap file of the same frame.
void BM_ToolkitBmpDecoderOfTheSameFrame(benchmark::State& state) {
  std::ostringstream file;
  Camera().camera.CurrentImageToStream(file);
  const std::string bytes = file.str();
  for (auto _ : state) {
    QImage image = QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()),
                                    static_cast<int>(bytes.size()), "BMP");
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_ToolkitBmpDecoderOfTheSameFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
