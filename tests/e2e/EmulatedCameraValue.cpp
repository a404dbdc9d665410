// The end-to-end tests' look into an emulated camera file: prints one control's value as the
// emulated device holds it.
//   e2e_emulated_value <file> <camera id> <control id>
#include <cstdlib>
#include <iostream>
#include <string>

#include "platform/v4l2/emulation/EmulatedKernel.h"

int main(int argc, char* argv[]) {
  if (argc != 4) {
    std::cerr << "usage: e2e_emulated_value <file> <camera id> <control id>\n";
    return 2;
  }
  std::string error;
  const auto kernel = korvane::v4l2::emulation::EmulatedKernel::FromFile(argv[1], &error);
  if (!kernel) {
    std::cerr << error << '\n';
    return 1;
  }
  const auto value =
      kernel->ControlValue(argv[2], static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 0)));
  if (!value) return 1;
  std::cout << *value << '\n';
  return 0;
}
