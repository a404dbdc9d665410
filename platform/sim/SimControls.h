#pragma once
// The two control interfaces of a simulated filter. IAMVideoProcAmp and IAMCameraControl have
// the same methods, so one implementation serves both, told apart by the controls it reads
// and the name its calls are counted and faulted under.

#include "platform/DirectShow9.h"
#include "platform/com/DelegatingPart.h"
#include "platform/sim/SimDriver.h"

namespace korvane::sim {

using com::DelegatingPart;

template <class Interface>
class SimControlPart final : public DelegatingPart<Interface> {
 public:
  using ControlMap = std::map<LONG, SimControl> SimDevice::*;

  SimControlPart(IUnknown& owner, const SimDriver& driver, const char* interfaceName,
                 ControlMap controls)
      : DelegatingPart<Interface>(owner),
        driver_(driver),
        controls_(controls),
        getRange_(std::string(interfaceName) + "::GetRange"),
        get_(std::string(interfaceName) + "::Get"),
        set_(std::string(interfaceName) + "::Set") {}

  HRESULT GetRange(LONG property, LONG* min, LONG* max, LONG* step, LONG* defaultValue,
                   LONG* caps) override {
    const SimCall call = driver_.Begin(getRange_, property);
    if (call.Failed()) return call.result;
    if (!min || !max || !step || !defaultValue || !caps) return E_POINTER;
    const SimControl* control = Find(*call.device, property);
    if (!control) return HRESULT_ERROR_NOT_FOUND;
    *min = control->min;
    *max = control->max;
    *step = control->step;
    *defaultValue = control->defaultValue;
    *caps = control->caps;
    return S_OK;
  }

  HRESULT Get(LONG property, LONG* value, LONG* flags) override {
    const SimCall call = driver_.Begin(get_, property);
    if (call.Failed()) return call.result;
    if (!value || !flags) return E_POINTER;
    const SimControl* control = Find(*call.device, property);
    if (!control) return HRESULT_ERROR_NOT_FOUND;
    *value = control->value;
    *flags = control->flags;
    return S_OK;
  }

  // Stores the value and the flags as given: range and mode checks are the driver's choice,
  // and this one leaves them to whoever configured it.
  HRESULT Set(LONG property, LONG value, LONG flags) override {
    const SimCall call = driver_.Begin(set_, property);
    if (call.Failed()) return call.result;
    return driver_.Change([&](SimDevice& device) {
      const auto found = (device.*controls_).find(property);
      if (found == (device.*controls_).end()) return HRESULT_ERROR_NOT_FOUND;
      found->second.value = value;
      found->second.flags = flags;
      return S_OK;
    });
  }

 private:
  const SimControl* Find(const SimDevice& device, LONG property) const {
    const auto found = (device.*controls_).find(property);
    return found == (device.*controls_).end() ? nullptr : &found->second;
  }

  const SimDriver& driver_;
  const ControlMap controls_;
  const std::string getRange_, get_, set_;
};

}  // namespace korvane::sim
