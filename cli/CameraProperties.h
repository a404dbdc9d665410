#pragma once
// The seventeen adjustable properties as the tool reaches them on the camera component, named
// and ordered as the settings files name and order them.

#include <array>
#include <optional>
#include <string_view>

#include "camera/FCamera.h"
#include "settings/SettingsKeys.h"

namespace korvane::cli {

struct TCameraProperty {
  std::string_view Name;
  LONG (TFCamera::*GetValue)();
  void (TFCamera::*SetValue)(LONG);
  bool (TFCamera::*GetAuto)();
  void (TFCamera::*SetAuto)(bool);
  TFRange (TFCamera::*GetRange)();
  bool (TFCamera::*GetSupported)();
};

// In the order of kSettingsPropertyKeys.
extern const std::array<TCameraProperty, kSettingsPropertyCount> kCameraProperties;

// The index of the property with that name, compared without regard to case.
std::optional<std::size_t> FindCameraProperty(std::string_view name);

// Whether two names are the same without regard to (ASCII) case.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

}  // namespace korvane::cli
