#pragma once

#include <string>

#include "cli/CommandLine.h"

namespace korvane::cli {

// The text `--help` prints: the overview for TCommand::None, else the command's own.
std::string HelpText(TCommand command);

}  // namespace korvane::cli
