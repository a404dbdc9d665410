#include "cli/SettingsTransfer.h"

#include <string>

#include "cli/CameraProperties.h"
#include "cli/ValueRule.h"

namespace korvane::cli {

namespace {

// Runs one write; a refusal goes to the log, and the caller goes on.
template <class Write>
void TryWrite(TOpenCamera& camera, std::string_view name, const std::string& text, Write&& write,
              TWriteLog& log) {
  try {
    camera.Call(name, std::forward<Write>(write));
    log.Written(name, text);
  } catch (const ECliError& error) {
    log.Refused(error);
  }
}

// The camera's section from one read of the file; a file that cannot be read, or has no such
// section, changes nothing.
TCameraSettings ReadSection(TOpenCamera& camera, const std::filesystem::path& file) {
  TSettingsFileSection found;
  try {
    found = CameraSettingsFile::Load(file, camera.Name());
  } catch (const ESettingsFileError& error) {
    throw ECliError(TExitCode::SettingsFile, camera.Message("", error.what()));
  }
  if (!found.FileExists) {
    throw ECliError(TExitCode::SettingsFile,
                    camera.Message("", "Unable to read " + file.string() + ": no such file"));
  }
  if (!found.SectionFound) {
    throw ECliError(TExitCode::SettingsFile,
                    camera.Message("", "the settings file " + file.string() + " has no section [" +
                                           camera.Name() + "]"));
  }
  return found.Settings;
}

}  // namespace

void TStreamWriteLog::Written(std::string_view name, const std::string& value) {
  FOut << name << '=' << value << '\n' << std::flush;
}

void TStreamWriteLog::Refused(const ECliError& error) {
  FErr << ErrorLine(error.what()) << std::flush;
  ++FFailures;
}

void TStreamWriteLog::EndWithFailures() const {
  if (FFailures > 0) throw ECliError(TExitCode::DeviceError, "");
}

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
  const TCameraSettings settings = ReadSection(camera, file);
  TStreamWriteLog log(out, err);
  ApplySettings(camera, settings, log);
  log.EndWithFailures();
}

void ApplySettings(TOpenCamera& camera, const TCameraSettings& settings, TWriteLog& log) {
  // Auto states first, so that each value lands on a control already in its saved mode.
  for (std::size_t i = 0; i < kCameraProperties.size(); ++i) {
    const TCameraProperty& property = kCameraProperties[i];
    const bool differs = camera.Call(property.Name, [&](TFCamera& c) {
      return (c.*property.GetSupported)() && (c.*property.GetAuto)() != settings.Autos[i];
    });
    if (!differs) continue;
    TryWrite(
        camera, property.Name, settings.Autos[i] ? "auto" : "manual",
        [&](TFCamera& c) { (c.*property.SetAuto)(settings.Autos[i]); }, log);
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
        [&](TFCamera& c) { (c.*property.SetValue)(*write); }, log);
  }
  // Any other index selects nothing in the window's list, which writes no frequency; a camera
  // already at the frequency is left alone, as a value already in place is.
  const bool is50 = settings.PowerFrequency == kPowerFrequency50Hz;
  const bool wanted = (is50 || settings.PowerFrequency == kPowerFrequency60Hz) &&
                      camera.Call(kPowerFrequencyKey,
                                  [](TFCamera& c) { return c.GetPowerLineFrequencySupported(); });
  bool differs = wanted;
  try {
    if (wanted) {
      differs = camera.Call(kPowerFrequencyKey, [&](TFCamera& c) {
        return c.GetPowerLineFrequency() != (is50 ? pf50Hz : pf60Hz);
      });
    }
  } catch (const ECliError&) {
    // A frequency that cannot be read back may still be written.
  }
  if (differs) {
    TryWrite(
        camera, kPowerFrequencyKey, is50 ? "50" : "60",
        [&](TFCamera& c) { c.SetPowerLineFrequency(is50 ? pf50Hz : pf60Hz); }, log);
  }
}

void ResetToDefaults(TOpenCamera& camera, std::ostream& out, std::ostream& err) {
  TStreamWriteLog log(out, err);
  bool anySupported = false;
  for (const TCameraProperty& property : kCameraProperties) {
    std::optional<LONG> defaultValue;
    try {
      camera.Call(property.Name, [&](TFCamera& c) {
        if ((c.*property.GetSupported)()) defaultValue = (c.*property.GetRange)().Default;
      });
    } catch (const ECliError& error) {
      // One property that cannot be read keeps none of the others from their defaults.
      log.Refused(error);
      continue;
    }
    if (!defaultValue) continue;
    anySupported = true;
    TryWrite(
        camera, property.Name, std::to_string(*defaultValue),
        [&](TFCamera& c) { (c.*property.SetValue)(*defaultValue); }, log);
  }
  if (!anySupported && log.Failures() == 0) {
    throw ECliError(TExitCode::Unsupported,
                    camera.Message("", "does not support setting default values"));
  }
  log.EndWithFailures();
}

}  // namespace korvane::cli
