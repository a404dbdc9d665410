#pragma once
// The driver's control-change events on a camera's open node: subscribed to for the controls
// that matter, taken when the node's descriptor turns readable. The driver sends them for
// changes made through other open files of the camera (another program's writes), and for
// changes of a control's flags that a write through this file caused.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/v4l2/V4l2Device.h"

namespace korvane::v4l2 {

class ControlEvents {
 public:
  explicit ControlEvents(std::shared_ptr<V4l2Device> device) : device_(std::move(device)) {}

  // Subscribes to the changes of each control the camera has (one it lacks is passed over).
  // 0, or the errno of the first other failure.
  int Subscribe(const std::vector<std::uint32_t>& ids);
  // The node's descriptor for poll(2), or -errno.
  int Descriptor() { return device_->Descriptor(); }
  // What to ask poll(2) for on it: the control events, and a camera that is unplugged.
  short PollEvents() const;
  // Dequeues every waiting event and appends the controls whose value or state changed.
  // 0, or the errno of the failure (ENODEV: the camera is gone).
  int Take(std::vector<std::uint32_t>* changed);

 private:
  std::shared_ptr<V4l2Device> device_;
};

}  // namespace korvane::v4l2
