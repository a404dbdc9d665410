#pragma once
// The media types of a simulated capture pin, read from the device state at every step.

#include <vector>

#include "platform/DirectShow9.h"
#include "platform/sim/SimDriver.h"

namespace korvane::sim {

ComPtr<IEnumMediaTypes> MakeMediaTypeEnumerator(const SimDriver& driver);

}  // namespace korvane::sim
