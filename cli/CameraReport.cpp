#include "cli/CameraReport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "cli/CameraProperties.h"
#include "cli/PrintableText.h"
#include "cli/TextTable.h"

namespace korvane::cli {

namespace {

constexpr std::string_view kFormatsControl = "formats";

// The power-line frequency as the settings files and `set` spell it.
std::string FrequencyText(TFPowerLineFrequency frequency) {
  switch (frequency) {
    case pf50Hz:
      return "50";
    case pf60Hz:
      return "60";
    case pfDisabled:
      return "disabled";
    case pfAuto:
      return "auto";
    case pfUnknown:
      break;
  }
  return "unknown";
}

std::string FourCCText(const TFFourCC& code) {
  if (code == TFFourCC{}) return "none";
  bool printable = true;
  for (const char c : code) printable = printable && c >= 0x20 && c < 0x7F;
  if (printable) return std::string(code.begin(), code.end());
  unsigned value = 0;
  for (std::size_t i = 0; i < code.size(); ++i) {
    value |= static_cast<unsigned>(static_cast<unsigned char>(code[i])) << (8 * i);
  }
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", value);
  return hex;
}

// The window's format list text: "640x480 30Hz 16bpp", the rate in whole frames per second.
std::string FormatText(const TFCameraFormat& format) {
  std::string text =
      std::to_string(format.Width) + "x" + std::to_string(std::abs(format.Height)) + " ";
  if (format.AvgTimePerFrame != 0) {
    text += std::to_string(REFERENCE_TIME{10000000} / format.AvgTimePerFrame) + "Hz ";
  }
  return text + std::to_string(format.BitsPerPixel) + "bpp";
}

std::string ModesText(const TFRange& range) {
  if (range.Auto && range.Manual) return "auto,manual";
  if (range.Auto) return "auto";
  if (range.Manual) return "manual";
  return "none";
}

std::string DevicePathText(const std::string& path) {
  return path.empty() ? "-" : path;
}

}  // namespace

TCameraReport ReadCameraReport(TOpenCamera& camera) {
  TCameraReport report;
  report.Index = camera.Index();
  report.Device = camera.Device();
  // A failing control is noted with its error text (the message without the names before it).
  const auto note = [&](std::string_view name, const std::optional<ECliError>& failed,
                        std::string& error) {
    if (!failed) return;
    const std::string message = failed->what();
    error = message.substr(std::min(message.size(), camera.Message(name, "").size()));
    report.Failures.push_back(message);
  };
  for (std::size_t i = 0; i < kCameraProperties.size(); ++i) {
    const TCameraProperty& property = kCameraProperties[i];
    TPropertyReport& row = report.Properties[i];
    note(property.Name,
         camera.TryCall(property.Name,
                        [&](TFCamera& c) {
                          row.Supported = (c.*property.GetSupported)();
                          if (!row.Supported) return;
                          row.Value = (c.*property.GetValue)();
                          row.Range = (c.*property.GetRange)();
                          row.Auto = (c.*property.GetAuto)();
                        }),
         row.Error);
  }
  note(kPowerFrequencyKey,
       camera.TryCall(kPowerFrequencyKey,
                      [&](TFCamera& c) {
                        report.FrequencySupported = c.GetPowerLineFrequencySupported();
                        if (!report.FrequencySupported) return;
                        report.Frequency = c.GetPowerLineFrequency();
                        report.FrequencyAuto = c.GetPowerLineFrequencyAuto();
                      }),
       report.FrequencyError);
  report.Formats =
      camera.Call(kFormatsControl, [](TFCamera& c) { return c.GetSupportedFormats(); });
  return report;
}

std::string CameraListText(const TFVideoCaptureDevices& devices) {
  if (devices.empty()) return "No cameras found.\n";
  std::vector<std::vector<std::string>> rows{{"Index", "Name", "Device path"}};
  for (std::size_t i = 0; i < devices.size(); ++i) {
    rows.push_back({std::to_string(i), devices[i].Name, DevicePathText(devices[i].Path)});
  }
  return TextTable(rows);
}

nlohmann::ordered_json CameraListJson(const TFVideoCaptureDevices& devices) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (std::size_t i = 0; i < devices.size(); ++i) {
    list.push_back({{"index", i},
                    {"name", devices[i].Name},
                    {"path", devices[i].Path},
                    {"description", devices[i].Description}});
  }
  return list;
}

