#pragma once
// The events of one open file: its subscriptions and the events waiting for it. Each
// subscription holds one waiting event; a newer one for the same subscription takes its place
// at the end of the queue with the changes of both, as the kernel merges control events.

#include <linux/videodev2.h>

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <utility>

namespace korvane::v4l2::emulation {

class EventQueue {
 public:
  // False when the subscription existed already.
  bool Subscribe(std::uint32_t type, std::uint32_t id, std::uint32_t flags);
  // V4L2_EVENT_ALL ends every subscription. Their waiting events go with them.
  void Unsubscribe(std::uint32_t type, std::uint32_t id);
  std::optional<std::uint32_t> Flags(std::uint32_t type, std::uint32_t id) const;

  // Queues a control event for its subscription (nothing without one).
  void Queue(const v4l2_event& event);
  // 0, or ENOENT when nothing waits.
  int Dequeue(v4l2_event* event);
  bool Pending() const { return !waiting_.empty(); }

 private:
  std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> subscriptions_;
  std::deque<v4l2_event> waiting_;
  std::uint32_t sequence_ = 0;
};

}  // namespace korvane::v4l2::emulation
