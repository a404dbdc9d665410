// korvane-cam: the command-line tool beside the window.
#include <iostream>
#include <string>
#include <vector>

#include "cli/Commands.h"

int main(int argc, char* argv[]) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return korvane::cli::RunCommandLine(arguments, std::cout, std::cerr);
}
