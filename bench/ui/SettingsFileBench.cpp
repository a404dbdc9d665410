// Speed of the settings files: a save and a load through the window's own handlers, with the
// file dialog answered at once, on a camera with all seventeen properties and no latency, so
// that every value of a load is written to the device. Also the file part alone.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "bench/ui/BenchCameras.h"
#include "platform/sim/SimCameras.h"
#include "ui/ApplicationWindows.h"
#include "settings/CameraSettingsFile.h"

namespace {

// The settings folder lands in a fresh home, on the same disk a user's would be.
struct BenchHome {
  BenchHome() {
    qputenv("HOME", Dir.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (Dir.path() + QStringLiteral("/.config")).toUtf8());
  }
  ~BenchHome() {
    qputenv("HOME", OldHome);
    qputenv("XDG_CONFIG_HOME", OldConfig);
  }
  QByteArray OldHome = qgetenv("HOME");
  QByteArray OldConfig = qgetenv("XDG_CONFIG_HOME");
  QTemporaryDir Dir{QDir::homePath() + QStringLiteral("/.korvane-bench-XXXXXX")};
};

korvane::sim::SimDescription FullyAdjustableCamera() {
  korvane::sim::SimDescription description = BenchCameraAndSpare({korvane::sim::SimFormat{}});
  // The power frequency takes part in a load too.
  description.devices[0].videoProcAmp[13] = korvane::sim::SimControl{0, 3, 1, 1, 2, 1, 2};
  return description;
}

// Types the name into the dialog and accepts it as soon as it is up.
void AnswerDialogWith(const QString& fileName) {
  QTimer::singleShot(0, [fileName] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return AnswerDialogWith(fileName);
    modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(fileName);
    static_cast<QDialog*>(modal)->accept();
  });
}

TCameraSettings SettingsWithEveryValue(double value) {
  TCameraSettings settings;
  settings.Positions.fill(value);
  settings.PowerFrequency = value > 100 ? 1 : 0;
  return settings;
}

void BM_SaveThroughTheWindow(benchmark::State& state) {
  BenchHome home;
  korvane::sim::ScopedSimCameras cameras(FullyAdjustableCamera());
  const TApplicationWindows windows = CreateApplicationWindows({});
  int count = 0;
  for (auto _ : state) {
    // A new file each time: the overwrite question is the user's time, not ours.
    AnswerDialogWith(home.Dir.path() + QStringLiteral("/save-%1.kcs").arg(count++));
    windows.FormMain->ButtonWriteClick();
  }
}
BENCHMARK(BM_SaveThroughTheWindow)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_LoadThroughTheWindow(benchmark::State& state) {
  BenchHome home;
  korvane::sim::ScopedSimCameras cameras(FullyAdjustableCamera());
  const TApplicationWindows windows = CreateApplicationWindows({});
  // Two files with different values, loaded in turn, so that every load writes every
  // property and the frequency to the device.
  const QString files[] = {home.Dir.path() + QStringLiteral("/low.kcs"),
                           home.Dir.path() + QStringLiteral("/high.kcs")};
  CameraSettingsFile::Write(files[0].toStdString(), "Bench camera", SettingsWithEveryValue(10));
  CameraSettingsFile::Write(files[1].toStdString(), "Bench camera", SettingsWithEveryValue(200));
  std::size_t count = 0;
  for (auto _ : state) {
    AnswerDialogWith(files[count++ % 2]);
    windows.FormMain->ButtonReadClick();
  }
  state.counters["device_writes"] =
      benchmark::Counter(static_cast<double>(cameras.Store().CallCount("IAMVideoProcAmp::Set") +
                                             cameras.Store().CallCount("IAMCameraControl::Set")),
                         benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_LoadThroughTheWindow)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The 35 writes alone, each replacing the file safely on disk.
void BM_WriteFileOnly(benchmark::State& state) {
  BenchHome home;
  const std::string file = (home.Dir.path() + QStringLiteral("/write.kcs")).toStdString();
  const TCameraSettings settings = SettingsWithEveryValue(128);
  for (auto _ : state) CameraSettingsFile::Write(file, "Bench camera", settings);
}
BENCHMARK(BM_WriteFileOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
