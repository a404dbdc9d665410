#include "platform/v4l2/emulation/EventQueue.h"

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace korvane::v4l2::emulation {

bool EventQueue::Subscribe(std::uint32_t type, std::uint32_t id, std::uint32_t flags) {
  return subscriptions_.emplace(std::make_pair(type, id), flags).second;
}

void EventQueue::Unsubscribe(std::uint32_t type, std::uint32_t id) {
  const auto ends = [&](std::uint32_t eventType, std::uint32_t eventId) {
    return type == V4L2_EVENT_ALL || (eventType == type && eventId == id);
  };
  std::erase_if(subscriptions_,
                [&](const auto& entry) { return ends(entry.first.first, entry.first.second); });
  std::erase_if(waiting_, [&](const v4l2_event& event) { return ends(event.type, event.id); });
}

std::optional<std::uint32_t> EventQueue::Flags(std::uint32_t type, std::uint32_t id) const {
  const auto found = subscriptions_.find({type, id});
  if (found == subscriptions_.end()) return std::nullopt;
  return found->second;
}

void EventQueue::Queue(const v4l2_event& event) {
  if (!Flags(event.type, event.id)) return;
  v4l2_event queued = event;
  const auto earlier = std::find_if(waiting_.begin(), waiting_.end(), [&](const v4l2_event& e) {
    return e.type == event.type && e.id == event.id;
  });
  if (earlier != waiting_.end()) {
    queued.u.ctrl.changes |= earlier->u.ctrl.changes;
    waiting_.erase(earlier);
  }
  queued.sequence = sequence_++;
  ::clock_gettime(CLOCK_MONOTONIC, &queued.timestamp);
  waiting_.push_back(queued);
}

int EventQueue::Dequeue(v4l2_event* event) {
  if (waiting_.empty()) return ENOENT;
  *event = waiting_.front();
  waiting_.pop_front();
  event->pending = static_cast<std::uint32_t>(waiting_.size());
  return 0;
}

}  // namespace korvane::v4l2::emulation
