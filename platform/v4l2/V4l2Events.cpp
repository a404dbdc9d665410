#include "platform/v4l2/V4l2Events.h"

#include <linux/videodev2.h>
#include <poll.h>

#include <cerrno>

namespace korvane::v4l2 {

int ControlEvents::Subscribe(const std::vector<std::uint32_t>& ids) {
  for (const std::uint32_t id : ids) {
    v4l2_event_subscription subscription{};
    subscription.type = V4L2_EVENT_CTRL;
    subscription.id = id;
    const int error = device_->Ioctl(VIDIOC_SUBSCRIBE_EVENT, &subscription);
    // EINVAL: the camera has no such control.
    if (error != 0 && error != EINVAL) return error;
  }
  return 0;
}

short ControlEvents::PollEvents() const {
  return device_->GetDoor().SystemPollEvents(POLLPRI);
}

int ControlEvents::Take(std::vector<std::uint32_t>* changed) {
  for (;;) {
    v4l2_event event{};
    const int error = device_->Ioctl(VIDIOC_DQEVENT, &event);
    if (error == ENOENT) return 0;
    if (error != 0) return error;
    if (event.type == V4L2_EVENT_CTRL &&
        (event.u.ctrl.changes & (V4L2_EVENT_CTRL_CH_VALUE | V4L2_EVENT_CTRL_CH_FLAGS))) {
      changed->push_back(event.id);
    }
  }
}

}  // namespace korvane::v4l2
