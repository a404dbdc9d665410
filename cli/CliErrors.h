#pragma once
// How korvane-cam ends: its exit codes (listed in its manual page) and the error that carries
// one, with the one line that goes to standard error.

#include <stdexcept>
#include <string>

#include "cli/PrintableText.h"

namespace korvane::cli {

enum class TExitCode : int {
  Success = 0,
  SettingsFile = 1,    // a settings file could not be read or written
  Usage = 2,           // the command line is wrong
  CameraNotFound = 3,  // no such camera, or a name that two cameras share
  Unsupported = 4,     // the camera does not support a property or mode that was asked for
  DeviceError = 5,     // the camera (or the camera file) failed
  Unavailable = 6,     // this system cannot do it (no camera watch, no systemd user manager)
  OutputError = 7,     // standard output or standard error could not be written
  ProgramNotRun = 126,    // emulate: the program was found but could not be run
  ProgramNotFound = 127,  // emulate: no such program
};

// An error with an empty message has already been reported line by line.
class ECliError : public std::runtime_error {
 public:
  ECliError(TExitCode code, const std::string& message)
      : std::runtime_error(message), FCode(code) {}
  TExitCode Code() const { return FCode; }

 private:
  TExitCode FCode;
};

// The one line of an error on standard error: "korvane-cam: <message>", control characters (of
// a camera's name) escaped.
inline std::string ErrorLine(const std::string& message) {
  return "korvane-cam: " + PrintableText(message) + "\n";
}

}  // namespace korvane::cli
