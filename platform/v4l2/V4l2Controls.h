#pragma once
// The window's controls on a Video4Linux2 camera: which driver control carries each index of
// IAMVideoProcAmp and IAMCameraControl, with its automatic companion, and the three calls of
// those interfaces (GetRange, Get, Set) in the driver's own units.
//
// Automatic companions follow the platform's rules: a control is Auto-capable only when its
// companion exists; Get reports flags 1 while the companion runs it; Set with flags 1 switches
// only the companion on (the value is ignored); Set with flags 2 switches the companion off
// first and then writes the value, as two calls, since the driver refuses a value while the
// control is inactive and commits a combined call in the wrong order.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/DirectShow9.h"
#include "platform/v4l2/V4l2Device.h"

struct v4l2_queryctrl;

namespace korvane::v4l2 {

enum class ControlInterface { VideoProcAmp, CameraControl };

// How a control's automatic companion says "automatic".
enum class AutoKind {
  None,
  Boolean,       // 1 automatic, 0 manual (white balance, focus, hue, gain)
  ExposureMenu,  // the exposure modes: only manual leaves the time to the user
};

struct ControlMapping {
  ControlInterface interface;
  LONG property;
  std::uint32_t id;      // the value's control id
  std::uint32_t autoId;  // its companion, 0 for none
  AutoKind autoKind;
  bool inverted;  // a colour killer is "colour enabled" the other way round
  bool powerLineFrequency;
};

// The mapping of an index, nullptr for an index no driver control carries (Roll, ...).
const ControlMapping* FindControlMapping(ControlInterface interface, LONG property);
// The companion of a value control, for the driver's own dialog (nullptr when it has none).
const ControlMapping* FindMappingOfValue(std::uint32_t id);
// The driver controls behind the window's rows: every value control and automatic companion.
std::vector<std::uint32_t> WindowControlIds();

class V4l2Controls {
 public:
  explicit V4l2Controls(std::shared_ptr<V4l2Device> device) : device_(std::move(device)) {}

  HRESULT GetRange(const ControlMapping& control, LONG* min, LONG* max, LONG* step,
                   LONG* defaultValue, LONG* caps);
  HRESULT Get(const ControlMapping& control, LONG* value, LONG* flags);
  HRESULT Set(const ControlMapping& control, LONG value, LONG flags);

  // Writes a driver control's value, switching its companion to manual first where it has
  // one that is automatic now (the driver's dialog writes through this too).
  HRESULT WriteManual(std::uint32_t id, LONG value);

 private:
  HRESULT Query(std::uint32_t id, v4l2_queryctrl* query);
  HRESULT Read(std::uint32_t id, LONG* value);
  HRESULT Write(std::uint32_t id, LONG value);
  bool MenuOffers(std::uint32_t id, std::uint32_t item);
  // Whether the companion runs the control now; an error when it cannot be read.
  HRESULT CompanionIsAutomatic(const ControlMapping& control, bool* automatic);
  HRESULT SwitchCompanion(const ControlMapping& control, bool automatic);

  std::shared_ptr<V4l2Device> device_;
};

}  // namespace korvane::v4l2
