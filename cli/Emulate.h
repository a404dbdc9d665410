#pragma once
// `korvane-cam emulate FILE -- PROGRAM [ARGS...]`: runs a program of any kind on the emulated
// cameras of a camera file, through the preload library that puts them behind its C library.

#include <ostream>
#include <string>
#include <vector>

namespace korvane::cli {

// Replaces this process with the program; returns only by throwing ECliError (a camera file
// the emulation cannot use, no preload library, a program that cannot be run).
[[noreturn]] void RunEmulated(const std::string& file, const std::vector<std::string>& program,
                              std::ostream& out);

}  // namespace korvane::cli
