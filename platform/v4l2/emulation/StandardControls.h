#pragma once
// The controls the UVC driver maps onto standard Video4Linux2 ids, with the names it reports,
// their types, the UVC unit and index they come from (which decide the order in which a request
// is committed), the automatic companion that makes a control inactive, and whether the camera
// changes the value by itself. Two ids that UVC does not have (automatic gain, colour killer)
// are here too, as drivers of other cameras report them.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/v4l2/emulation/Description.h"

namespace korvane::v4l2::emulation {

struct StandardControl {
  std::string_view fileName;  // the v4l2-ctl style name used in camera files
  std::uint32_t id;
  std::string_view name;  // as the driver reports it
  std::uint32_t type;
  Unit unit;
  int unitIndex;
  std::uint32_t master;  // 0, or the automatic companion
  std::int32_t masterManual;
  bool autoUpdate;
  // Menu items the driver's mapping always spans, whatever the camera offers (0: the items the
  // camera offers decide the range).
  std::uint64_t menuSpan;
  std::array<std::string_view, 4> menuNames;
};

std::span<const StandardControl> StandardControls();
// By file name (a few older spellings are accepted too); nullptr when unknown.
const StandardControl* FindStandardControl(std::string_view fileName);
const StandardControl* FindStandardControl(std::uint32_t id);
// Whether the driver reports the control write-only (a relative or speed control).
bool IsWriteOnly(const StandardControl& control);

}  // namespace korvane::v4l2::emulation
