#include "settings/CameraSettingsFile.h"

#include <variant>

#include "platform/os/ProfileDocument.h"
#include "platform/os/ProfileFile.h"
#include "settings/PartialSettingsFile.h"
#include "settings/PositionText.h"

namespace CameraSettingsFile {

namespace {

void WriteKey(korvane::os::ProfileFile& file, const std::string& section, std::string_view key,
              const std::string& value) {
  if (!file.WriteString(section, key, value)) {
    throw ESettingsFileError("Unable to write to " + file.Path().string());
  }
}

// The 35 keys with their text, in the order they are written, less those of unread properties.
template <class Visit>
void ForEachKey(const TCameraSettings& settings, Visit&& visit,
                const TUnreadProperties& unread = {}) {
  for (std::size_t i = 0; i < kSettingsPropertyCount; ++i) {
    if (!unread[i]) visit(kSettingsPropertyKeys[i], PositionText::General(settings.Positions[i]));
  }
  for (std::size_t i = 0; i < kSettingsPropertyCount; ++i) {
    if (!unread[i]) visit(AutoKey(kSettingsPropertyKeys[i]), settings.Autos[i] ? "1" : "0");
  }
  visit(kPowerFrequencyKey, std::to_string(settings.PowerFrequency));
}

}  // namespace

void Write(const std::filesystem::path& file, const std::string& section,
           const TCameraSettings& settings) {
  WriteReadProperties(file, section, settings, {});
}

void WriteReadProperties(const std::filesystem::path& file, const std::string& section,
                         const TCameraSettings& settings, const TUnreadProperties& unread) {
  korvane::os::ProfileFile profile(file);
  ForEachKey(
      settings,
      [&](std::string_view key, const std::string& value) {
        WriteKey(profile, section, key, value);
      },
      unread);
}

std::string Text(const std::string& section, const TCameraSettings& settings,
                 const std::vector<TSettingsFileKey>& further) {
  namespace profile = korvane::os::profile;
  std::string text;
  const auto set = [&](std::string_view inSection, std::string_view key, std::string_view value) {
    auto edited = profile::SetValue(profile::ParseProfile(text), inSection, key, value);
    if (const auto* error = std::get_if<profile::EditError>(&edited)) {
      throw ESettingsFileError(error->reason);
    }
    text = std::move(std::get<std::string>(edited));
  };
  ForEachKey(settings,
             [&](std::string_view key, const std::string& value) { set(section, key, value); });
  for (const TSettingsFileKey& key : further) set(key.Section, key.Key, key.Value);
  return text;
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
