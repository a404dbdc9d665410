#pragma once
// One simulated device as its interfaces reach it. Every interface method starts a driver
// call here: the call is counted, waits the device's latency, and answers "not connected"
// for an unplugged device or the configured fault before the method does its own work. The
// state is read from the store on every call, so a change made by another process shows at
// the next call.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/sim/SimCameras.h"

namespace korvane::sim {

// The state one driver call works on. device is nullptr when the device is gone.
struct SimCall {
  HRESULT result = S_OK;
  std::shared_ptr<const SimDescription> state;
  const SimDevice* device = nullptr;

  bool Failed() const { return FAILED(result); }
};

class SimDriver {
 public:
  SimDriver(std::shared_ptr<SimStore> store, std::size_t deviceIndex);

  // Starts a driver call named like a fault key ("IAMVideoProcAmp::Get"); index is the
  // property index a fault key may add ("IAMVideoProcAmp::Get#9").
  SimCall Begin(std::string_view call, std::optional<LONG> index = std::nullopt) const;

  // The device's current state without counting a call (interface queries, lookups).
  SimCall Peek() const;

  // Changes the device in the store. The change sees the latest state and returns the result
  // of the call; a device gone in the meantime answers "not connected", a store that cannot
  // write answers HRESULT_ERROR_GEN_FAILURE.
  HRESULT Change(const std::function<HRESULT(SimDevice&)>& change) const;

  // Whether the device currently lacks an interface ("IAMCameraControl", "CapturePin", ...).
  bool Lacks(std::string_view interfaceName) const;

  SimStore& Store() const { return *store_; }
  std::size_t DeviceIndex() const { return deviceIndex_; }

 private:
  std::shared_ptr<SimStore> store_;
  std::size_t deviceIndex_;
};

}  // namespace korvane::sim
