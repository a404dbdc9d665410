#pragma once
// `set`: the NAME=VALUE arguments, checked before the camera is touched and written in the
// order given.

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "camera/FCameraTypes.h"
#include "cli/CameraSelection.h"

namespace korvane::cli {

struct TAssignment {
  enum class TKind { Value, Auto, Manual, Frequency };

  std::string Name;                     // as the settings files spell it
  std::optional<std::size_t> Property;  // into kCameraProperties; none for PowerFrequency
  TKind Kind = TKind::Value;
  double Value = 0;                         // TKind::Value
  TFPowerLineFrequency Frequency = pf50Hz;  // TKind::Frequency
};

// NAME=VALUE: NAME one of the settings files' property names or PowerFrequency, without regard
// to case; VALUE a number (C notation: 12, -3, 2.5), auto or manual; for PowerFrequency 50 or
// 60, or the power-frequency list's index 0 or 1. Throws ECliError Usage.
TAssignment ParseAssignment(std::string_view text);

// Checks that the camera supports every property (and every mode) asked for, and that no value
// goes to a control that is automatic at that point of the command, then writes them
// in order with the window's value rule: a value is clamped to the range and moved to the
// driver's step. Prints NAME=VALUE for each write, with the value written. Throws ECliError
// Unsupported (nothing written) or DeviceError (the writes before it stay).
void ApplyAssignments(TOpenCamera& camera, const std::vector<TAssignment>& assignments,
                      std::ostream& out);

}  // namespace korvane::cli
