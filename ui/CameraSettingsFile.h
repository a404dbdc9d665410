#pragma once

#include <QString>
#include <array>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "ui/PropertyRows.h"

// What a settings file holds for one camera: the seventeen track bar positions, the
// seventeen "Auto" boxes and the power-frequency list's index, in the order of
// kPropertyRows. Reading and writing are separate from the window, so that both can be
// exercised (and a save can be interrupted) without one.
struct TCameraSettings {
  std::array<double, kPropertyCount> Positions{};
  std::array<bool, kPropertyCount> Autos{};
  int PowerFrequency = 0;  // 0 "PAL - 50Hz", 1 "NTSC - 60Hz", -1 nothing selected
};

// A write the system refused; the message names the full file name.
class ESettingsFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace CameraSettingsFile {

// The key of a property's "Auto" box ("CheckBox" + the value's key).
std::string AutoKey(const TPropertyRow& row);
inline constexpr char kPowerFrequencyKey[] = "PowerFrequency";

// A position in the user's locale, as a person reads it: general form, up to 15
// significant digits, no trailing zeros.
QString PositionText(double position);
// The user's locale only (no group separators); anything else, or a number that a
// single-precision position cannot hold, is 0.
double ParsePosition(const QString& text);

// Writes the 35 keys in their order into the section, each straight to the file; the rest
// of the file stays as it was. Throws ESettingsFileError "Unable to write to <file>" at the
// first write the system refuses; the keys written before it stay.
void Write(const std::filesystem::path& file, const std::string& section,
           const TCameraSettings& settings);

// A missing file, section or key, or a malformed value, reads as the defaults: 0,
// unticked, index 0.
TCameraSettings Read(const std::filesystem::path& file, const std::string& section);

}  // namespace CameraSettingsFile
