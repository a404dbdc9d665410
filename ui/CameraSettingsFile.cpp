#include "ui/CameraSettingsFile.h"

#include <QLocale>
#include <cmath>

#include "platform/os/ProfileFile.h"
#include "ui/ValueText.h"

namespace CameraSettingsFile {

namespace {

void WriteKey(korvane::os::ProfileFile& file, const std::string& section, const std::string& key,
              const std::string& value) {
  if (!file.WriteString(section, key, value)) {
    throw ESettingsFileError("Unable to write to " + file.Path().string());
  }
}

}  // namespace

std::string AutoKey(const TPropertyRow& row) {
  return std::string("CheckBox") + row.SettingsKey;
}

QString PositionText(double position) {
  return ValueText::General(position);
}

double ParsePosition(const QString& text) {
  QLocale locale;
  locale.setNumberOptions(QLocale::RejectGroupSeparator);
  bool ok = false;
  const double value = locale.toDouble(text.trimmed(), &ok);
  if (!ok || !std::isfinite(value) || !std::isfinite(static_cast<float>(value))) return 0;
  return value;
}

void Write(const std::filesystem::path& file, const std::string& section,
           const TCameraSettings& settings) {
  korvane::os::ProfileFile profile(file);
  for (std::size_t i = 0; i < kPropertyCount; ++i) {
    WriteKey(profile, section, kPropertyRows[i].SettingsKey,
             PositionText(settings.Positions[i]).toStdString());
  }
  for (std::size_t i = 0; i < kPropertyCount; ++i) {
    WriteKey(profile, section, AutoKey(kPropertyRows[i]), settings.Autos[i] ? "1" : "0");
  }
  WriteKey(profile, section, kPowerFrequencyKey, std::to_string(settings.PowerFrequency));
}

TCameraSettings Read(const std::filesystem::path& file, const std::string& section) {
  const korvane::os::ProfileFile profile(file);
  TCameraSettings settings;
  for (std::size_t i = 0; i < kPropertyCount; ++i) {
    const TPropertyRow& row = kPropertyRows[i];
    settings.Positions[i] =
        ParsePosition(QString::fromStdString(profile.ReadString(section, row.SettingsKey, "")));
    settings.Autos[i] = profile.ReadInteger(section, AutoKey(row), 0) != 0;
  }
  settings.PowerFrequency = profile.ReadInteger(section, kPowerFrequencyKey, 0);
  return settings;
}

}  // namespace CameraSettingsFile
