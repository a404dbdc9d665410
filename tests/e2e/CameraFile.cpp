// The end-to-end tests' hand on a simulated camera file:
//   e2e_camera_file write <file>                  writes the fixture cameras
//   e2e_camera_file value <file> <device> <index> prints a video-processing control's value
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "platform/sim/SimCameras.h"

namespace {

korvane::sim::SimDescription Fixture() {
  using namespace korvane::sim;
  SimDevice adjustable;
  adjustable.friendlyName = "E2E Camera";
  adjustable.devicePath = "sim://e2e/1";
  adjustable.formats = {SimFormat{}};
  SimControl brightness;
  brightness.min = 0;
  brightness.max = 255;
  brightness.step = 1;
  brightness.value = 100;
  brightness.caps = 2;  // manual only: the row's "Auto" box stays out of the tab order
  brightness.flags = 2;
  adjustable.videoProcAmp[0] = brightness;
  SimDevice plain;
  plain.friendlyName = "E2E Spare";
  plain.devicePath = "sim://e2e/2";
  plain.formats = {SimFormat{}};
  SimDescription description;
  description.devices = {adjustable, plain};
  return description;
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::string command = argc > 2 ? argv[1] : "";
  if (command == "write") {
    std::ofstream(argv[2]) << korvane::sim::ToJson(Fixture());
    return 0;
  }
  if (command == "value" && argc == 5) {
    korvane::sim::ScopedSimCameras cameras{std::filesystem::path(argv[2])};
    const auto description = cameras.Store().Read();
    const auto device = static_cast<std::size_t>(std::atoi(argv[3]));
    const LONG index = std::atoi(argv[4]);
    std::cout << description.devices.at(device).videoProcAmp.at(index).value << '\n';
    return 0;
  }
  std::cerr << "usage: e2e_camera_file write <file> | value <file> <device> <index>\n";
  return 2;
}
