#include "platform/sim/SimDriver.h"

#include <string>
#include <thread>
#include <utility>

namespace korvane::sim {
namespace {

std::optional<HRESULT> ConfiguredFault(const SimDevice& device, std::string_view call,
                                       std::optional<LONG> index) {
  if (device.faults.empty()) return std::nullopt;
  std::string key(call);
  if (index) {
    // A fault for one property index wins over one for the whole method.
    const auto exact = device.faults.find(key + '#' + std::to_string(*index));
    if (exact != device.faults.end()) return exact->second;
  }
  const auto general = device.faults.find(key);
  if (general != device.faults.end()) return general->second;
  return std::nullopt;
}

}  // namespace

SimDriver::SimDriver(std::shared_ptr<SimStore> store, std::size_t deviceIndex)
    : store_(std::move(store)), deviceIndex_(deviceIndex) {}

SimCall SimDriver::Peek() const {
  SimCall call;
  call.state = store_->Snapshot();
  if (deviceIndex_ < call.state->devices.size() && !call.state->devices[deviceIndex_].absent) {
    call.device = &call.state->devices[deviceIndex_];
  } else {
    call.result = HRESULT_ERROR_DEVICE_NOT_CONNECTED;
  }
  return call;
}

SimCall SimDriver::Begin(std::string_view name, std::optional<LONG> index) const {
  store_->CountCall(name, index);
  SimCall call = Peek();
  if (!call.device) return call;
  if (call.device->latency.count() > 0) std::this_thread::sleep_for(call.device->latency);
  if (const auto fault = ConfiguredFault(*call.device, name, index)) call.result = *fault;
  return call;
}

HRESULT SimDriver::Change(const std::function<HRESULT(SimDevice&)>& change) const {
  HRESULT result = HRESULT_ERROR_DEVICE_NOT_CONNECTED;
  const bool stored = store_->Modify([&](SimDescription& description) {
    if (deviceIndex_ < description.devices.size() && !description.devices[deviceIndex_].absent) {
      result = change(description.devices[deviceIndex_]);
    }
  });
  return stored ? result : HRESULT_ERROR_GEN_FAILURE;
}

bool SimDriver::Lacks(std::string_view interfaceName) const {
  const SimCall call = Peek();
  if (!call.device) return false;  // an unplugged device keeps its interfaces; calls fail instead
  return call.device->missingInterfaces.contains(std::string(interfaceName));
}

}  // namespace korvane::sim
