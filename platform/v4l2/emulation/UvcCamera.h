#pragma once
// One emulated UVC camera as its driver sees it: identity, controls, formats and firmware,
// with the device state (control values, current format, plugged or not) held in its
// description, which is what the camera file stores.

#include <linux/videodev2.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/v4l2/emulation/Description.h"
#include "platform/v4l2/emulation/Firmware.h"
#include "platform/v4l2/emulation/UvcControls.h"
#include "platform/v4l2/emulation/UvcFormats.h"

namespace korvane::v4l2::emulation {

class UvcCamera {
 public:
  explicit UvcCamera(CameraDescription description);
  UvcCamera(const UvcCamera&) = delete;
  UvcCamera& operator=(const UvcCamera&) = delete;

  const CameraDescription& Description() const { return description_; }
  UvcControls& Controls() { return controls_; }
  UvcFormats& Formats() { return formats_; }
  Firmware& CameraFirmware() { return firmware_; }

  void QueryCapabilities(v4l2_capability& capability, bool metadataNode) const;

  // A new description of the same camera (another program changed its file). What the driver
  // cached stays for controls that remain, unless the firmware changed (a reset camera).
  void Replace(CameraDescription description);
  // A camera plugged in again has an empty cache.
  void Plugged() { controls_.ResetCache(); }

  // The device state, to undo a change that could not be stored.
  struct State {
    std::vector<std::int32_t> values;
    CurrentFormat current;
    bool present = true;
    bool operator==(const State&) const = default;
  };
  State Save() const;
  void Restore(const State& state);

  std::optional<std::int32_t> Value(std::uint32_t id) const;
  // As another program on the same kernel writes it: stored as given.
  bool SetValue(std::uint32_t id, std::int32_t value);
  void SetPresent(bool present) { description_.present = present; }

 private:
  CameraDescription description_;
  Firmware firmware_;
  UvcControls controls_;
  UvcFormats formats_;
};

}  // namespace korvane::v4l2::emulation
