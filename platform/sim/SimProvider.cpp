// Puts the devices of a store in front of device enumeration.

#include "platform/sim/SimProvider.h"

#include <utility>

#include "platform/DirectShow9.h"
#include "platform/graph/GraphClasses.h"
#include "platform/sim/SimFilter.h"
#include "platform/sim/SimPages.h"

namespace korvane::sim {
namespace {

const GUID& CategoryId(SimCategory category) {
  switch (category) {
    case SimCategory::VideoInput:
      return CLSID_VideoInputDeviceCategory;
    case SimCategory::AudioInput:
      return CLSID_AudioInputDeviceCategory;
    case SimCategory::VideoCompressor:
      return CLSID_VideoCompressorCategory;
    case SimCategory::AudioCompressor:
      return CLSID_AudioCompressorCategory;
  }
  return GUID_NULL;
}

class SimDeviceEntry final : public devices::DeviceEntry {
 public:
  explicit SimDeviceEntry(SimDriver driver) : driver_(std::move(driver)) {}

  HRESULT ReadProperties(devices::DeviceProperties* properties) override {
    const SimCall call = driver_.Begin("IMoniker::BindToStorage");
    if (call.Failed()) return call.result;
    if (call.device->noPropertyBag) return E_FAIL;
    properties->friendlyName = call.device->friendlyName;
    properties->devicePath = call.device->devicePath;
    properties->description = call.device->description;
    properties->waveInId = call.device->waveInId;
    return S_OK;
  }

  HRESULT BindToObject(REFIID iid, void** object) override {
    const SimCall call = driver_.Begin("IMoniker::BindToObject");
    if (call.Failed()) return call.result;
    if (call.device->unbindable) return E_FAIL;
    // A video compressor is our Motion JPEG compressor under the device's name.
    if (call.device->category == SimCategory::VideoCompressor) {
      return graph::CreateMjpegEncoder(iid, object);
    }
    return CreateSimFilter(driver_, iid, object);
  }

 private:
  SimDriver driver_;
};

class SimProvider final : public devices::DeviceProvider {
 public:
  explicit SimProvider(std::shared_ptr<SimStore> store) : store_(std::move(store)) {}

  std::vector<std::shared_ptr<devices::DeviceEntry>> Enumerate(const GUID& category) override {
    std::vector<std::shared_ptr<devices::DeviceEntry>> entries;
    const auto state = store_->Snapshot();
    for (std::size_t i = 0; i < state->devices.size(); ++i) {
      const SimDevice& device = state->devices[i];
      if (device.absent || CategoryId(device.category) != category) continue;
      entries.push_back(std::make_shared<SimDeviceEntry>(SimDriver(store_, i)));
    }
    return entries;
  }

 private:
  std::shared_ptr<SimStore> store_;
};

}  // namespace

std::shared_ptr<devices::DeviceProvider> MakeSimProvider(std::shared_ptr<SimStore> store) {
  RegisterSimPages();
  return std::make_shared<SimProvider>(std::move(store));
}

}  // namespace korvane::sim
