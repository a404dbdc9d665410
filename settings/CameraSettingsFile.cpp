#include "settings/CameraSettingsFile.h"

#include "platform/os/ProfileFile.h"
#include "settings/PositionText.h"

namespace CameraSettingsFile {

namespace {

void WriteKey(korvane::os::ProfileFile& file, const std::string& section, std::string_view key,
              const std::string& value) {
  if (!file.WriteString(section, key, value)) {
    throw ESettingsFileError("Unable to write to " + file.Path().string());
  }
}

}  // namespace

void Write(const std::filesystem::path& file, const std::string& section,
           const TCameraSettings& settings) {
  korvane::os::ProfileFile profile(file);
  for (std::size_t i = 0; i < kSettingsPropertyCount; ++i) {
    WriteKey(profile, section, kSettingsPropertyKeys[i],
             PositionText::General(settings.Positions[i]));
  }
  for (std::size_t i = 0; i < kSettingsPropertyCount; ++i) {
    WriteKey(profile, section, AutoKey(kSettingsPropertyKeys[i]), settings.Autos[i] ? "1" : "0");
  }
  WriteKey(profile, section, kPowerFrequencyKey, std::to_string(settings.PowerFrequency));
}

TCameraSettings Read(const std::filesystem::path& file, const std::string& section) {
  const korvane::os::ProfileFile profile(file);
  TCameraSettings settings;
  for (std::size_t i = 0; i < kSettingsPropertyCount; ++i) {
    const std::string_view key = kSettingsPropertyKeys[i];
    settings.Positions[i] = PositionText::Parse(profile.ReadString(section, key, ""));
    settings.Autos[i] = profile.ReadInteger(section, AutoKey(key), 0) != 0;
  }
  settings.PowerFrequency = profile.ReadInteger(section, kPowerFrequencyKey, 0);
  return settings;
}

bool HasSection(const std::filesystem::path& file, const std::string& section) {
  return korvane::os::ProfileFile(file).SectionExists(section);
}

}  // namespace CameraSettingsFile
