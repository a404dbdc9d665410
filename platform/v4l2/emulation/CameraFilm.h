#pragma once
// What a streaming emulated camera films: the moving test picture at its current format and
// frame interval, and now and then a frame as real cameras send them when something goes
// wrong on the way (cut short, of another size, flagged damaged, empty).

#include <vector>

#include "platform/v4l2/emulation/BufferQueue.h"
#include "platform/v4l2/emulation/Description.h"

namespace korvane::v4l2::emulation {

// Only YUYV and MJPG are filmed, as UVC cameras deliver them; another format streams no
// frames (a source without draw).
FrameSource FilmAt(const CurrentFormat& format, const std::vector<FrameFault>& faults);

// The fault that strikes frame `number` (counted from 0), or nullptr.
const FrameFault* FaultOf(const std::vector<FrameFault>& faults, std::uint64_t number);

}  // namespace korvane::v4l2::emulation
