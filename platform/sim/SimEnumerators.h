#pragma once
// The enumerators a simulated filter hands out: its pins, and the media types of its capture
// pin, read from the device state at every step.

#include <vector>

#include "camera/FDirectShow9.h"
#include "platform/sim/SimDriver.h"

namespace korvane::sim {

ComPtr<IEnumPins> MakePinEnumerator(std::vector<ComPtr<IPin>> pins);
ComPtr<IEnumMediaTypes> MakeMediaTypeEnumerator(const SimDriver& driver);

}  // namespace korvane::sim
