#pragma once
// The folder of real cameras' emulation files, for table tests that run each of them: the one
// the build found (KORVANE_REAL_CAMERAS, see korvane_use_real_cameras), or the one the
// environment variable of that name gives at run time.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace korvane::testing {

inline std::filesystem::path RealCamerasFolder() {
  if (const char* folder = std::getenv("KORVANE_REAL_CAMERAS"); folder && *folder) return folder;
  return KORVANE_REAL_CAMERAS;
}

// The file names, sorted; none when the folder is missing.
inline std::vector<std::string> RealCameraFiles() {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(RealCamerasFolder(), error)) {
    if (entry.path().extension() == ".json") names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A test name from a file name: its letters and digits.
inline std::string RealCameraTestName(const ::testing::TestParamInfo<std::string>& param) {
  std::string name = std::filesystem::path(param.param).stem().string();
  std::replace_if(
      name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); },
      '_');
  return name;
}

}  // namespace korvane::testing
