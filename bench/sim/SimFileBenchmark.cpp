// What reading and writing a camera file costs, by the file's shape, at about 1 MB each: the
// time should follow the size, whatever the shape (the counters give bytes per second).

#include <benchmark/benchmark.h>

#include <string>

#include "platform/DirectShow9.h"
#include "platform/sim/SimJson.h"

namespace korvane::sim {
namespace {

SimDescription ManyFormats(std::size_t count) {
  SimDevice device;
  for (std::size_t i = 0; i < count; ++i) {
    SimFormat format;
    format.width = static_cast<LONG>(160 + i % 1000);
    device.formats.push_back(format);
  }
  return SimDescription{{device}};
}

// One object of many members: the faults of one camera.
SimDescription ManyFaults(std::size_t count) {
  SimDevice device;
  for (std::size_t i = 0; i < count; ++i) {
    device.faults["IAMVideoProcAmp::Get#" + std::to_string(i)] = E_FAIL;
  }
  return SimDescription{{device}};
}

SimDescription ManyCameras(std::size_t count) {
  SimDescription description;
  for (std::size_t i = 0; i < count; ++i) {
    SimDevice device;
    device.friendlyName = "Camera " + std::to_string(i);
    device.videoProcAmp[VideoProcAmp_Brightness] = SimControl{0, 255, 1, 128, 3, 128, 2};
    device.formats.emplace_back();
    description.devices.push_back(device);
  }
  return description;
}

std::string Nested(std::size_t depth) {
  return "{\"devices\":" + std::string(depth, '[') + std::string(depth, ']') + "}";
}

void Read(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    try {
      benchmark::DoNotOptimize(ParseSimDescription(text));
    } catch (const SimFileError&) {
      // refused files are timed as well
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["file_bytes"] = static_cast<double>(text.size());
}

void BM_ReadFormats(benchmark::State& state) {
  Read(state, ToJson(ManyFormats(5'000)));
}
void BM_ReadFaults(benchmark::State& state) {
  Read(state, ToJson(ManyFaults(25'000)));
}
void BM_ReadCameras(benchmark::State& state) {
  Read(state, ToJson(ManyCameras(2'000)));
}
void BM_ReadNested(benchmark::State& state) {
  Read(state, Nested(500'000));
}

void BM_WriteFaults(benchmark::State& state) {
  const SimDescription description = ManyFaults(25'000);
  for (auto _ : state) benchmark::DoNotOptimize(ToJson(description));
}

BENCHMARK(BM_ReadFormats)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFaults)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCameras)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadNested)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteFaults)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvane::sim
