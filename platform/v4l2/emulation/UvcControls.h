#pragma once
// The UVC driver's controls: what QUERYCTRL and its relatives report, reads through the
// driver's cache, writes clamped to the range and rounded to the step, menus with holes,
// controls made inactive by their automatic companion, and requests committed unit by unit in
// the order of the controls' UVC indices, as the driver sends them to the camera.

#include <linux/videodev2.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/v4l2/emulation/Description.h"
#include "platform/v4l2/emulation/Firmware.h"

namespace korvane::v4l2::emulation {

// A control whose subscribers hear of a committed request. A change of flags reaches the
// handle that made it too; a change of value only the others.
struct ControlChange {
  std::uint32_t id = 0;
  std::uint32_t changes = 0;  // V4L2_EVENT_CTRL_CH_*
  bool toOriginator = false;
};

class UvcControls {
 public:
  // The controls (sorted by id) hold the device's values; both outlive this object.
  UvcControls(std::vector<ControlDescription>& controls, Firmware& firmware);

  // Each returns 0 or the errno of the ioctl.
  int Query(v4l2_queryctrl& query);
  int QueryExtended(v4l2_query_ext_ctrl& query);
  int QueryMenu(v4l2_querymenu& menu);
  // G_EXT_CTRLS with "which" already checked: current or default values.
  int Get(v4l2_ext_controls& request);
  // S_EXT_CTRLS (commit) or TRY_EXT_CTRLS; the stored values are written back into the
  // caller's array. Controls whose subscribers must hear of it are added to *changes.
  int Set(v4l2_ext_controls& request, bool commit, std::vector<ControlChange>* changes);

  bool Has(std::uint32_t id) const { return Find(id) != nullptr; }
  // The value of a control as an initial event reports it (reading it like G_CTRL).
  int Read(std::uint32_t id, std::int32_t* value);
  // An event's payload from what the driver holds, without reaching the camera.
  bool EventPayload(std::uint32_t id, v4l2_event_ctrl* payload) const;

  // A newly plugged camera: nothing is cached.
  void ResetCache();
  // The control list was replaced; what was cached for ids that remain is kept unless told.
  void Adopt(const std::vector<std::uint32_t>& populated, const std::vector<std::uint32_t>& loaded);
  std::vector<std::uint32_t> PopulatedIds() const;
  std::vector<std::uint32_t> LoadedIds() const;

 private:
  struct Info {
    std::uint32_t id = 0;
    std::uint32_t type = 0;
    std::string_view name;
    std::int64_t minimum = 0, maximum = 0, step = 0, defaultValue = 0;
    std::uint32_t flags = 0;
  };
  struct Cache {
    bool populated = false;  // ranges and default read from the camera
    bool loaded = false;     // current value read from the camera
  };

  ControlDescription* Find(std::uint32_t id);
  const ControlDescription* Find(std::uint32_t id) const;
  std::size_t IndexOf(const ControlDescription& control) const;
  int Describe(std::uint32_t requestId, Info* info);
  std::uint32_t StaticFlags(const ControlDescription& control) const;
  bool Inactive(const ControlDescription& control) const;
  int Populate(const ControlDescription& control);
  int Load(const ControlDescription& control, std::int32_t* value);
  enum class Access { kGet, kTry, kSet };
  int CheckAccess(const v4l2_ext_controls& request, Access access, std::uint32_t* failed);
  int Validate(ControlDescription& control, std::int32_t* value);
  int Commit(v4l2_ext_controls& request, std::vector<std::pair<std::size_t, std::int32_t>> pending);
  void RebuildClasses();

  std::vector<ControlDescription>& controls_;
  Firmware& firmware_;
  std::vector<Cache> cache_;            // by index in controls_
  std::vector<std::uint32_t> classes_;  // class controls the driver reports, sorted
};

}  // namespace korvane::v4l2::emulation
