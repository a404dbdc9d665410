#pragma once

#include <string_view>

namespace korvane::os {

// The debugger trace: the message unchanged, as one line on standard error.
void OutputDebugString(std::string_view message);

}  // namespace korvane::os
