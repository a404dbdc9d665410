#pragma once
// The simulated capture filter of one device: IBaseFilter with its capture pin and the
// device's control interfaces.

#include "platform/DirectShow9.h"
#include "platform/sim/SimDriver.h"

namespace korvane::sim {

// Creates the filter of the device and queries it for iid.
HRESULT CreateSimFilter(const SimDriver& driver, REFIID iid, void** object);

}  // namespace korvane::sim
