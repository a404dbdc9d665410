#include "cli/CameraSelection.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

namespace korvane::cli {

namespace {

bool IsIndex(std::string_view argument) {
  return !argument.empty() && argument.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string Describe(const TFVideoCaptureDevices& devices, std::size_t index) {
  const TFVideoCaptureDevice& device = devices[index];
  std::string text = std::to_string(index) + " '" + device.Name + "'";
  if (!device.Path.empty()) text += " (" + device.Path + ")";
  return text;
}

std::string CameraLabel(const TFVideoCaptureDevice& device, std::size_t index) {
  if (!device.Name.empty()) return device.Name;
  if (!device.Path.empty()) return device.Path;
  return "camera " + std::to_string(index);
}

// The node (/dev/video0) that a camera's device path, a udev link, points at: the name that
// other tools and the kernel's messages use.
std::optional<std::size_t> SameFileAsDevicePath(const TFVideoCaptureDevices& devices,
                                                std::string_view argument) {
  if (!argument.starts_with('/')) return std::nullopt;
  std::error_code error;
  const std::filesystem::path node = std::filesystem::canonical(std::string(argument), error);
  if (error) return std::nullopt;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    if (!devices[i].Path.starts_with('/')) continue;
    const std::filesystem::path linked = std::filesystem::canonical(devices[i].Path, error);
    if (!error && linked == node) return i;
  }
  return std::nullopt;
}

}  // namespace

std::size_t SelectCamera(const TFVideoCaptureDevices& devices, std::string_view argument) {
  if (IsIndex(argument)) {
    std::size_t index = 0;
    const auto [end, error] =
        std::from_chars(argument.data(), argument.data() + argument.size(), index);
    if (error == std::errc() && end == argument.data() + argument.size() &&
        index < devices.size()) {
      return index;
    }
    throw ECliError(TExitCode::CameraNotFound, "no camera with index " + std::string(argument) +
                                                   " (" + std::to_string(devices.size()) +
                                                   " listed)");
  }
  for (std::size_t i = 0; i < devices.size(); ++i) {
    if (!devices[i].Path.empty() && devices[i].Path == argument) return i;
  }
  if (const auto index = SameFileAsDevicePath(devices, argument)) return *index;
  std::vector<std::size_t> named;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    if (devices[i].Name == argument) named.push_back(i);
  }
  if (named.size() == 1) return named.front();
  if (named.empty()) {
    throw ECliError(TExitCode::CameraNotFound, "no camera '" + std::string(argument) + "'");
  }
  std::string candidates;
  for (const std::size_t i : named) {
    candidates += (candidates.empty() ? "" : ", ") + Describe(devices, i);
  }
  throw ECliError(TExitCode::CameraNotFound,
                  "camera name '" + std::string(argument) +
                      "' is ambiguous; choose by index or path: " + candidates);
}

TOpenCamera::TOpenCamera(const TFVideoCaptureDevices& devices, std::size_t index)
    : FIndex(index), FDevice(devices.at(index)), FCamera(std::make_unique<TFCamera>()) {
  // The component opens the first device whose friendly name or path equals its device name:
  // the path tells cameras of one model apart; without one, only the first of them is reachable.
  if (FDevice.Path.empty()) {
    for (std::size_t i = 0; i < index; ++i) {
      if (devices[i].Name == FDevice.Name) {
        throw ECliError(TExitCode::DeviceError,
                        Message("", "has no device path and cannot be told apart from camera " +
                                        std::to_string(i)));
      }
    }
  }
  FCamera->SetDeviceName(FDevice.Path.empty() ? FDevice.Name : FDevice.Path);
}

TOpenCamera::~TOpenCamera() = default;

std::string TOpenCamera::Message(std::string_view control, std::string_view text) const {
  std::string message = CameraLabel(FDevice, FIndex) + ": ";
  if (!control.empty()) message.append(control).append(": ");
  return message.append(text);
}

ECliError TOpenCamera::DeviceError(std::string_view control, std::string_view text,
                                   HRESULT code) const {
  std::string detail(text);
  if (code != 0) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(code));
    detail += std::string(" (") + hex + ")";
  }
  return ECliError(TExitCode::DeviceError, Message(control, detail));
}

}  // namespace korvane::cli
