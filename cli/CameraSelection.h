#pragma once
// Which camera a command works on, and the camera component opened on it.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "camera/FCamera.h"
#include "camera/FCameraLost.h"
#include "cli/CliErrors.h"

namespace korvane::cli {

// The position in the list of the camera that the argument names: an index (plain decimal
// digits), a device path or the node it links to (/dev/video0), or an exact friendly name. Throws
// ECliError CameraNotFound when none matches, and when two cameras share the name (the message
// lists both, by index and path).
std::size_t SelectCamera(const TFVideoCaptureDevices& devices, std::string_view argument);

// One camera of the list with the camera component selecting it; every call on it goes through
// Call, so that an error names the camera and the control.
class TOpenCamera {
 public:
  // Throws ECliError DeviceError when the camera cannot be told apart from an earlier one of
  // the same name (no device path).
  TOpenCamera(const TFVideoCaptureDevices& devices, std::size_t index);
  ~TOpenCamera();
  TOpenCamera(const TOpenCamera&) = delete;
  TOpenCamera& operator=(const TOpenCamera&) = delete;

  std::size_t Index() const { return FIndex; }
  const TFVideoCaptureDevice& Device() const { return FDevice; }
  // The friendly name: what the window lists and what names a settings file's section.
  const std::string& Name() const { return FDevice.Name; }

  // Runs action on the component; a camera error becomes ECliError DeviceError
  // "<camera>: <control>: <message>".
  template <class Action>
  auto Call(std::string_view control, Action&& action) {
    try {
      return std::forward<Action>(action)(*FCamera);
    } catch (const EOleSysError& error) {
      throw DeviceError(control, error.what(), error.ErrorCode());
    } catch (const EFCameraError& error) {
      throw DeviceError(control, error.what(), 0);
    }
  }

  // Runs action for one control as Call does, but a failure of that control alone (the camera
  // still answers) is handed back to be reported beside the others; a camera that is gone
  // still throws (IsCameraLostError draws the line).
  template <class Action>
  std::optional<ECliError> TryCall(std::string_view control, Action&& action) {
    try {
      std::forward<Action>(action)(*FCamera);
      return std::nullopt;
    } catch (const EOleSysError& error) {
      if (IsCameraLostError(error)) throw DeviceError(control, error.what(), error.ErrorCode());
      return DeviceError(control, error.what(), error.ErrorCode());
    } catch (const EFCameraError& error) {
      throw DeviceError(control, error.what(), 0);
    }
  }

  // "<camera>: <control>: <text>", or "<camera>: <text>" without a control.
  std::string Message(std::string_view control, std::string_view text) const;

 private:
  ECliError DeviceError(std::string_view control, std::string_view text, HRESULT code) const;

  std::size_t FIndex;
  TFVideoCaptureDevice FDevice;
  std::unique_ptr<TFCamera> FCamera;
};

}  // namespace korvane::cli
