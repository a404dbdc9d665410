// The YUY2 conversion of one 1920 × 1080 frame, each of our paths and, in the same run,
// libyuv's YUY2-to-ARGB conversion of the same frame as the reference for speed.

#include <benchmark/benchmark.h>
#include <libyuv/convert_argb.h>

#include <random>
#include <vector>

#include "camera/YUY2ToRGB32.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// A frame with varied values, so no path can profit from sameness.
const std::vector<BYTE>& Frame() {
  static const std::vector<BYTE> frame = [] {
    std::vector<BYTE> bytes(std::size_t{2} * kWidth * kHeight);
    std::mt19937 random(1080);
    for (BYTE& byte : bytes) byte = static_cast<BYTE>(random());
    return bytes;
  }();
  return frame;
}

void CountFrames(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * std::int64_t{2} * kWidth * kHeight);
}

void BM_YUY2ToRGB32(benchmark::State& state) {
  std::vector<DWORD> pixels(std::size_t{kWidth} * kHeight);
  for (auto _ : state) {
    YUY2ToRGB32(Frame().data(), kWidth, kHeight, pixels.data());
    benchmark::DoNotOptimize(pixels.data());
  }
  CountFrames(state);
}
BENCHMARK(BM_YUY2ToRGB32)->Unit(benchmark::kMicrosecond);

void BM_LibyuvYUY2ToARGB(benchmark::State& state) {
  std::vector<DWORD> pixels(std::size_t{kWidth} * kHeight);
  for (auto _ : state) {
    libyuv::YUY2ToARGB(Frame().data(), 2 * kWidth, reinterpret_cast<uint8_t*>(pixels.data()),
                       4 * kWidth, kWidth, kHeight);
    benchmark::DoNotOptimize(pixels.data());
  }
  CountFrames(state);
}
BENCHMARK(BM_LibyuvYUY2ToARGB)->Unit(benchmark::kMicrosecond);

// Each path on its own, the whole frame as one run.
void BM_YUY2Path(benchmark::State& state) {
  const korvane::camera::TYUY2Path path =
      korvane::camera::AvailableYUY2Paths()[static_cast<std::size_t>(state.range(0))];
  state.SetLabel(path.Name);
  std::vector<DWORD> pixels(std::size_t{kWidth} * kHeight);
  for (auto _ : state) {
    path.Convert(Frame().data(), 0, pixels.size(), pixels.data());
    benchmark::DoNotOptimize(pixels.data());
  }
  CountFrames(state);
}
BENCHMARK(BM_YUY2Path)
    ->DenseRange(0, static_cast<int>(korvane::camera::AvailableYUY2Paths().size()) - 1)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
