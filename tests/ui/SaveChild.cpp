// Saves two different sets of settings into one file in turn until it is killed, and prints
// a line after every whole save. The settings-file test kills it in the middle of a save.
#include <cstdio>

#include "settings/CameraSettingsFile.h"

int main(int argc, char* argv[]) {
  if (argc != 3) return 2;
  TCameraSettings first, second;
  for (std::size_t i = 0; i < kSettingsPropertyCount; ++i) {
    first.Positions[i] = static_cast<double>(i);
    second.Positions[i] = 100.0 + static_cast<double>(i);
    second.Autos[i] = true;
  }
  second.PowerFrequency = 1;
  for (unsigned long saves = 0;; ++saves) {
    CameraSettingsFile::Write(argv[1], argv[2], saves % 2 == 0 ? second : first);
    std::printf("%lu\n", saves);
    std::fflush(stdout);
  }
}
