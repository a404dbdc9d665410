#pragma once
// Whether a command's output reached its destination: a full disk, a closed pipe or /dev/full
// must not pass for success, as a script would take a cut-off report for the whole.

#include <ostream>

namespace korvane::cli {

// Flushes both streams. When standard output or standard error failed, says so in one line on
// standard error (if that still works) and gives TExitCode::OutputError, unless the command
// already failed, whose code stays; otherwise gives exitCode.
int CheckedExit(int exitCode, std::ostream& out, std::ostream& err);

}  // namespace korvane::cli
