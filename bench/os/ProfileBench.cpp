// What loading and saving a camera's settings costs: the settings window reads and
// writes 35 keys of one section in a row.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/os/ProfileFile.h"

namespace {

using korvane::os::ProfileFile;

const std::vector<std::string>& SettingKeys() {
  static const std::vector<std::string> keys = [] {
    const char* properties[] = {"BacklightCompensation",
                                "Brightness",
                                "ColorEnable",
                                "Contrast",
                                "Exposure",
                                "Focus",
                                "Gain",
                                "Gamma",
                                "Hue",
                                "Iris",
                                "Pan",
                                "Roll",
                                "Saturation",
                                "Sharpness",
                                "Tilt",
                                "WhiteBalance",
                                "Zoom"};
    std::vector<std::string> all;
    for (const char* p : properties) all.emplace_back(p);
    for (const char* p : properties) all.push_back(std::string("CheckBox") + p);
    all.emplace_back("PowerFrequency");
    return all;
  }();
  return keys;
}

// A settings file with `cameras` sections of 35 keys; the one read is the last.
std::filesystem::path MakeSettingsFile(int cameras) {
  std::string pattern = (std::filesystem::temp_directory_path() / "korvane-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  const std::filesystem::path path = std::filesystem::path(pattern) / "settings.kcs";
  std::string text;
  for (int camera = 0; camera < cameras; ++camera) {
    text += "[Camera " + std::to_string(camera) + "]\r\n";
    for (const auto& key : SettingKeys()) text += key + "=128\r\n";
  }
  FILE* out = std::fopen(path.c_str(), "wb");
  std::fwrite(text.data(), 1, text.size(), out);
  std::fclose(out);
  return path;
}

void BM_Load35Keys(benchmark::State& state) {
  const int cameras = static_cast<int>(state.range(0));
  const auto path = MakeSettingsFile(cameras);
  const std::string section = "Camera " + std::to_string(cameras - 1);
  for (auto _ : state) {
    const ProfileFile file(path);  // a load opens the file afresh
    int sum = 0;
    for (const auto& key : SettingKeys()) sum += file.ReadInteger(section, key, 0);
    benchmark::DoNotOptimize(sum);
  }
  std::filesystem::remove_all(path.parent_path());
}
BENCHMARK(BM_Load35Keys)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);

void BM_Save35Keys(benchmark::State& state) {
  const auto path = MakeSettingsFile(static_cast<int>(state.range(0)));
  ProfileFile file(path);
  int value = 0;
  for (auto _ : state) {
    for (const auto& key : SettingKeys()) file.WriteInteger("Camera 0", key, ++value % 256);
  }
  std::filesystem::remove_all(path.parent_path());
}
BENCHMARK(BM_Save35Keys)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

// A save as the window and the tool make it: the 35 keys in one replacement of the file, up to
// a file near the 4 MiB a settings file may have.
void BM_SaveSectionWhole(benchmark::State& state) {
  const auto path = MakeSettingsFile(static_cast<int>(state.range(0)));
  ProfileFile file(path);
  int value = 0;
  for (auto _ : state) {
    std::vector<korvane::os::profile::KeyValue> keys;
    for (const auto& key : SettingKeys()) keys.push_back({key, std::to_string(++value % 256)});
    if (!file.WriteKeys("Camera 0", keys)) state.SkipWithError(file.ErrorText().c_str());
  }
  state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path));
  std::filesystem::remove_all(path.parent_path());
}
BENCHMARK(BM_SaveSectionWhole)->Arg(1)->Arg(10)->Arg(6500)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
