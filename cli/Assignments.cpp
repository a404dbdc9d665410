#include "cli/Assignments.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "cli/CameraProperties.h"
#include "cli/ValueRule.h"

namespace korvane::cli {

namespace {

[[noreturn]] void BadAssignment(std::string_view text, std::string_view why) {
  throw ECliError(TExitCode::Usage, "'" + std::string(text) + "': " + std::string(why));
}

std::optional<double> ParseNumber(std::string_view text) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (text.empty() || text.front() == '+' || text.front() == '-') return std::nullopt;
  }
  double value = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::string WrittenText(const TAssignment& assignment, LONG value) {
  switch (assignment.Kind) {
    case TAssignment::TKind::Auto:
      return "auto";
    case TAssignment::TKind::Manual:
      return "manual";
    case TAssignment::TKind::Frequency:
      return assignment.Frequency == pf60Hz ? "60" : "50";
    case TAssignment::TKind::Value:
      break;
  }
  return std::to_string(value);
}

std::string NumberText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// A value written to a control that runs automatically keeps its mode and would not land, so
// it is refused before anything is written, with the way to switch it; a switch to manual
// earlier in the same command makes it land.
void CheckManual(TOpenCamera& camera, const std::vector<TAssignment>& assignments, std::size_t at) {
  const TAssignment& assignment = assignments[at];
  if (assignment.Kind != TAssignment::TKind::Value || !assignment.Property) return;
  std::optional<bool> automatic;
  for (std::size_t i = 0; i < at; ++i) {
    const TAssignment& earlier = assignments[i];
    if (earlier.Property != assignment.Property) continue;
    if (earlier.Kind == TAssignment::TKind::Auto) automatic = true;
    if (earlier.Kind == TAssignment::TKind::Manual) automatic = false;
  }
  const TCameraProperty& property = kCameraProperties[*assignment.Property];
  if (!automatic) {
    automatic = camera.Call(assignment.Name, [&](TFCamera& c) { return (c.*property.GetAuto)(); });
  }
  if (!*automatic) return;
  throw ECliError(
      TExitCode::Unsupported,
      camera.Message(assignment.Name,
                     "is automatic, so a value would not land; switch it to manual "
                     "first: korvane-cam set " +
                         std::to_string(camera.Index()) + " " + assignment.Name + "=manual " +
                         assignment.Name + "=" + NumberText(assignment.Value)));
}

void CheckSupported(TOpenCamera& camera, const TAssignment& assignment) {
  const auto unsupported = [&](std::string_view why) {
    throw ECliError(TExitCode::Unsupported, camera.Message(assignment.Name, why));
  };
  if (!assignment.Property) {
    const bool supported = camera.Call(
        assignment.Name, [](TFCamera& c) { return c.GetPowerLineFrequencySupported(); });
    if (!supported) unsupported("not supported by this camera");
    return;
  }
  const TCameraProperty& property = kCameraProperties[*assignment.Property];
  const bool supported =
      camera.Call(assignment.Name, [&](TFCamera& c) { return (c.*property.GetSupported)(); });
  if (!supported) unsupported("not supported by this camera");
  if (assignment.Kind == TAssignment::TKind::Value) return;
  const TFRange range =
      camera.Call(assignment.Name, [&](TFCamera& c) { return (c.*property.GetRange)(); });
  if (assignment.Kind == TAssignment::TKind::Auto && !range.Auto) {
    unsupported("the camera cannot set it automatically");
  }
  if (assignment.Kind == TAssignment::TKind::Manual && !range.Manual) {
    unsupported("the camera cannot set it manually");
  }
}

LONG Write(TOpenCamera& camera, const TAssignment& assignment) {
  return camera.Call(assignment.Name, [&](TFCamera& c) -> LONG {
    if (!assignment.Property) {
      c.SetPowerLineFrequency(assignment.Frequency);
      return 0;
    }
    const TCameraProperty& property = kCameraProperties[*assignment.Property];
    switch (assignment.Kind) {
      case TAssignment::TKind::Auto:
      case TAssignment::TKind::Manual:
        (c.*property.SetAuto)(assignment.Kind == TAssignment::TKind::Auto);
        return 0;
      case TAssignment::TKind::Value:
      case TAssignment::TKind::Frequency:
        break;
    }
    const LONG value = RuleValue((c.*property.GetRange)(), assignment.Value);
    (c.*property.SetValue)(value);
    return value;
  });
}

}  // namespace

TAssignment ParseAssignment(std::string_view text) {
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) BadAssignment(text, "expected NAME=VALUE");
  const std::string_view name = text.substr(0, equals);
  const std::string_view value = text.substr(equals + 1);
  TAssignment assignment;
  if (SameNameIgnoringCase(name, kPowerFrequencyKey)) {
    assignment.Name = kPowerFrequencyKey;
    assignment.Kind = TAssignment::TKind::Frequency;
    if (value == "50" || value == "0") {
      assignment.Frequency = pf50Hz;
    } else if (value == "60" || value == "1") {
      assignment.Frequency = pf60Hz;
    } else {
      BadAssignment(text, "PowerFrequency takes 50 or 60 (or the list index 0 or 1)");
    }
    return assignment;
  }
  assignment.Property = FindCameraProperty(name);
  if (!assignment.Property) BadAssignment(text, "unknown property name");
  assignment.Name = kCameraProperties[*assignment.Property].Name;
  if (SameNameIgnoringCase(value, "auto")) {
    assignment.Kind = TAssignment::TKind::Auto;
  } else if (SameNameIgnoringCase(value, "manual")) {
    assignment.Kind = TAssignment::TKind::Manual;
  } else if (const std::optional<double> number = ParseNumber(value)) {
    assignment.Value = *number;
  } else {
    BadAssignment(text, "the value must be a number, auto or manual");
  }
  return assignment;
}

void ApplyAssignments(TOpenCamera& camera, const std::vector<TAssignment>& assignments,
                      std::ostream& out) {
  for (const TAssignment& assignment : assignments) CheckSupported(camera, assignment);
  for (std::size_t i = 0; i < assignments.size(); ++i) CheckManual(camera, assignments, i);
  for (const TAssignment& assignment : assignments) {
    const LONG value = Write(camera, assignment);
    out << assignment.Name << '=' << WrittenText(assignment, value) << '\n' << std::flush;
  }
}

}  // namespace korvane::cli
