#pragma once
// The command line of korvane-cam, taken apart before any camera is touched.

#include <optional>
#include <string>
#include <vector>

namespace korvane::cli {

enum class TCommand {
  None,
  List,
  Show,
  Set,
  Save,
  Load,
  Defaults,
  Remember,
  Forget,
  Remembered,
  Restore,
  Autostart,
  Emulate
};

struct TCommandLine {
  TCommand Command = TCommand::None;
  bool Help = false;     // --help (or `help [COMMAND]`): print the help of Command and stop
  bool Version = false;  // --version
  bool Json = false;     // --json, for list, show and remembered
  bool Watch = false;    // --watch, for restore
  bool NoGuard = false;  // --no-guard, for remember
  std::optional<std::string> Camera;
  std::string File;                      // save, load
  std::vector<std::string> Assignments;  // set
  std::optional<bool> AutostartOn;       // autostart on|off
  std::vector<std::string> Program;      // emulate: the program and its arguments
};

// Throws ECliError Usage for an unknown command or option, or a wrong number of arguments.
// "--" ends the options, for a camera name that begins with "-".
TCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The command's name as typed ("set"), empty for None.
const char* CommandName(TCommand command);

}  // namespace korvane::cli
