#include "cli/Autostart.h"

#include <array>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CliErrors.h"
#include "platform/os/ChildProcess.h"

namespace korvane::cli {
namespace {

// What systemctl said, on one line.
std::string OneLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  return text.empty() ? "no message" : text;
}

[[noreturn]] void Unavailable(const std::string& message) {
  throw ECliError(TExitCode::Unavailable, "autostart: " + message);
}

// systemctl waits for the user manager, which may hang (a session bus that does not answer); a
// command-line tool must end.
constexpr std::chrono::seconds kSystemctlPatience{30};

os::ProgramRun Systemctl(const std::vector<std::string>& arguments) {
  std::vector<std::string> command{"systemctl", "--user"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  os::ProgramRun run = os::RunProgram(command, kSystemctlPatience);
  if (!run.Started) {
    Unavailable("needs systemd's user manager, and systemctl cannot be run (" + run.NotStarted +
                ")");
  }
  if (run.TimedOut) {
    std::string typed = "systemctl";
    for (const std::string& argument : command) {
      if (argument != "systemctl") typed += " " + argument;
    }
    Unavailable(typed + " did not answer within " + std::to_string(kSystemctlPatience.count()) +
                " seconds");
  }
  return run;
}

// A container, an SSH login without lingering or a system without systemd has no user
// manager: enabling there would leave a link that nothing starts.
void CheckUserManager() {
  const os::ProgramRun state = Systemctl({"is-system-running"});
  constexpr std::array<std::string_view, 5> kRunning = {"initializing", "starting", "running",
                                                        "degraded", "maintenance"};
  const std::string said = OneLine(state.Output);
  for (const std::string_view running : kRunning) {
    if (said == running) return;
  }
  Unavailable("systemd's user manager is not running for this session (systemctl --user: " + said +
              ")");
}

}  // namespace

void SetAutostart(bool on, std::ostream& out) {
  CheckUserManager();
  const os::ProgramRun run = Systemctl({on ? "enable" : "disable", "--now", kAutostartUnit});
  if (run.ExitCode != 0) {
    // Enabled but not started: take the link away again.
    if (on) Systemctl({"disable", kAutostartUnit});
    Unavailable(std::string("systemctl --user ") + (on ? "enable" : "disable") + " --now " +
                kAutostartUnit + " failed: " + OneLine(run.Output));
  }
  out << (on ? "Autostart is on: " : "Autostart is off: ") << kAutostartUnit
      << (on ? " is enabled and running; it restores remembered settings at every login\n"
             : " is stopped and disabled\n");
}

}  // namespace korvane::cli
