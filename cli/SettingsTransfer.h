#pragma once
// `save`, `load` and `defaults`: the window's settings files and factory reset, with the camera
// component in place of the window's rows.

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CameraSelection.h"
#include "settings/CameraSettingsFile.h"
#include "settings/PartialSettingsFile.h"

namespace korvane::cli {

// Where writes to a camera are told as they go out, and refusals as they happen.
class TWriteLog {
 public:
  virtual ~TWriteLog() = default;
  virtual void Written(std::string_view name, const std::string& value) = 0;
  virtual void Refused(const ECliError& error) = 0;
};

// NAME=VALUE lines on out and error lines on err, each flushed at once; counts the refusals.
class TStreamWriteLog final : public TWriteLog {
 public:
  TStreamWriteLog(std::ostream& out, std::ostream& err) : FOut(out), FErr(err) {}
  void Written(std::string_view name, const std::string& value) override;
  void Refused(const ECliError& error) override;
  int Failures() const { return FFailures; }
  // Throws an ECliError DeviceError without a message (each refusal has been told) when any
  // write was refused.
  void EndWithFailures() const;

 private:
  std::ostream& FOut;
  std::ostream& FErr;
  int FFailures = 0;
};

// What the window's rows would show for the camera, as a settings file holds it: a supported
// property at its value under the value rule and its Auto state; an unsupported one at 0, not
// automatic; the frequency's list index, or none when the camera has neither 50 nor 60 Hz.
// A property whose control fails is marked in *unread with its error message (without unread,
// it throws as a camera that is gone always does: ECliError DeviceError).
struct TUnreadSettings {
  TUnreadProperties Properties{};
  std::vector<std::string> Messages;
};
TCameraSettings ReadCameraSettings(TOpenCamera& camera, TUnreadSettings* unread = nullptr);

// Writes the camera's section into the file, keeping everything else in it, with every key the
// camera could be read for; the ones left out are told on err and end it with ECliError
// DeviceError. Nothing is written when the camera is gone. Throws ECliError DeviceError or
// SettingsFile.
void SaveSettings(TOpenCamera& camera, const std::filesystem::path& file, std::ostream& err);

// One error line per property left out, then ECliError DeviceError when there was any.
void ReportUnread(const TUnreadSettings& unread, std::ostream& err);

// Asked before each write that a property needs, with the property's name: false leaves it as
// the camera has it.
using TMayWrite = std::function<bool(std::string_view name)>;

// Applies settings the way the window's load does: the Auto states of the supported
// properties, then their values (written only where the value rule moves the position), then
// the power frequency. A refused write goes to the log and the others still go out; a failed
// read ends it with ECliError DeviceError.
void ApplySettings(TOpenCamera& camera, const TCameraSettings& settings, TWriteLog& log,
                   const TMayWrite& mayWrite = {});

// Applies the camera's section of the file (ApplySettings), printing NAME=VALUE for each write.
// Throws ECliError SettingsFile (no such file or no section for the camera: nothing written) or
// DeviceError.
void LoadSettings(TOpenCamera& camera, const std::filesystem::path& file, std::ostream& out,
                  std::ostream& err);

// Sets every supported property to the driver's default value; the Auto states and the power
// frequency stay. Prints NAME=VALUE for each write, and "NAME: ..., left as it is" for a
// property that is automatic or whose default lies outside its range; a property that fails is
// reported and the others are still reset. Throws ECliError Unsupported when nothing can be set,
// DeviceError when any property failed.
void ResetToDefaults(TOpenCamera& camera, std::ostream& out, std::ostream& err);

}  // namespace korvane::cli
