#pragma once

#include <array>
#include <cstddef>

#include "camera/FCamera.h"
#include "settings/SettingsKeys.h"

// The seventeen adjustable properties, described once. Every loop of the window over the
// properties walks this table: building the rows, resetting and filling them, writing
// changes, and the settings file.
enum class TPropertyGroup { VideoProcessing, CameraControl };

struct TPropertyRow {
  const char* Name;     // "Brightness": names the row's controls and its icon
  const char* Caption;  // the row's caption text
  TPropertyGroup Group;
  int Position;             // 1 = top row on screen
  const char* ValueColumn;  // name of the box that holds the value label
  const char* SettingsKey;  // key of the value in a settings file (AutoKey for the Auto state)
  LONG (TFCamera::*GetValue)();
  void (TFCamera::*SetValue)(LONG);
  bool (TFCamera::*GetAuto)();
  void (TFCamera::*SetAuto)(bool);
  TFRange (TFCamera::*GetRange)();
  bool (TFCamera::*GetSupported)();
};

constexpr std::size_t kPropertyCount = kSettingsPropertyCount;

// In the order the handlers, the settings file and the factory reset take them: the order of
// kSettingsPropertyKeys, checked when this table is built. The on-screen order is Position.
extern const std::array<TPropertyRow, kPropertyCount> kPropertyRows;

// The order in which a pass over the selected camera reads the rows: Brightness first,
// then the others in table order. Indexes into kPropertyRows.
extern const std::array<std::size_t, kPropertyCount> kPropertyReadOrder;
