#pragma once
// `remember`, `forget`, `remembered` and `restore` (without --watch): the settings a camera
// keeps, stored and put back.

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CameraSelection.h"
#include "cli/RememberedCameras.h"
#include "cli/SettingsTransfer.h"

namespace korvane::v4l2 {
class V4l2Device;
}

namespace korvane::cli {

// One camera's restore gathered for one line: the writes as NAME=VALUE, the refusals as their
// messages without the camera's name.
class TRestoreLog final : public TWriteLog {
 public:
  explicit TRestoreLog(const TOpenCamera& camera) : FCameraPrefix(camera.Message("", "")) {}
  void Written(std::string_view name, const std::string& value) override;
  void Refused(const ECliError& error) override;
  const std::vector<std::string>& Writes() const { return FWrites; }
  const std::vector<std::string>& Refusals() const { return FRefusals; }

 private:
  std::string FCameraPrefix;
  std::vector<std::string> FWrites;
  std::vector<std::string> FRefusals;
};

// Applies the camera's remembered settings as `load` applies a file. Throws ECliError
// SettingsFile when the file lost its section, DeviceError when the camera cannot be read
// (what went out before stays).
void RestoreCamera(TOpenCamera& camera, const TRememberedCamera& remembered, TWriteLog& log,
                   const TMayWrite& mayWrite = {});

// The Video4Linux2 device behind the camera, nullptr for a camera of another provider.
std::shared_ptr<v4l2::V4l2Device> V4l2DeviceOf(TOpenCamera& camera);

// "'Lab Cam' (/dev/v4l/by-id/...): Brightness=10 Exposure=manual", or "...: nothing to change".
std::string RestoredText(const TOpenCamera& camera, const TRestoreLog& log);

void RememberCamera(TOpenCamera& camera, bool guarded, std::ostream& out, std::ostream& err);
// Forgets the remembered camera of that device path, attached or not; false when the argument
// is no remembered device path.
bool ForgetDevicePath(std::string_view devicePath, std::ostream& out);
// Throws ECliError SettingsFile when the camera has no remembered settings.
void ForgetCamera(const TOpenCamera& camera, std::ostream& out);
void ListRememberedCameras(const TFVideoCaptureDevices& devices, bool json, std::ostream& out);
// Every attached camera with remembered settings, or the one named; one line each on out.
void RestoreCameras(const TFVideoCaptureDevices& devices, const std::optional<std::string>& camera,
                    std::ostream& out, std::ostream& err);

}  // namespace korvane::cli
