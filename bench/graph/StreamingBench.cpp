// What streaming costs the process: CPU time per second of a simulated camera streaming at 30
// frames a second through a sample grabber (buffering, with a callback, as the camera
// component builds it) into a null renderer, beside the same process doing nothing for as long.
// The counter cpu_percent is the process's CPU time over the wall time, in percent of one core.

#include <benchmark/benchmark.h>

#include <time.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/DirectShow9.h"
#include "platform/graph/GraphClasses.h"
#include "platform/sim/SimCameras.h"

namespace {

using korvane::sim::SimDescription;
using korvane::sim::SimDevice;
using korvane::sim::SimFormat;

constexpr auto kStreamingTime = std::chrono::seconds(3);

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

template <class Interface>
ComPtr<Interface> Create(const CLSID& classId) {
  ComPtr<Interface> object;
  CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IidOf<Interface>,
                   object.ReleaseAndGetVoidAddressOf());
  return object;
}

// Counts frames, as the component's callback is called for each.
class Counter final : public korvane::com::ComObject<ISampleGrabberCB> {
 public:
  HRESULT SampleCB(double, IMediaSample*) override {
    ++frames;
    return S_OK;
  }
  HRESULT BufferCB(double, BYTE*, LONG) override { return E_NOTIMPL; }
  std::atomic<long> frames{0};
};

SimDevice Camera(const GUID& subtype, WORD bits, DWORD compression) {
  SimFormat format;
  format.subtype = subtype;
  format.width = 1920;
  format.height = 1080;
  format.avgTimePerFrame = 333333;
  format.bitCount = bits;
  format.compression = compression;
  SimDevice device;
  device.friendlyName = "Bench camera";
  device.formats = {format};
  return device;
}

ComPtr<IBaseFilter> FirstCamera() {
  ComPtr<IEnumMoniker> monikers;
  ComPtr<IMoniker> moniker;
  ComPtr<IBaseFilter> filter;
  Create<ICreateDevEnum>(CLSID_SystemDeviceEnum)
      ->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.ReleaseAndGetAddressOf(), 0);
  if (monikers && monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.ReleaseAndGetVoidAddressOf());
  }
  return filter;
}

void Report(benchmark::State& state, double cpu, double wall, long frames) {
  state.counters["cpu_percent"] = 100.0 * cpu / wall;
  state.counters["frames_per_second"] = static_cast<double>(frames) / wall;
}

void Stream(benchmark::State& state, const SimDevice& device) {
  korvane::sim::ScopedSimCameras cameras(SimDescription{{device}});
  double cpu = 0, wall = 0;
  long frames = 0;
  for (auto _ : state) {
    const ComPtr<IBaseFilter> camera = FirstCamera();
    const ComPtr<IGraphBuilder> graph = Create<IGraphBuilder>(CLSID_FilterGraph);
    const ComPtr<ICaptureGraphBuilder2> builder =
        Create<ICaptureGraphBuilder2>(CLSID_CaptureGraphBuilder2);
    const ComPtr<IBaseFilter> grabberFilter = Create<IBaseFilter>(CLSID_SampleGrabber);
    const ComPtr<IBaseFilter> renderer = Create<IBaseFilter>(CLSID_NullRenderer);
    const ComPtr<Counter> counter = korvane::com::MakeCom<Counter>();
    const ComPtr<ISampleGrabber> grabber = grabberFilter.As<ISampleGrabber>();
    builder->SetFiltergraph(graph.Get());
    grabber->SetBufferSamples(TRUE);
    grabber->SetCallback(counter.Get(), 0);
    graph->AddFilter(camera.Get(), u"Video capture");
    graph->AddFilter(grabberFilter.Get(), u"Sample grabber");
    graph->AddFilter(renderer.Get(), u"Null renderer");
    if (FAILED(builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, camera.Get(),
                                     grabberFilter.Get(), renderer.Get()))) {
      state.SkipWithError("the graph cannot be built");
      return;
    }
    const ComPtr<IMediaControl> control = graph.As<IMediaControl>();
    const auto begun = std::chrono::steady_clock::now();
    const double cpuBegun = ProcessCpuSeconds();
    control->Run();
    std::this_thread::sleep_for(kStreamingTime);
    control->Stop();
    cpu += ProcessCpuSeconds() - cpuBegun;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
    frames += counter->frames.load();
  }
  Report(state, cpu, wall, frames);
}

// The same process, as long, with nothing streaming.
void BM_Idle(benchmark::State& state) {
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    const auto begun = std::chrono::steady_clock::now();
    const double cpuBegun = ProcessCpuSeconds();
    std::this_thread::sleep_for(kStreamingTime);
    cpu += ProcessCpuSeconds() - cpuBegun;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
  }
  Report(state, cpu, wall, 0);
}

void BM_Yuy2_1080p30_GrabberToNullRenderer(benchmark::State& state) {
  Stream(state, Camera(MEDIASUBTYPE_YUY2, 16, MakeFourCC('Y', 'U', 'Y', '2')));
}

void BM_Mjpg_1080p30_GrabberToNullRenderer(benchmark::State& state) {
  Stream(state, Camera(MEDIASUBTYPE_MJPG, 24, MakeFourCC('M', 'J', 'P', 'G')));
}

// One picture handed out by the video renderer, as a window takes it for each repaint: the
// current 1080p YUY2 frame as a packed 32-bit bitmap in task memory.
void BM_Vmr9CurrentImage_1080p_Yuy2(benchmark::State& state) {
  korvane::sim::ScopedSimCameras cameras(
      SimDescription{{Camera(MEDIASUBTYPE_YUY2, 16, MakeFourCC('Y', 'U', 'Y', '2'))}});
  const ComPtr<IBaseFilter> camera = FirstCamera();
  const ComPtr<IGraphBuilder> graph = Create<IGraphBuilder>(CLSID_FilterGraph);
  const ComPtr<ICaptureGraphBuilder2> builder =
      Create<ICaptureGraphBuilder2>(CLSID_CaptureGraphBuilder2);
  const ComPtr<IBaseFilter> renderer = Create<IBaseFilter>(CLSID_VideoMixingRenderer9);
  renderer.As<IVMRFilterConfig9>()->SetRenderingMode(VMR9Mode_Windowless);
  const ComPtr<IVMRWindowlessControl9> control = renderer.As<IVMRWindowlessControl9>();
  builder->SetFiltergraph(graph.Get());
  graph->AddFilter(camera.Get(), u"Video capture");
  graph->AddFilter(renderer.Get(), u"VMR-9");
  builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, camera.Get(), nullptr,
                        renderer.Get());
  const ComPtr<IMediaControl> media = graph.As<IMediaControl>();
  media->Run();
  OAFilterState running = 0;
  media->GetState(INFINITE, &running);
  for (auto _ : state) {
    BYTE* image = nullptr;
    if (FAILED(control->GetCurrentImage(&image))) {
      state.SkipWithError("no current image");
      break;
    }
    benchmark::DoNotOptimize(image);
    CoTaskMemFree(image);
  }
  media->Stop();
}

}  // namespace

BENCHMARK(BM_Vmr9CurrentImage_1080p_Yuy2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Idle)->Iterations(2)->Unit(benchmark::kSecond);
BENCHMARK(BM_Yuy2_1080p30_GrabberToNullRenderer)->Iterations(2)->Unit(benchmark::kSecond);
BENCHMARK(BM_Mjpg_1080p30_GrabberToNullRenderer)->Iterations(2)->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
