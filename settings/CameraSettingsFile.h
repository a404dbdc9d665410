#pragma once

#include <array>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "settings/SettingsKeys.h"

// What a settings file holds for one camera: the seventeen track bar positions, the seventeen
// "Auto" states and the power-frequency list's index, in the order of kSettingsPropertyKeys.
struct TCameraSettings {
  std::array<double, kSettingsPropertyCount> Positions{};
  std::array<bool, kSettingsPropertyCount> Autos{};
  int PowerFrequency = 0;  // kPowerFrequency50Hz, kPowerFrequency60Hz or kPowerFrequencyNone
};

// A write the system refused; the message names the full file name.
class ESettingsFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One key of a settings file beyond a camera's own, such as a note of where it came from.
struct TSettingsFileKey {
  std::string Section;
  std::string Key;
  std::string Value;
};

namespace CameraSettingsFile {

// Writes the 35 keys in their order into the section, each straight to the file; the rest of
// the file stays as it was. Throws ESettingsFileError "Unable to write to <file>" at the first
// write the system refuses; the keys written before it stay.
void Write(const std::filesystem::path& file, const std::string& section,
           const TCameraSettings& settings);

// The whole text of a new file holding only the camera's section, byte for byte as Write leaves
// a new file, followed by the further keys. For a file that must change in one step. Throws
// ESettingsFileError when a name or value cannot be stored.
std::string Text(const std::string& section, const TCameraSettings& settings,
                 const std::vector<TSettingsFileKey>& further);

// A missing file, section or key, or a malformed value, reads as the defaults: 0, not
// automatic, index 0.
TCameraSettings Read(const std::filesystem::path& file, const std::string& section);

// Whether the file has a section of that name (compared without regard to case).
bool HasSection(const std::filesystem::path& file, const std::string& section);

}  // namespace CameraSettingsFile
