#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace korvane::cli {

// Runs korvane-cam with its arguments (the program name left out): installs the cameras the
// environment chooses, runs the command, writes its output to out and each error as one line
// to err. Returns the exit code.
int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace korvane::cli
