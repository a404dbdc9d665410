#include "cli/Commands.h"

#include "cli/Assignments.h"
#include "cli/Autostart.h"
#include "cli/CameraReport.h"
#include "cli/CliErrors.h"
#include "cli/CommandLine.h"
#include "cli/Emulate.h"
#include "cli/HelpTexts.h"
#include "cli/OutputCheck.h"
#include "cli/RememberCommands.h"
#include "cli/RestoreWatch.h"
#include "cli/SettingsTransfer.h"
#include "platform/providers/CameraProviders.h"
#include "platform/v4l2/UserChanges.h"

#ifndef KORVANE_VERSION
#define KORVANE_VERSION "unknown"
#endif

namespace korvane::cli {

namespace {

// Camera names come from drivers: a name that is not UTF-8 is printed with replacement
// characters rather than stopping the output.
std::string JsonText(const nlohmann::ordered_json& json) {
  return json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

// A control that failed has been marked in the report; its error line follows the report, and
// the command ends as a camera error.
void EndWithFailures(const std::vector<TCameraReport>& reports, std::ostream& err) {
  bool failed = false;
  for (const TCameraReport& report : reports) {
    for (const std::string& failure : report.Failures) {
      err << ErrorLine(failure);
      failed = true;
    }
  }
  if (failed) throw ECliError(TExitCode::DeviceError, "");
}

void Show(const TCommandLine& line, const TFVideoCaptureDevices& devices, std::ostream& out,
          std::ostream& err) {
  // The whole output is gathered first, so that an error never leaves half a report.
  std::vector<TCameraReport> reports;
  if (line.Camera) {
    TOpenCamera camera(devices, SelectCamera(devices, *line.Camera));
    reports.push_back(ReadCameraReport(camera));
  } else {
    for (std::size_t i = 0; i < devices.size(); ++i) {
      TOpenCamera camera(devices, i);
      reports.push_back(ReadCameraReport(camera));
    }
  }
  if (line.Json) {
    nlohmann::ordered_json json = nlohmann::ordered_json::array();
    for (const TCameraReport& report : reports) json.push_back(CameraReportJson(report));
    out << JsonText(line.Camera ? json.front() : json);
    out.flush();
    EndWithFailures(reports, err);
    return;
  }
  if (reports.empty()) {
    out << CameraListText(devices);
    return;
  }
  std::string text;
  for (const TCameraReport& report : reports) {
    text += (text.empty() ? "" : "\n") + CameraReportText(report);
  }
  out << text;
  out.flush();
  EndWithFailures(reports, err);
}

void Run(const TCommandLine& line, std::ostream& out, std::ostream& err) {
  // Checked before any camera is touched: a mistyped assignment changes nothing.
  std::vector<TAssignment> assignments;
  for (const std::string& text : line.Assignments) assignments.push_back(ParseAssignment(text));

  if (line.Command == TCommand::Autostart) {
    SetAutostart(*line.AutostartOn, out);
    return;
  }
  if (line.Command == TCommand::Emulate) RunEmulated(line.File, line.Program, out);
  // A camera that is not attached is forgotten by its device path.
  if (line.Command == TCommand::Forget && ForgetDevicePath(*line.Camera, out)) return;

  // An unusable camera file has been reported in one line by the provider.
  if (!providers::InstallCameraProviders()) throw ECliError(TExitCode::DeviceError, "");
  if (line.Command == TCommand::Restore && line.Watch) {
    WatchAndRestore(err);
    return;
  }
  const TFVideoCaptureDevices devices = TFCamera().GetDevices();

  switch (line.Command) {
    case TCommand::List:
      out << (line.Json ? JsonText(CameraListJson(devices)) : CameraListText(devices));
      return;
    case TCommand::Show:
      Show(line, devices, out, err);
      return;
    case TCommand::Remembered:
      ListRememberedCameras(devices, line.Json, out);
      return;
    case TCommand::Restore:
      // Remembered settings put back are not a change the user makes while a camera is guarded.
      v4l2::SetUserChangesNoted(false);
      RestoreCameras(devices, line.Camera, out, err);
      return;
    case TCommand::None:
      return;
    default:
      break;
  }
  TOpenCamera camera(devices, SelectCamera(devices, *line.Camera));
  switch (line.Command) {
    case TCommand::Set:
      ApplyAssignments(camera, assignments, out);
      break;
    case TCommand::Save:
      SaveSettings(camera, line.File, err);
      break;
    case TCommand::Load:
      LoadSettings(camera, line.File, out, err);
      break;
    case TCommand::Defaults:
      ResetToDefaults(camera, out, err);
      break;
    case TCommand::Remember:
      RememberCamera(camera, !line.NoGuard, out, err);
      break;
    case TCommand::Forget:
      ForgetCamera(camera, out);
      break;
    default:
      break;
  }
}

int RunCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  try {
    const TCommandLine line = ParseCommandLine(arguments);
    if (line.Help) {
      out << HelpText(line.Command);
    } else if (line.Version) {
      out << "korvane-cam " KORVANE_VERSION "\n";
    } else {
      Run(line, out, err);
    }
    out.flush();
    return static_cast<int>(TExitCode::Success);
  } catch (const ECliError& error) {
    out.flush();
    if (*error.what()) err << ErrorLine(error.what());
    return static_cast<int>(error.Code());
  } catch (const std::exception& error) {
    // Not the camera's: out of memory, a broken output stream, ...
    out.flush();
    err << ErrorLine(error.what());
    return static_cast<int>(TExitCode::DeviceError);
  }
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out,
                   std::ostream& err) {
  return CheckedExit(RunCommand(arguments, out, err), out, err);
}

}  // namespace korvane::cli
