#include "settings/CameraSettingsFile.h"

#include <variant>

#include "platform/os/ProfileDocument.h"
#include "platform/os/ProfileFile.h"
#include "platform/os/ProfileSnapshot.h"
#include "settings/PartialSettingsFile.h"
#include "settings/PositionText.h"

namespace CameraSettingsFile {

namespace {

// The 35 keys with their text, in the order they are written, less those of unread properties.
std::vector<korvane::os::profile::KeyValue> Keys(const TCameraSettings& settings,
                                                 const TUnreadProperties& unread = {}) {
  std::vector<korvane::os::profile::KeyValue> keys;
  keys.reserve(2 * kSettingsPropertyCount + 1);
  for (std::size_t i = 0; i < kSettingsPropertyCount; ++i) {
    if (unread[i]) continue;
    keys.push_back(
        {std::string(kSettingsPropertyKeys[i]), PositionText::General(settings.Positions[i])});
  }
  for (std::size_t i = 0; i < kSettingsPropertyCount; ++i) {
    if (unread[i]) continue;
    keys.push_back({AutoKey(kSettingsPropertyKeys[i]), settings.Autos[i] ? "1" : "0"});
  }
  keys.push_back({std::string(kPowerFrequencyKey), std::to_string(settings.PowerFrequency)});
  return keys;
}

}  // namespace

void Write(const std::filesystem::path& file, const std::string& section,
           const TCameraSettings& settings) {
  WriteReadProperties(file, section, settings, {});
}

void WriteReadProperties(const std::filesystem::path& file, const std::string& section,
                         const TCameraSettings& settings, const TUnreadProperties& unread) {
  korvane::os::ProfileFile profile(file);
  if (!profile.WriteKeys(section, Keys(settings, unread))) {
    throw ESettingsFileError("Unable to write to " + file.string() + ": " + profile.ErrorCause());
  }
}

std::string Text(const std::string& section, const TCameraSettings& settings,
                 const std::vector<TSettingsFileKey>& further) {
  namespace profile = korvane::os::profile;
  std::string text;
  const auto set = [&](std::string_view inSection, const std::vector<profile::KeyValue>& keys) {
    auto edited = profile::SetValues(profile::ParseProfile(text), inSection, keys);
    if (const auto* error = std::get_if<profile::EditError>(&edited)) {
      throw ESettingsFileError(error->reason);
    }
    text = std::move(std::get<std::string>(edited));
  };
  set(section, Keys(settings));
  for (const TSettingsFileKey& key : further) set(key.Section, {{key.Key, key.Value}});
  return text;
}

TSettingsFileSection Section(const korvane::os::ProfileSnapshot& snapshot,
                             const std::string& section) {
  TSettingsFileSection found;
  found.FileExists = snapshot.FileExists();
  found.SectionFound = snapshot.SectionExists(section);
  TCameraSettings& settings = found.Settings;
  for (std::size_t i = 0; i < kSettingsPropertyCount; ++i) {
    const std::string_view key = kSettingsPropertyKeys[i];
    settings.Positions[i] = PositionText::Parse(snapshot.ReadString(section, key, ""));
    settings.Autos[i] = snapshot.ReadInteger(section, AutoKey(key), 0) != 0;
  }
  settings.PowerFrequency = snapshot.ReadInteger(section, kPowerFrequencyKey, 0);
  return found;
}

TSettingsFileSection Load(const std::filesystem::path& file, const std::string& section) {
  auto read = korvane::os::ReadProfileSnapshot(file);
  if (const auto* error = std::get_if<korvane::os::ProfileReadError>(&read)) {
    throw ESettingsFileError("Unable to read " + file.string() + ": " + error->cause);
  }
  return Section(std::get<korvane::os::ProfileSnapshot>(read), section);
}

TCameraSettings Read(const std::filesystem::path& file, const std::string& section) {
  return Load(file, section).Settings;
}

}  // namespace CameraSettingsFile
