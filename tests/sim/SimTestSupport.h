#pragma once
// What the simulated-camera tests share: a fixture that proves every object and block of
// task memory was given back, and short ways to reach a device's interfaces.

#include <gtest/gtest.h>

#include "camera/FDirectShow9.h"
#include "platform/sim/SimCameras.h"
#include "platform/sim/SimMediaTypes.h"

namespace korvane::sim::testing {

class LeakCheckedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    objects_ = com::LiveObjectCount();
    blocks_ = com::OutstandingTaskMemoryBlocks();
  }
  void TearDown() override {
    EXPECT_EQ(com::LiveObjectCount(), objects_) << "objects not released";
    EXPECT_EQ(com::OutstandingTaskMemoryBlocks(), blocks_) << "task memory not freed";
  }

 private:
  std::size_t objects_ = 0, blocks_ = 0;
};

// The filter of the n-th enumerated video input device, through the device enumerator.
inline ComPtr<IBaseFilter> VideoFilter(std::size_t n = 0) {
  ComPtr<ICreateDevEnum> devEnum;
  ComPtr<IEnumMoniker> enumerator;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ICreateDevEnum, devEnum.ReleaseAndGetVoidAddressOf())) ||
      devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory,
                                     enumerator.ReleaseAndGetAddressOf(), 0) != S_OK) {
    return nullptr;
  }
  ComPtr<IMoniker> moniker;
  for (std::size_t i = 0; i <= n; ++i) {
    if (enumerator->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) != S_OK) return nullptr;
  }
  ComPtr<IBaseFilter> filter;
  moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.ReleaseAndGetVoidAddressOf());
  return filter;
}

// The first pin of the filter, whatever its category.
inline ComPtr<IPin> FirstPin(IBaseFilter* filter) {
  ComPtr<IEnumPins> pins;
  ComPtr<IPin> pin;
  if (FAILED(filter->EnumPins(pins.ReleaseAndGetAddressOf())) ||
      pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) != S_OK) {
    return nullptr;
  }
  return pin;
}

template <class Interface>
ComPtr<Interface> Query(IUnknown* object) {
  ComPtr<Interface> result;
  if (object) object->QueryInterface(IidOf<Interface>, result.ReleaseAndGetVoidAddressOf());
  return result;
}

// A camera with one control of each interface, one format and both records.
inline SimDevice SmallCamera(std::string name = "Test camera") {
  SimDevice device;
  device.friendlyName = std::move(name);
  device.videoProcAmp[VideoProcAmp_Brightness] = SimControl{-10, 10, 1, 0, 2, 3, 2};
  device.videoProcAmp[VideoProcAmp_Gain] = SimControl{0, 100, 5, 50, 3, 40, 1};
  device.cameraControl[CameraControl_Zoom] = SimControl{100, 400, 10, 100, 2, 200, 2};
  device.flash = SimKsRecord{2, 1};
  device.stabilization = SimKsRecord{4, 2};
  device.formats = {SimFormat{}};
  return device;
}

}  // namespace korvane::sim::testing
