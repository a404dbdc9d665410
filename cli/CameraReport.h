#pragma once
// What `list` and `show` print: read once from the camera, then written as text for people or
// as JSON for scripts.

#include <array>
#include <string>

#include <nlohmann/json.hpp>

#include "camera/FCameraTypes.h"
#include "cli/CameraSelection.h"
#include "settings/SettingsKeys.h"

namespace korvane::cli {

struct TPropertyReport {
  bool Supported = false;
  LONG Value = 0;
  TFRange Range;
  bool Auto = false;
};

struct TCameraReport {
  std::size_t Index = 0;
  TFVideoCaptureDevice Device;
  std::array<TPropertyReport, kSettingsPropertyCount> Properties{};
  bool FrequencySupported = false;
  TFPowerLineFrequency Frequency = pfUnknown;
  bool FrequencyAuto = false;
  TFCameraFormats Formats;
};

// Every property of the window's rows, the power-line frequency and the formats.
TCameraReport ReadCameraReport(TOpenCamera& camera);

std::string CameraListText(const TFVideoCaptureDevices& devices);
nlohmann::ordered_json CameraListJson(const TFVideoCaptureDevices& devices);

std::string CameraReportText(const TCameraReport& report);
nlohmann::ordered_json CameraReportJson(const TCameraReport& report);

}  // namespace korvane::cli
