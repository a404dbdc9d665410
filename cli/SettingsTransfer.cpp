#include "cli/SettingsTransfer.h"

#include <fstream>
#include <string>

#include "cli/CameraProperties.h"
#include "cli/ValueRule.h"

namespace korvane::cli {

namespace {

// Runs one write; a refusal is reported at once and counted, and the caller goes on.
template <class Write>
void TryWrite(TOpenCamera& camera, std::string_view name, const std::string& text, Write&& write,
              std::ostream& out, std::ostream& err, int& failures) {
  try {
    camera.Call(name, std::forward<Write>(write));
    out << name << '=' << text << '\n' << std::flush;
  } catch (const ECliError& error) {
    err << ErrorLine(error.what()) << std::flush;
    ++failures;
  }
}

void EndWithFailures(int failures) {
  if (failures > 0) throw ECliError(TExitCode::DeviceError, "");
}

void CheckReadable(TOpenCamera& camera, const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error) || !std::ifstream(file).good()) {
    throw ECliError(TExitCode::SettingsFile,
                    camera.Message("", "cannot read the settings file " + file.string()));
  }
  if (!CameraSettingsFile::HasSection(file, camera.Name())) {
    throw ECliError(TExitCode::SettingsFile,
                    camera.Message("", "the settings file " + file.string() + " has no section [" +
                                           camera.Name() + "]"));
  }
}

}  // namespace

TCameraSettings ReadCameraSettings(TOpenCamera& camera) {
  TCameraSettings settings;
  for (std::size_t i = 0; i < kCameraProperties.size(); ++i) {
    const TCameraProperty& property = kCameraProperties[i];
    camera.Call(property.Name, [&](TFCamera& c) {
      if (!(c.*property.GetSupported)()) return;
      const LONG value = (c.*property.GetValue)();
      settings.Positions[i] = RulePosition((c.*property.GetRange)(), value);
      settings.Autos[i] = (c.*property.GetAuto)();
    });
  }
  settings.PowerFrequency = camera.Call(kPowerFrequencyKey, [](TFCamera& c) {
    if (!c.GetPowerLineFrequencySupported()) return kPowerFrequencyNone;
    switch (c.GetPowerLineFrequency()) {
      case pf50Hz:
        return kPowerFrequency50Hz;
      case pf60Hz:
        return kPowerFrequency60Hz;
      default:
        return kPowerFrequencyNone;
    }
  });
  return settings;
}

void SaveSettings(TOpenCamera& camera, const std::filesystem::path& file) {
  const TCameraSettings settings = ReadCameraSettings(camera);
  try {
    CameraSettingsFile::Write(file, camera.Name(), settings);
  } catch (const ESettingsFileError& error) {
    throw ECliError(TExitCode::SettingsFile, camera.Message("", error.what()));
  }
}

void LoadSettings(TOpenCamera& camera, const std::filesystem::path& file, std::ostream& out,
                  std::ostream& err) {
  CheckReadable(camera, file);
  const TCameraSettings settings = CameraSettingsFile::Read(file, camera.Name());
  int failures = 0;
  // Auto states first, so that each value lands on a control already in its saved mode.
  for (std::size_t i = 0; i < kCameraProperties.size(); ++i) {
    const TCameraProperty& property = kCameraProperties[i];
    const bool differs = camera.Call(property.Name, [&](TFCamera& c) {
      return (c.*property.GetSupported)() && (c.*property.GetAuto)() != settings.Autos[i];
    });
    if (!differs) continue;
    TryWrite(
        camera, property.Name, settings.Autos[i] ? "auto" : "manual",
        [&](TFCamera& c) { (c.*property.SetAuto)(settings.Autos[i]); }, out, err, failures);
  }
  // A value is written only where it moves the position the window would show, as the
  // window's track bar reports a change only then.
  for (std::size_t i = 0; i < kCameraProperties.size(); ++i) {
    const TCameraProperty& property = kCameraProperties[i];
    const float wanted = static_cast<float>(settings.Positions[i]);
    std::optional<LONG> write;
    camera.Call(property.Name, [&](TFCamera& c) {
      if (!(c.*property.GetSupported)()) return;
      const TFRange range = (c.*property.GetRange)();
      const LONG current = (c.*property.GetValue)();
      if (RulePosition(range, wanted) != RulePosition(range, current)) {
        write = RuleValue(range, wanted);
      }
    });
    if (!write) continue;
    TryWrite(
        camera, property.Name, std::to_string(*write),
        [&](TFCamera& c) { (c.*property.SetValue)(*write); }, out, err, failures);
  }
  const bool frequencySupported = camera.Call(
      kPowerFrequencyKey, [](TFCamera& c) { return c.GetPowerLineFrequencySupported(); });
  // Any other index selects nothing in the window's list, which writes no frequency.
  if (frequencySupported && (settings.PowerFrequency == kPowerFrequency50Hz ||
                             settings.PowerFrequency == kPowerFrequency60Hz)) {
    const bool is50 = settings.PowerFrequency == kPowerFrequency50Hz;
    TryWrite(
        camera, kPowerFrequencyKey, is50 ? "50" : "60",
        [&](TFCamera& c) { c.SetPowerLineFrequency(is50 ? pf50Hz : pf60Hz); }, out, err, failures);
  }
  EndWithFailures(failures);
}

void ResetToDefaults(TOpenCamera& camera, std::ostream& out, std::ostream& err) {
  int failures = 0;
  bool anySupported = false;
  for (const TCameraProperty& property : kCameraProperties) {
    std::optional<LONG> defaultValue;
    try {
      camera.Call(property.Name, [&](TFCamera& c) {
        if ((c.*property.GetSupported)()) defaultValue = (c.*property.GetRange)().Default;
      });
    } catch (const ECliError& error) {
      // One property that cannot be read keeps none of the others from their defaults.
      err << ErrorLine(error.what()) << std::flush;
      ++failures;
      continue;
    }
    if (!defaultValue) continue;
    anySupported = true;
    TryWrite(
        camera, property.Name, std::to_string(*defaultValue),
        [&](TFCamera& c) { (c.*property.SetValue)(*defaultValue); }, out, err, failures);
  }
  if (!anySupported && failures == 0) {
    throw ECliError(TExitCode::Unsupported,
                    camera.Message("", "does not support setting default values"));
  }
  EndWithFailures(failures);
}

}  // namespace korvane::cli
