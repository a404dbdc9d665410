#pragma once
// Another program run to its end, as a command-line tool runs a helper of the system's.

#include <chrono>
#include <string>
#include <vector>

namespace korvane::os {

struct ProgramRun {
  bool Started = false;
  std::string NotStarted;  // why it could not be started, when it was not
  int ExitCode = -1;       // 128 + the signal for a program a signal ended
  bool TimedOut = false;   // it ran past the time limit and was killed
  std::string Output;      // its standard output and error together, at most 64 KiB
};

// Runs arguments[0], looked up on PATH, with the rest as its arguments; standard input is
// /dev/null, and no signal is blocked in it whatever the caller blocks. A program still running
// after the time limit is killed, so that a helper that hangs cannot hang its caller.
ProgramRun RunProgram(const std::vector<std::string>& arguments,
                      std::chrono::milliseconds limit = std::chrono::minutes(1));

}  // namespace korvane::os
