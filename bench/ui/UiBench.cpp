// Speed of the settings window: start-up to the first painted window against a bare window
// with as many widgets, one camera re-read on a camera with 60 formats, memory over a
// thousand re-reads, and the CPU time of an idle window.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/ui/BareWindow.h"
#include "bench/ui/BenchCameras.h"
#include "bench/ui/ResidentMemory.h"
#include "platform/sim/SimCameras.h"
#include "ui/ApplicationWindows.h"

namespace {

// Notes the first paint event of a widget.
class FirstPaint : public QObject {
 public:
  explicit FirstPaint(QWidget& widget) { widget.installEventFilter(this); }
  bool Painted() const { return FPainted; }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) FPainted = true;
    return false;
  }

 private:
  bool FPainted = false;
};

void ShowAndWaitForPaint(QWidget& window) {
  FirstPaint paint(window);
  window.show();
  while (!paint.Painted()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

int WidgetCountOfTheWindow() {
  static const int count = [] {
    korvane::sim::ScopedSimCameras cameras(korvane::sim::DemoCameras());
    const TApplicationWindows windows = CreateApplicationWindows({});
    return static_cast<int>(windows.FormMain->findChildren<QWidget*>().size());
  }();
  return count;
}

// Where a start-up's time goes: building the window, showing it up to its first paint, and
// (not part of a start-up, but of every benchmark iteration) taking it down again; in
// milliseconds per start-up.
class TStartupPhases {
 public:
  void Next() {
    FTimes[FPhase] += FTimer.nsecsElapsed();
    FPhase = (FPhase + 1) % 3;
    FTimer.start();
  }
  void Report(benchmark::State& state) const {
    const double perStart = 1e6 * static_cast<double>(state.iterations());
    state.counters["create_ms"] = static_cast<double>(FTimes[0]) / perStart;
    state.counters["paint_ms"] = static_cast<double>(FTimes[1]) / perStart;
    state.counters["destroy_ms"] = static_cast<double>(FTimes[2]) / perStart;
  }
  void Start() { FTimer.start(); }

 private:
  QElapsedTimer FTimer;
  qint64 FTimes[3] = {};
  int FPhase = 0;
};

void BM_StartupToFirstPaint_Window(benchmark::State& state) {
  korvane::sim::ScopedSimCameras cameras(korvane::sim::DemoCameras());
  TStartupPhases phases;
  for (auto _ : state) {
    phases.Start();
    auto windows = std::make_unique<TApplicationWindows>(CreateApplicationWindows({}));
    phases.Next();
    ShowAndWaitForPaint(*windows->FormMain);
    phases.Next();
    windows.reset();
    phases.Next();
  }
  phases.Report(state);
}
BENCHMARK(BM_StartupToFirstPaint_Window)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The creation part of the start-up alone (controls, device list, camera read, geometry).
void BM_CreateWindows(benchmark::State& state) {
  korvane::sim::ScopedSimCameras cameras(korvane::sim::DemoCameras());
  for (auto _ : state) {
    const TApplicationWindows windows = CreateApplicationWindows({});
    benchmark::DoNotOptimize(windows.FormMain.get());
  }
}
BENCHMARK(BM_CreateWindows)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The floor: a plain window with the same number of widgets, laid out in rows.
void BM_StartupToFirstPaint_BareWindow(benchmark::State& state) {
  const int widgets = WidgetCountOfTheWindow();
  state.counters["widgets"] = widgets;
  TStartupPhases phases;
  for (auto _ : state) {
    phases.Start();
    std::unique_ptr<QWidget> window = MakeBareWindow(widgets);
    phases.Next();
    ShowAndWaitForPaint(*window);
    phases.Next();
    window.reset();
    phases.Next();
  }
  phases.Report(state);
}
BENCHMARK(BM_StartupToFirstPaint_BareWindow)->Unit(benchmark::kMillisecond)->MinTime(2.0);

korvane::sim::SimDescription CameraWith60Formats() {
  std::vector<korvane::sim::SimFormat> formats;
  for (int i = 0; i < 60; ++i) {
    korvane::sim::SimFormat format;
    format.width = 160 + 32 * i;
    format.height = 120 + 18 * i;
    format.avgTimePerFrame = i % 2 ? 333333 : 666666;
    formats.push_back(format);
  }
  return BenchCameraAndSpare(std::move(formats));
}

void BM_ComboBoxCameraChange_60Formats(benchmark::State& state) {
  korvane::sim::ScopedSimCameras cameras(CameraWith60Formats());
  const TApplicationWindows windows = CreateApplicationWindows({});
  ShowAndWaitForPaint(*windows.FormMain);
  for (auto _ : state) windows.FormMain->ComboBoxCameraChange();
}
BENCHMARK(BM_ComboBoxCameraChange_60Formats)->Unit(benchmark::kMillisecond);

// Memory after a thousand re-reads, against the memory after the first hundred (which
// fill the caches that any run fills).
void BM_ThousandRereads_Memory(benchmark::State& state) {
  korvane::sim::ScopedSimCameras cameras(CameraWith60Formats());
  const TApplicationWindows windows = CreateApplicationWindows({});
  ShowAndWaitForPaint(*windows.FormMain);
  long before = 0;
  long after = 0;
  for (auto _ : state) {
    for (int i = 0; i < 100; ++i) windows.FormMain->ComboBoxCameraChange();
    QCoreApplication::processEvents();
    before = ResidentKiB();
    for (int i = 0; i < 1000; ++i) windows.FormMain->ComboBoxCameraChange();
    QCoreApplication::processEvents();
    after = ResidentKiB();
  }
  state.counters["rss_before_KiB"] = static_cast<double>(before);
  state.counters["rss_after_KiB"] = static_cast<double>(after);
  state.counters["rss_growth_KiB"] = static_cast<double>(after - before);
}
BENCHMARK(BM_ThousandRereads_Memory)->Unit(benchmark::kMillisecond)->Iterations(1);

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// CPU time the shown window uses while nobody touches it, as a share of one core.
void BM_IdleWindow_Cpu(benchmark::State& state) {
  korvane::sim::ScopedSimCameras cameras(korvane::sim::DemoCameras());
  const TApplicationWindows windows = CreateApplicationWindows({});
  ShowAndWaitForPaint(*windows.FormMain);
  constexpr int kIdleMs = 10000;
  double share = 0;
  for (auto _ : state) {
    const double cpuBefore = ProcessCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop idle;
    QTimer::singleShot(kIdleMs, &idle, &QEventLoop::quit);
    idle.exec();
    share = (ProcessCpuSeconds() - cpuBefore) / (static_cast<double>(wall.elapsed()) / 1000.0);
  }
  state.counters["cpu_percent_of_core"] = share * 100.0;
}
BENCHMARK(BM_IdleWindow_Cpu)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
