// The camera test: one repaint of the test window on a 1080p camera (current image, image,
// drawing into the paint box and handing the window to the window system), and a thousand
// starts and stops of a test with the memory, threads and file descriptors they leave.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTimer>
#include <chrono>
#include <fstream>
#include <string>

#include "bench/ui/BenchCameras.h"
#include "bench/ui/ResidentMemory.h"
#include "platform/sim/SimCameras.h"
#include "ui/ApplicationWindows.h"
#include "ui/PaintBox.h"

namespace {

korvane::sim::SimDescription CameraAt(LONG width, LONG height) {
  korvane::sim::SimFormat format;
  format.width = width;
  format.height = height;
  return BenchCameraAndSpare({format});
}

bool HasFrame(TFCamera& camera) {
  try {
    return !camera.CurrentImageToBitmap().isNull();
  } catch (...) {
    return false;  // no frame has arrived yet
  }
}

// The test window shows the camera's picture.
bool StartAndWaitForFrame(TFormMain& form) {
  form.StartDevice();
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!HasFrame(form.GetCamera())) {
    if (std::chrono::steady_clock::now() > limit) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

// A camera test of a 1080p camera, paused on one frame so that each round takes the same
// frame and no streaming thread runs beside the measurement.
struct FullHdTest {
  FullHdTest() : cameras(CameraAt(1920, 1080)), windows(CreateApplicationWindows({})) {
    windows.FormMain->show();
    shown = StartAndWaitForFrame(*windows.FormMain);
    windows.FormMain->GetCamera().Pause();
    windows.FormMain->CameraTimer->stop();
  }
  korvane::sim::ScopedSimCameras cameras;
  TApplicationWindows windows;
  bool shown = false;
};

FullHdTest& FullHd() {
  static FullHdTest test;
  return test;
}

void BM_CameraTestRepaint_1080p(benchmark::State& state) {
  if (!FullHd().shown) return state.SkipWithError("no frame");
  TPaintBox& paintBox = *FullHd().windows.FormMain->PaintBox.data();
  for (auto _ : state) paintBox.repaint();
  state.SetLabel(std::to_string(paintBox.width()) + "x" + std::to_string(paintBox.height()));
}
BENCHMARK(BM_CameraTestRepaint_1080p)->Unit(benchmark::kMicrosecond);

// The part of the repaint that the component does: the renderer's current image as an image.
void BM_CameraTestCurrentImageOnly_1080p(benchmark::State& state) {
  if (!FullHd().shown) return state.SkipWithError("no frame");
  TFCamera& camera = FullHd().windows.FormMain->GetCamera();
  for (auto _ : state) {
    QImage image = camera.CurrentImageToBitmap();
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_CameraTestCurrentImageOnly_1080p)->Unit(benchmark::kMicrosecond);

long EntriesOf(const char* folder) {
  return QDir(QLatin1String(folder)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size();
}

// A thousand starts and stops, each showing a frame, after twenty that set up what any run
// sets up once. The counters are what the thousand left behind.
void BM_ThousandStartStops_Growth(benchmark::State& state) {
  korvane::sim::ScopedSimCameras cameras(CameraAt(640, 480));
  const TApplicationWindows windows = CreateApplicationWindows({});
  TFormMain& form = *windows.FormMain;
  form.show();
  const auto cycle = [&form] {
    const bool shown = StartAndWaitForFrame(form);
    form.StopDevice();
    QCoreApplication::processEvents();
    return shown;
  };
  for (auto _ : state) {
    for (int i = 0; i < 20; ++i) cycle();
    const long memory = ResidentKiB();
    const long threads = EntriesOf("/proc/self/task");
    const long descriptors = EntriesOf("/proc/self/fd");
    int shown = 0;
    for (int i = 0; i < 500; ++i) shown += cycle() ? 1 : 0;
    // A frame's buffer more or less in the heap at the moment of reading is not growth; what
    // grows with the cycles shows as a second half that adds as much again.
    state.counters["memory_growth_after_500_KiB"] = static_cast<double>(ResidentKiB() - memory);
    for (int i = 0; i < 500; ++i) shown += cycle() ? 1 : 0;
    state.counters["cycles_with_frame"] = shown;
    state.counters["memory_growth_KiB"] = static_cast<double>(ResidentKiB() - memory);
    state.counters["thread_growth"] = static_cast<double>(EntriesOf("/proc/self/task") - threads);
    state.counters["fd_growth"] = static_cast<double>(EntriesOf("/proc/self/fd") - descriptors);
  }
}
BENCHMARK(BM_ThousandStartStops_Growth)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
