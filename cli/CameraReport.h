#pragma once
// What `list` and `show` print: read once from the camera, then written as text for people or
// as JSON for scripts.

#include <array>
#include <string>
#include <vector>

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
  std::string Error;  // why the camera could not tell the rest; empty when it could
};

struct TCameraReport {
  std::size_t Index = 0;
  TFVideoCaptureDevice Device;
  std::array<TPropertyReport, kSettingsPropertyCount> Properties{};
  bool FrequencySupported = false;
  TFPowerLineFrequency Frequency = pfUnknown;
  bool FrequencyAuto = false;
  std::string FrequencyError;
  TFCameraFormats Formats;
  std::vector<std::string> Failures;  // one error line's message per control that failed
};

// Every property of the window's rows, the power-line frequency and the formats. A control
// that fails is marked with its error and the others are still read; a camera that is gone
// throws ECliError DeviceError.
TCameraReport ReadCameraReport(TOpenCamera& camera);

std::string CameraListText(const TFVideoCaptureDevices& devices);
nlohmann::ordered_json CameraListJson(const TFVideoCaptureDevices& devices);

std::string CameraReportText(const TCameraReport& report);
nlohmann::ordered_json CameraReportJson(const TCameraReport& report);

}  // namespace korvane::cli