std::string CameraReportText(const TCameraReport& report) {
  std::string text = "Camera " + std::to_string(report.Index) + ": " +
                     PrintableText(report.Device.Name) + "\n" +
                     "Device path: " + PrintableText(DevicePathText(report.Device.Path)) + "\n\n";
  std::vector<std::vector<std::string>> rows{
      {"Property", "Value", "Min", "Max", "Step", "Default", "Auto", "Modes"}};
  for (std::size_t i = 0; i < kCameraProperties.size(); ++i) {
    const TPropertyReport& row = report.Properties[i];
    const std::string name(kCameraProperties[i].Name);
    if (!row.Error.empty()) {
      rows.push_back({name, "failed", "", "", "", "", "", row.Error});
      continue;
    }
    if (!row.Supported) {
      rows.push_back({name, "not supported"});
      continue;
    }
    rows.push_back({name, std::to_string(row.Value), std::to_string(row.Range.Min),
                    std::to_string(row.Range.Max), std::to_string(row.Range.Delta),
                    std::to_string(row.Range.Default), row.Auto ? "on" : "off",
                    ModesText(row.Range)});
  }
  if (!report.FrequencyError.empty()) {
    rows.push_back(
        {std::string(kPowerFrequencyKey), "failed", "", "", "", "", "", report.FrequencyError});
  } else if (report.FrequencySupported) {
    rows.push_back({std::string(kPowerFrequencyKey), FrequencyText(report.Frequency), "", "", "",
                    "", report.FrequencyAuto ? "on" : "off"});
  } else {
    rows.push_back({std::string(kPowerFrequencyKey), "not supported"});
  }
  text += TextTable(rows);

  text += "\nFormats:\n";
  if (report.Formats.empty()) return text + "  none\n";
  std::vector<std::vector<std::string>> formats;
  for (std::size_t i = 0; i < report.Formats.size(); ++i) {
    const TFCameraFormat& format = report.Formats[i];
    formats.push_back(
        {"  " + std::to_string(i), FormatText(format), FourCCText(format.Compression)});
  }
  return text + TextTable(formats);
}

nlohmann::ordered_json CameraReportJson(const TCameraReport& report) {
  nlohmann::ordered_json properties = nlohmann::ordered_json::object();
  for (std::size_t i = 0; i < kCameraProperties.size(); ++i) {
    const TPropertyReport& row = report.Properties[i];
    nlohmann::ordered_json entry = {{"supported", row.Supported}};
    if (!row.Error.empty()) {
      entry["error"] = row.Error;
    } else if (row.Supported) {
      entry["value"] = row.Value;
      entry["min"] = row.Range.Min;
      entry["max"] = row.Range.Max;
      entry["step"] = row.Range.Delta;
      entry["default"] = row.Range.Default;
      entry["auto"] = row.Auto;
      entry["canAuto"] = row.Range.Auto;
      entry["canManual"] = row.Range.Manual;
    }
    properties[std::string(kCameraProperties[i].Name)] = entry;
  }
  nlohmann::ordered_json frequency = {{"supported", report.FrequencySupported}};
  if (!report.FrequencyError.empty()) {
    frequency["error"] = report.FrequencyError;
  } else if (report.FrequencySupported) {
    frequency["value"] = FrequencyText(report.Frequency);
    frequency["auto"] = report.FrequencyAuto;
  }
  properties[std::string(kPowerFrequencyKey)] = frequency;
  nlohmann::ordered_json formats = nlohmann::ordered_json::array();
  for (const TFCameraFormat& format : report.Formats) {
    formats.push_back({{"width", format.Width},
                       {"height", format.Height},
                       {"avgTimePerFrame", format.AvgTimePerFrame},
                       {"bitsPerPixel", format.BitsPerPixel},
                       {"compression", FourCCText(format.Compression)},
                       {"text", FormatText(format)}});
  }
  return {{"index", report.Index},
          {"name", report.Device.Name},
          {"path", report.Device.Path},
          {"properties", properties},
          {"formats", formats}};
}

}  // namespace korvane::cli
