#include "cli/SettingsTransfer.h"

#include <array>
#include <fstream>
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

TCameraSettings ReadCameraSettings(TOpenCamera& camera, TUnreadSettings* unread) {
  TCameraSettings settings;
  for (std::size_t i = 0; i < kCameraProperties.size(); ++i) {
    const TCameraProperty& property = kCameraProperties[i];
    const auto failed = camera.TryCall(property.Name, [&](TFCamera& c) {
      if (!(c.*property.GetSupported)()) return;
      const LONG value = (c.*property.GetValue)();
      settings.Positions[i] = RulePosition((c.*property.GetRange)(), value);
      settings.Autos[i] = (c.*property.GetAuto)();
    });
    if (!failed) continue;
    settings.Positions[i] = 0;
    settings.Autos[i] = false;
    if (!unread) throw *failed;
    unread->Properties[i] = true;
    unread->Messages.push_back(std::string(failed->what()) + "; left out");
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

void SaveSettings(TOpenCamera& camera, const std::filesystem::path& file, std::ostream& err) {
  TUnreadSettings unread;
  const TCameraSettings settings = ReadCameraSettings(camera, &unread);
  try {
    CameraSettingsFile::WriteReadProperties(file, camera.Name(), settings, unread.Properties);
  } catch (const ESettingsFileError& error) {
    throw ECliError(TExitCode::SettingsFile, camera.Message("", error.what()));
  }
  ReportUnread(unread, err);
}

void ReportUnread(const TUnreadSettings& unread, std::ostream& err) {
  for (const std::string& message : unread.Messages) err << ErrorLine(message) << std::flush;
  if (!unread.Messages.empty()) throw ECliError(TExitCode::DeviceError, "");
}

void LoadSettings(TOpenCamera& camera, const std::filesystem::path& file, std::ostream& out,
                  std::ostream& err) {
  const TCameraSettings settings = ReadSection(camera, file);
  TStreamWriteLog log(out, err);
  ApplySettings(camera, settings, log);
  log.EndWithFailures();
}

void ApplySettings(TOpenCamera& camera, const TCameraSettings& settings, TWriteLog& log,
                   const TMayWrite& mayWrite) {
  const auto allowed = [&](std::string_view name) { return !mayWrite || mayWrite(name); };
  // A control that cannot be read is that control's failure: it goes to the log, and the
  // others are still applied.
  std::array<bool, kSettingsPropertyCount> failed{};
  // Auto states first, so that each value lands on a control already in its saved mode.
  for (std::size_t i = 0; i < kCameraProperties.size(); ++i) {
    const TCameraProperty& property = kCameraProperties[i];
    bool differs = false;
    if (const auto error = camera.TryCall(property.Name, [&](TFCamera& c) {
          differs = (c.*property.GetSupported)() && (c.*property.GetAuto)() != settings.Autos[i];
        })) {
      failed[i] = true;
      log.Refused(*error);
      continue;
    }
    if (!differs || !allowed(property.Name)) continue;
    TryWrite(
        camera, property.Name, settings.Autos[i] ? "auto" : "manual",
        [&](TFCamera& c) { (c.*property.SetAuto)(settings.Autos[i]); }, log);
  }
  // A value is written only where it moves the position the window would show, as the
  // window's track bar reports a change only then.
  for (std::size_t i = 0; i < kCameraProperties.size(); ++i) {
    const TCameraProperty& property = kCameraProperties[i];
    if (failed[i]) continue;
    const float wanted = static_cast<float>(settings.Positions[i]);
    std::optional<LONG> write;
    if (const auto error = camera.TryCall(property.Name, [&](TFCamera& c) {
          if (!(c.*property.GetSupported)()) return;
          const TFRange range = (c.*property.GetRange)();
          const LONG current = (c.*property.GetValue)();
          if (RulePosition(range, wanted) != RulePosition(range, current)) {
            write = RuleValue(range, wanted);
          }
        })) {
      log.Refused(*error);
      continue;
    }
    if (!write || !allowed(property.Name)) continue;
    TryWrite(
        camera, property.Name, std::to_string(*write),
        [&](TFCamera& c) { (c.*property.SetValue)(*write); }, log);
  }
  bool frequencySupported = false;
  if (const auto error = camera.TryCall(kPowerFrequencyKey, [&](TFCamera& c) {
        frequencySupported = c.GetPowerLineFrequencySupported();
      })) {
    log.Refused(*error);
  }
  // Any other index selects nothing in the window's list, which writes no frequency; a camera
  // already at the frequency is left alone, as a value already in place is. A frequency that
  // cannot be read back may still be written.
  const bool is50 = settings.PowerFrequency == kPowerFrequency50Hz;
  bool differs = frequencySupported && (is50 || settings.PowerFrequency == kPowerFrequency60Hz);
  if (differs) {
    (void)camera.TryCall(kPowerFrequencyKey, [&](TFCamera& c) {
      differs = c.GetPowerLineFrequency() != (is50 ? pf50Hz : pf60Hz);
    });
  }
  if (differs && allowed(kPowerFrequencyKey)) {
    TryWrite(
        camera, kPowerFrequencyKey, is50 ? "50" : "60",
        [&](TFCamera& c) { c.SetPowerLineFrequency(is50 ? pf50Hz : pf60Hz); }, log);
  }
}

void ResetToDefaults(TOpenCamera& camera, std::ostream& out, std::ostream& err) {
  TStreamWriteLog log(out, err);
  bool anySupported = false;
  for (const TCameraProperty& property : kCameraProperties) {
    std::optional<TFRange> range;
    bool automatic = false;
    if (const auto error = camera.TryCall(property.Name, [&](TFCamera& c) {
          if (!(c.*property.GetSupported)()) return;
          range = (c.*property.GetRange)();
          automatic = (c.*property.GetAuto)();
        })) {
      // One property that cannot be read keeps none of the others from their defaults.
      log.Refused(*error);
      continue;
    }
    if (!range) continue;
    anySupported = true;
    const std::string name(property.Name);
    const std::string defaultText = std::to_string(range->Default);
    // A default outside the range would land clamped to an end of it, which is no factory
    // setting: such a control stays as it is, and says why.
    if (range->Default < range->Min || range->Default > range->Max) {
      out << name << ": the camera's default " << defaultText << " lies outside " << range->Min
          << " to " << range->Max << ", left as it is\n"
          << std::flush;
      continue;
    }
    // A value written to an automatic control keeps its mode; whether it lands is the
    // driver's business, so it is read back and told as it came out.
    std::optional<LONG> landed;
    if (const auto error = camera.TryCall(property.Name, [&](TFCamera& c) {
          (c.*property.SetValue)(range->Default);
          if (automatic) landed = (c.*property.GetValue)();
        })) {
      log.Refused(*error);
      continue;
    }
    if (automatic && landed != range->Default) {
      out << name << ": automatic, left as it is (default " << defaultText << ")\n" << std::flush;
      continue;
    }
    log.Written(property.Name, defaultText);
  }
  if (!anySupported && log.Failures() == 0) {
    throw ECliError(TExitCode::Unsupported,
                    camera.Message("", "does not support setting default values"));
  }
  log.EndWithFailures();
}

}  // namespace korvane::cli
