#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::os {

// Executable file names (no folder) of the running processes of the current user.
std::vector<std::string> RunningExecutableNames();

// This program's own executable file name (no folder).
std::string OwnExecutableName();

// How many processes of the current user run an executable with exactly this file
// name; the calling process counts itself when the name is its own.
std::size_t CountProcessesNamed(std::string_view exeName);

}  // namespace korvane::os
