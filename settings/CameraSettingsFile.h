#pragma once

#include <array>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "settings/SettingsKeys.h"

namespace korvane::os {
class ProfileSnapshot;
}

// What a settings file holds for one camera: the seventeen track bar positions, the seventeen
// "Auto" states and the power-frequency list's index, in the order of kSettingsPropertyKeys.
struct TCameraSettings {
  std::array<double, kSettingsPropertyCount> Positions{};
  std::array<bool, kSettingsPropertyCount> Autos{};
  int PowerFrequency = 0;  // kPowerFrequency50Hz, kPowerFrequency60Hz or kPowerFrequencyNone
};

// A settings file that cannot be written or read; the message names the full file name and why.
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

// A camera's section as one read of a settings file found it.
struct TSettingsFileSection {
  bool FileExists = false;
  bool SectionFound = false;
  TCameraSettings Settings;  // the defaults where the section or a key is missing
};

namespace CameraSettingsFile {

// Writes the 35 keys in their order into the section, in one replacement of the whole file
// under the lock every save takes; the rest of the file stays as it was. Throws
// ESettingsFileError "Unable to write to <file>: <why>" when the system refuses, or when the
// file would grow beyond the size a settings file may have; the file is then as it was.
void Write(const std::filesystem::path& file, const std::string& section,
           const TCameraSettings& settings);

// The whole text of a new file holding only the camera's section, byte for byte as Write leaves
// a new file, followed by the further keys. For a file that must change in one step. Throws
// ESettingsFileError when a name or value cannot be stored.
std::string Text(const std::string& section, const TCameraSettings& settings,
                 const std::vector<TSettingsFileKey>& further);

// The camera's section from one read of the file, so that the check for the section and the
// values come from the same bytes. A missing file, section or key, or a malformed value, reads
// as the defaults: 0, not automatic, index 0. Throws ESettingsFileError "Unable to read <file>:
// <why>" for a file that exists but cannot be read: not a regular file, no permission, or larger
// than a settings file may be.
TSettingsFileSection Load(const std::filesystem::path& file, const std::string& section);

// The camera's section of a file already read.
TSettingsFileSection Section(const korvane::os::ProfileSnapshot& snapshot,
                             const std::string& section);

// Load(file, section).Settings, for a file known to be readable.
TCameraSettings Read(const std::filesystem::path& file, const std::string& section);

}  // namespace CameraSettingsFile
