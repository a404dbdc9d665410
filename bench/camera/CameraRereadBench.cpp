// One full re-read of a camera as the settings window does it after a selection or on its
// refresh timer: for each of the seventeen rows Supported, value, range and Auto, then the
// list of formats. Measured on an in-memory simulated camera and on a file-backed one.

#include <benchmark/benchmark.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "camera/FCamera.h"
#include "platform/sim/SimCameras.h"

namespace {

using korvane::sim::SimControl;
using korvane::sim::SimDescription;
using korvane::sim::SimDevice;
using korvane::sim::SimFormat;

struct Row {
  LONG (TFCamera::*value)();
  bool (TFCamera::*isAuto)();
  TFRange (TFCamera::*range)();
  bool (TFCamera::*supported)();
};

#define ROW(P)                                                            \
  Row {                                                                   \
    &TFCamera::Get##P, &TFCamera::Get##P##Auto, &TFCamera::Get##P##Range, \
        &TFCamera::Get##P##Supported                                      \
  }
const Row kRows[] = {ROW(BacklightCompensation),
                     ROW(Brightness),
                     ROW(ColorEnable),
                     ROW(Contrast),
                     ROW(Exposure),
                     ROW(Focus),
                     ROW(Gain),
                     ROW(Gamma),
                     ROW(Hue),
                     ROW(Iris),
                     ROW(Pan),
                     ROW(Roll),
                     ROW(Saturation),
                     ROW(Sharpness),
                     ROW(Tilt),
                     ROW(WhiteBalance),
                     ROW(Zoom)};
#undef ROW

// Every control of both interfaces and 60 formats: 2 compressions x 10 sizes x 3 frame rates.
SimDescription BenchCamera() {
  SimDevice device;
  device.friendlyName = "Bench Cam";
  device.devicePath = "/dev/bench";
  for (LONG index = 0; index <= 9; ++index)
    device.videoProcAmp[index] = SimControl{0, 255, 1, 128, 3, 100, 2};
  for (LONG index = 0; index <= 6; ++index)
    device.cameraControl[index] = SimControl{-10, 10, 1, 0, 3, 0, 1};
  const std::pair<LONG, LONG> sizes[] = {{160, 120},  {320, 240},  {352, 288}, {424, 240},
                                         {640, 360},  {640, 480},  {800, 600}, {1024, 768},
                                         {1280, 720}, {1920, 1080}};
  for (DWORD compression : {MakeFourCC('Y', 'U', 'Y', '2'), MakeFourCC('M', 'J', 'P', 'G')})
    for (const auto& [width, height] : sizes)
      for (REFERENCE_TIME frameTime : {333333, 666666, 1000000}) {
        SimFormat format;
        format.width = width;
        format.height = height;
        format.avgTimePerFrame = frameTime;
        format.compression = compression;
        format.subtype = FourCCSubtype(compression);
        device.formats.push_back(format);
      }
  return SimDescription{{device}};
}

void Reread(benchmark::State& state, TFCamera& camera) {
  camera.SetDeviceName("Bench Cam");
  for (auto _ : state) {
    for (const Row& row : kRows) {
      if (!(camera.*row.supported)()) continue;
      benchmark::DoNotOptimize((camera.*row.value)());
      benchmark::DoNotOptimize((camera.*row.range)());
      benchmark::DoNotOptimize((camera.*row.isAuto)());
    }
    const TFCameraFormats formats = camera.GetSupportedFormats();
    if (formats.size() != 60) state.SkipWithError("the camera lost its formats");
    benchmark::DoNotOptimize(formats.data());
  }
}

void BM_RereadInMemory(benchmark::State& state) {
  korvane::sim::ScopedSimCameras cameras(BenchCamera());
  TFCamera camera;
  Reread(state, camera);
}
BENCHMARK(BM_RereadInMemory)->Unit(benchmark::kMicrosecond);

void BM_RereadFileBacked(benchmark::State& state) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("korvane-bench-camera-" + std::to_string(getpid()) + ".json");
  try {
    std::ofstream(file) << korvane::sim::ToJson(BenchCamera());
    korvane::sim::ScopedSimCameras cameras(file);
    TFCamera camera;
    Reread(state, camera);
  } catch (const std::exception& error) {
    state.SkipWithError(error.what());
  }
  std::filesystem::remove(file);
}
BENCHMARK(BM_RereadFileBacked)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
