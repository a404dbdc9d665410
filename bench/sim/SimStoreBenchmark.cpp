// What one re-read of a camera costs against the simulated provider: the calls the camera
// component makes to refresh every row, the format list and the current format. File-backed,
// each call must cost a stat, not a parse.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/DirectShow9.h"
#include "platform/sim/SimCameras.h"
#include "platform/sim/SimMediaTypes.h"

namespace korvane::sim {
namespace {

template <class Interface>
ComPtr<Interface> Query(IUnknown* object) {
  ComPtr<Interface> result;
  object->QueryInterface(IidOf<Interface>, result.ReleaseAndGetVoidAddressOf());
  return result;
}

ComPtr<IBaseFilter> FirstVideoFilter() {
  ComPtr<ICreateDevEnum> devEnum;
  ComPtr<IEnumMoniker> monikers;
  ComPtr<IMoniker> moniker;
  ComPtr<IBaseFilter> filter;
  CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                   devEnum.ReleaseAndGetVoidAddressOf());
  devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.ReleaseAndGetAddressOf(),
                                 0);
  monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr);
  moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.ReleaseAndGetVoidAddressOf());
  return filter;
}

// One refresh of the whole window: per control its support, value, range and mode, then the
// format list and the current format. Returns the number of driver calls made.
std::size_t ReReadCamera(IBaseFilter* filter) {
  const auto amp = Query<IAMVideoProcAmp>(filter);
  const auto camera = Query<IAMCameraControl>(filter);
  const auto ks = Query<IKsPropertySet>(filter);
  std::size_t calls = 0;
  LONG value = 0, flags = 0, min = 0, max = 0, step = 0, defaultValue = 0, caps = 0;
  auto readControl = [&](auto& control, LONG index) {
    calls += 4;
    if (control->Get(index, &value, &flags) != S_OK) return;
    control->Get(index, &value, &flags);
    control->GetRange(index, &min, &max, &step, &defaultValue, &caps);
    control->Get(index, &value, &flags);
  };
  for (LONG index : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 13}) readControl(amp, index);
  for (LONG index = 0; index <= 6; ++index) readControl(camera, index);
  DWORD record[2];
  DWORD returned = 0;
  for (const GUID* set : {&PROPSETID_VIDCAP_CAMERACONTROL_FLASH,
                          &PROPSETID_VIDCAP_CAMERACONTROL_VIDEO_STABILIZATION}) {
    ks->Get(*set, 0, nullptr, 0, record, 8, &returned);
    ++calls;
  }
  ComPtr<IEnumPins> pins;
  ComPtr<IPin> pin;
  filter->EnumPins(pins.ReleaseAndGetAddressOf());
  pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr);
  ComPtr<IEnumMediaTypes> types;
  pin->EnumMediaTypes(types.ReleaseAndGetAddressOf());
  calls += 2;
  AM_MEDIA_TYPE* type = nullptr;
  while (++calls, types->Next(1, &type, nullptr) == S_OK) DeleteSimMediaType(type);
  Query<IAMStreamConfig>(pin.Get())->GetFormat(&type);
  DeleteSimMediaType(type);
  return calls + 1;
}

void RunReRead(benchmark::State& state, ScopedSimCameras& cameras) {
  const ComPtr<IBaseFilter> filter = FirstVideoFilter();
  std::size_t calls = 0;
  for (auto _ : state) calls = ReReadCamera(filter.Get());
  state.counters["driver calls"] = static_cast<double>(calls);
  state.counters["per call"] =
      benchmark::Counter(static_cast<double>(calls), benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
  benchmark::DoNotOptimize(cameras.Store().CallCount("IAMVideoProcAmp::Get"));
}

void BM_ReReadCameraInMemory(benchmark::State& state) {
  ScopedSimCameras cameras(DemoCameras());
  RunReRead(state, cameras);
}
BENCHMARK(BM_ReReadCameraInMemory)->Unit(benchmark::kMicrosecond);

// The demo set in a file of its own for the length of one benchmark.
class DemoFile {
 public:
  DemoFile()
      : path_(std::filesystem::temp_directory_path() /
              ("korvane-bench-" + std::to_string(::getpid()) + ".json")) {
    std::ofstream(path_) << ToJson(DemoCameras());
  }
  ~DemoFile() { std::filesystem::remove(path_); }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

void BM_ReReadCameraFileBacked(benchmark::State& state) {
  const DemoFile file;
  ScopedSimCameras cameras(file.Path());
  RunReRead(state, cameras);
}
BENCHMARK(BM_ReReadCameraFileBacked)->Unit(benchmark::kMicrosecond);

// A write by the program: the file is read, changed and replaced (with fsync) each time.
void BM_WriteControlFileBacked(benchmark::State& state) {
  const DemoFile file;
  ScopedSimCameras cameras(file.Path());
  const auto amp = Query<IAMVideoProcAmp>(FirstVideoFilter().Get());
  LONG value = 0;
  for (auto _ : state) amp->Set(VideoProcAmp_Brightness, ++value % 64, 2);
}
BENCHMARK(BM_WriteControlFileBacked)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace korvane::sim

BENCHMARK_MAIN();
