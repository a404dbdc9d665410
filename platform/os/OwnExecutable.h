#pragma once

#include <string>

namespace korvane::os {

// This program's own executable file name (no folder).
std::string OwnExecutableName();

}  // namespace korvane::os
