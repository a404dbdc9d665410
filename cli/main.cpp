// korvane-cam: the command-line tool beside the window.
#include <ostream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/DescriptorOutput.h"

int main(int argc, char* argv[]) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  // Streams of our own on descriptors 1 and 2, so that a failed write is seen with its reason.
  korvane::cli::TDescriptorBuffer outBuffer(1);
  korvane::cli::TDescriptorBuffer errBuffer(2);
  std::ostream out(&outBuffer);
  std::ostream err(&errBuffer);
  // Error lines go out as they are made, in order with those that other layers write directly.
  err << std::unitbuf;
  return korvane::cli::RunCommandLine(arguments, out, err);
}
