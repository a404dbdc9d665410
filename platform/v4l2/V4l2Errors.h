#pragma once
// One table from the kernel's error numbers to the platform's result codes. What an error
// means depends a little on the call that got it: EINVAL from a control query says the control
// does not exist, from a write that the value is not allowed.

#include "platform/com/ComTypes.h"

namespace korvane::v4l2 {

enum class CallKind {
  Open,          // opening the device node
  ControlQuery,  // QUERYCTRL, G_CTRL, QUERYMENU
  ControlWrite,  // S_CTRL
  Other,         // formats, capabilities, buffers
};

HRESULT ResultFromErrno(int error, CallKind kind);

}  // namespace korvane::v4l2
