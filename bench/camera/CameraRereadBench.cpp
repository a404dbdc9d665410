// One full re-read of a camera as the settings window does it after a selection or on its
// refresh timer: for each of the seventeen rows Supported, value, range and Auto, then the
// list of formats. Measured on an in-memory simulated camera and on a file-backed one.

#include <benchmark/benchmark.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <linux/videodev2.h>

#include "camera/FCamera.h"
#include "platform/devices/DeviceProvider.h"
#include "platform/sim/SimCameras.h"
#include "platform/v4l2/V4l2Provider.h"
#include "platform/v4l2/emulation/EmulatedKernel.h"

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

// The same camera as a UVC camera of the emulated kernel: every control the rows know with
// its automatic companion, and the same 60 formats.
std::string EmulatedBenchCamera() {
  std::string formats;
  for (const char* fourcc : {"YUYV", "MJPG"}) {
    std::string sizes;
    for (const auto& [width, height] : {std::pair{160, 120},
                                        {320, 240},
                                        {352, 288},
                                        {424, 240},
                                        {640, 360},
                                        {640, 480},
                                        {800, 600},
                                        {1024, 768},
                                        {1280, 720},
                                        {1920, 1080}}) {
      if (!sizes.empty()) sizes += ",";
      sizes += R"({"width":)" + std::to_string(width) + R"(,"height":)" + std::to_string(height) +
               R"(,"intervals":["1/30","1/15","1/10"]})";
    }
    if (!formats.empty()) formats += ",";
    formats += R"({"fourcc":")" + std::string(fourcc) + R"(","sizes":[)" + sizes + "]}";
  }
  return R"({"cameras":[{"id":"bench","node":0,"card":"Bench Cam","busInfo":"usb-1",
    "usb":{"vendor":"046d","product":"0825","productName":"Bench Cam","serial":"B1"},
    "byPath":"pci-0000:00:14.0-usb-0:1:1.0","controls":[
    {"name":"brightness","min":0,"max":255},{"name":"contrast","min":0,"max":255},
    {"name":"saturation","min":0,"max":255},{"name":"hue","min":-40,"max":40},
    {"name":"hue_automatic"},{"name":"sharpness","min":0,"max":7},
    {"name":"gamma","min":100,"max":500},{"name":"backlight_compensation","min":0,"max":2},
    {"name":"white_balance_automatic","value":1},
    {"name":"white_balance_temperature","min":2800,"max":6500,"step":10,"default":4600},
    {"name":"gain","min":0,"max":255},{"name":"power_line_frequency","menu":[0,1,2],"default":1},
    {"name":"auto_exposure","menu":[1,3],"default":3},
    {"name":"exposure_time_absolute","min":3,"max":2047,"default":250},
    {"name":"focus_automatic_continuous","value":1},{"name":"focus_absolute","min":0,"max":250},
    {"name":"zoom_absolute","min":100,"max":500},{"name":"pan_absolute","min":-36000,"max":36000},
    {"name":"tilt_absolute","min":-36000,"max":36000},{"name":"iris_absolute","min":0,"max":10}],
    "formats":[)" +
         formats + R"(],
    "current":{"fourcc":"YUYV","width":640,"height":480,"interval":"1/30"}}]})";
}

// Reports the system calls of one re-read by request, so a change that adds driver traffic
// to the refresh tick shows in the numbers.
void RereadEmulated(benchmark::State& state,
                    const std::shared_ptr<korvane::v4l2::emulation::EmulatedKernel>& kernel) {
  korvane::devices::ScopedDeviceProviders providers({korvane::v4l2::MakeV4l2Provider(kernel)});
  TFCamera camera;
  camera.SetDeviceName("Bench Cam");
  camera.GetBrightness();  // the node is open, as it is after the first read
  kernel->ResetCounts();
  Reread(state, camera);
  const double rounds = static_cast<double>(state.iterations());
  state.counters["ioctls"] = static_cast<double>(kernel->IoctlCount()) / rounds;
  const std::pair<const char*, unsigned long> requests[] = {
      {"QUERYCTRL", VIDIOC_QUERYCTRL},
      {"G_CTRL", VIDIOC_G_CTRL},
      {"QUERYMENU", VIDIOC_QUERYMENU},
      {"ENUM_FMT", VIDIOC_ENUM_FMT},
      {"ENUM_FRAMESIZES", VIDIOC_ENUM_FRAMESIZES},
      {"ENUM_FRAMEINTERVALS", VIDIOC_ENUM_FRAMEINTERVALS},
      {"writes", VIDIOC_S_CTRL}};
  for (const auto& [name, request] : requests) {
    state.counters[name] = static_cast<double>(kernel->IoctlCount(request)) / rounds;
  }
  const std::size_t probes = kernel->IoctlCount(VIDIOC_TRY_FMT) + kernel->IoctlCount(VIDIOC_S_FMT) +
                             kernel->IoctlCount(VIDIOC_S_PARM) + kernel->IoctlCount(VIDIOC_S_CTRL);
  if (probes != 0) state.SkipWithError("the re-read probed or wrote the device");
}

void BM_RereadEmulatedUvc(benchmark::State& state) {
  std::string error;
  const auto kernel =
      korvane::v4l2::emulation::EmulatedKernel::FromJson(EmulatedBenchCamera(), &error);
  if (!kernel) {
    state.SkipWithError(error.c_str());
    return;
  }
  RereadEmulated(state, kernel);
}
BENCHMARK(BM_RereadEmulatedUvc)->Unit(benchmark::kMicrosecond);

void BM_RereadEmulatedUvcFileBacked(benchmark::State& state) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("korvane-bench-uvc-" + std::to_string(getpid()) + ".json");
  std::ofstream(file) << EmulatedBenchCamera();
  std::string error;
  const auto kernel = korvane::v4l2::emulation::EmulatedKernel::FromFile(file, &error);
  if (kernel) {
    RereadEmulated(state, kernel);
  } else {
    state.SkipWithError(error.c_str());
  }
  std::filesystem::remove(file);
}
BENCHMARK(BM_RereadEmulatedUvcFileBacked)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
