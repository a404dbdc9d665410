#include "platform/v4l2/emulation/UvcCamera.h"

#include <linux/version.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

namespace korvane::v4l2::emulation {
namespace {

// What the kernel's fixed-size text fields keep: 31 bytes and a terminating zero.
template <std::size_t N>
void CopyText(std::uint8_t (&field)[N], std::string_view text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

// The last kernel without the driver's own check of inactive controls.
constexpr std::uint32_t kOldKernelVersion = KERNEL_VERSION(5, 15, 0);
// The line Debian 12 ships, the last with the driver's own stream privileges.
constexpr std::uint32_t kPrivilegesKernelVersion = KERNEL_VERSION(6, 1, 0);
// A line whose driver hands the stream to the buffer queue's owner.
constexpr std::uint32_t kQueueOwnerKernelVersion = KERNEL_VERSION(6, 17, 0);

std::uint32_t KernelVersion(const FirmwareDescription& firmware) {
  if (firmware.oldKernel) return kOldKernelVersion;
  return firmware.streamRule == StreamRule::kQueueOwner ? kQueueOwnerKernelVersion
                                                        : kPrivilegesKernelVersion;
}

}  // namespace

UvcCamera::UvcCamera(CameraDescription description)
    : description_(std::move(description)),
      firmware_(description_.firmware),
      controls_(description_.controls, firmware_),
      formats_(description_.formats, description_.current) {}

void UvcCamera::QueryCapabilities(v4l2_capability& capability, bool metadataNode) const {
  capability = v4l2_capability{};
  CopyText(capability.driver, "uvcvideo");
  CopyText(capability.card, description_.card);
  CopyText(capability.bus_info, description_.busInfo);
  capability.version = KernelVersion(description_.firmware);
  capability.device_caps = (metadataNode ? V4L2_CAP_META_CAPTURE : V4L2_CAP_VIDEO_CAPTURE) |
                           V4L2_CAP_STREAMING | V4L2_CAP_EXT_PIX_FORMAT;
  capability.capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_EXT_PIX_FORMAT |
                            V4L2_CAP_DEVICE_CAPS |
                            (description_.metadataNode ? V4L2_CAP_META_CAPTURE : 0);
}

void UvcCamera::Replace(CameraDescription description) {
  const bool firmwareChanged = !(description.firmware == description_.firmware);
  const std::vector<std::uint32_t> populated = controls_.PopulatedIds();
  const std::vector<std::uint32_t> loaded = controls_.LoadedIds();
  description_ = std::move(description);
  if (firmwareChanged) {
    firmware_.Replace(description_.firmware);
    controls_.Adopt({}, {});
  } else {
    controls_.Adopt(populated, loaded);
  }
}

UvcCamera::State UvcCamera::Save() const {
  State state;
  for (const ControlDescription& control : description_.controls) {
    state.values.push_back(control.value);
  }
  state.current = description_.current;
  state.present = description_.present;
  return state;
}

void UvcCamera::Restore(const State& state) {
  for (std::size_t i = 0; i < description_.controls.size() && i < state.values.size(); ++i) {
    description_.controls[i].value = state.values[i];
  }
  description_.current = state.current;
  description_.present = state.present;
}

std::optional<std::int32_t> UvcCamera::Value(std::uint32_t id) const {
  for (const ControlDescription& control : description_.controls) {
    if (control.id == id) return control.value;
  }
  return std::nullopt;
}

bool UvcCamera::SetValue(std::uint32_t id, std::int32_t value) {
  for (ControlDescription& control : description_.controls) {
    if (control.id == id) {
      control.value = value;
      return true;
    }
  }
  return false;
}

}  // namespace korvane::v4l2::emulation
