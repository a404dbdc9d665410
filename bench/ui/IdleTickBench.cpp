// One refresh tick of the shown window on a camera kept in a file, as another program shares it:
// the tick together with the repaints and layouts it leaves to the event loop, and the area of
// the window it repaints; once with the camera as it was, once with one value changed by
// another program before each tick. bench/ui/IdleCpu.sh sets these beside the whole process
// idle and counts the instructions of one tick.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPaintEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>

#include "bench/ui/BenchCameras.h"
#include "platform/sim/SimCameras.h"
#include "ui/ApplicationWindows.h"

namespace {

// The bench cameras in a file of their own, for the object's lifetime.
class CameraFile {
 public:
  CameraFile()
      : FFile((FFolder.path() + QStringLiteral("/cameras.json")).toStdString()),
        FCameras((std::ofstream(FFile) << korvane::sim::ToJson(Cameras()), FFile)) {}

  // Another program changes the first camera's brightness.
  void SetBrightnessElsewhere(LONG value) {
    korvane::sim::MakeFileStore(FFile)->Modify(
        [value](korvane::sim::SimDescription& d) { d.devices[0].videoProcAmp[0].value = value; });
  }

 private:
  static korvane::sim::SimDescription Cameras() {
    std::vector<korvane::sim::SimFormat> formats(3);
    formats[1].width = 1280;
    formats[1].height = 720;
    formats[2].width = 1920;
    formats[2].height = 1080;
    return BenchCameraAndSpare(std::move(formats));
  }

  QTemporaryDir FFolder;
  std::filesystem::path FFile;
  korvane::sim::ScopedSimCameras FCameras;
};

// The paint events of every widget of a window and the area they cover, in window pixels.
class RepaintMeter : public QObject {
 public:
  explicit RepaintMeter(QWidget& window) : FWindow(window) {
    window.installEventFilter(this);
    for (QWidget* widget : window.findChildren<QWidget*>()) widget->installEventFilter(this);
  }
  // Adds the area repainted since the last call (a pixel repainted twice counts once) and the
  // number of paint events.
  void Take(double& area, double& events) {
    double pixels = 0;
    for (const QRect& rect : FPainted) pixels += static_cast<double>(rect.width()) * rect.height();
    area += pixels;
    events += FEvents;
    FPainted = {};
    FEvents = 0;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      auto* widget = static_cast<QWidget*>(watched);
      const QPoint offset = widget == &FWindow ? QPoint() : widget->mapTo(&FWindow, QPoint());
      FPainted += static_cast<QPaintEvent*>(event)->region().translated(offset);
      ++FEvents;
    }
    return false;
  }

 private:
  QWidget& FWindow;
  QRegion FPainted;
  int FEvents = 0;
};

void ShowAndSettle(TFormMain& form) {
  form.RefreshTimer->stop();  // only the benchmark's ticks
  form.show();
  for (int i = 0; i < 20; ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
}

}  // namespace

// Out of line under this name, so that an instruction count can be limited to it:
// valgrind --tool=callgrind --toggle-collect='RefreshTickAndWhatItLeaves*'
[[gnu::noinline]] void RefreshTickAndWhatItLeaves(TFormMain& form) {
  form.RefreshTimerTimer();
  // The repaints and layouts the tick asked for; the second round takes what the first left.
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
}

namespace {

// Ticks the shown window, each tick after beforeEachTick (not timed, when given), and reports
// what the ticks repainted.
void RunTicks(benchmark::State& state, const std::function<void(CameraFile&)>& beforeEachTick) {
  CameraFile cameras;
  const TApplicationWindows windows = CreateApplicationWindows({});
  TFormMain& form = *windows.FormMain;
  ShowAndSettle(form);
  RepaintMeter meter(form);
  double area = 0;
  double events = 0;
  for (auto _ : state) {
    if (beforeEachTick) {
      state.PauseTiming();
      beforeEachTick(cameras);
      state.ResumeTiming();
    }
    RefreshTickAndWhatItLeaves(form);
    meter.Take(area, events);
  }
  const auto ticks = static_cast<double>(state.iterations());
  state.counters["repainted_px_per_tick"] = area / ticks;
  state.counters["paint_events_per_tick"] = events / ticks;
  state.counters["window_px"] = static_cast<double>(form.width()) * form.height();
}

void BM_UnchangedTick(benchmark::State& state) {
  RunTicks(state, nullptr);
}
BENCHMARK(BM_UnchangedTick)->Unit(benchmark::kMillisecond)->MinTime(2.0);
// A fixed number of ticks, for an instruction count (bench/ui/TickInstructions.sh).
BENCHMARK(BM_UnchangedTick)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_TickWithOneChangedValue(benchmark::State& state) {
  LONG brightness = 100;
  RunTicks(state, [&brightness](CameraFile& cameras) {
    cameras.SetBrightnessElsewhere(brightness);
    brightness = brightness == 100 ? 101 : 100;
  });
}
BENCHMARK(BM_TickWithOneChangedValue)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_TickWithOneChangedValue)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
