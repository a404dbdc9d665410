#include <atomic>

#include "platform/com/Unknown.h"

namespace korvane::com {
namespace {
std::atomic<std::size_t> live_objects{0};
}

std::size_t LiveObjectCount() { return live_objects.load(); }

namespace detail {
void CountObjectCreated() { ++live_objects; }
void CountObjectDestroyed() { --live_objects; }
}  // namespace detail

}  // namespace korvane::com
