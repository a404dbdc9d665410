#pragma once
// The capture filter of a Video4Linux2 camera: one capture pin, the two control interfaces and
// the driver's own property pages, all on one open device node.

#include <memory>
#include <string>

#include "platform/DirectShow9.h"
#include "platform/v4l2/V4l2Device.h"

// How the driver's pages find the device behind the object the frame was opened for.
KORVANE_INTERFACE_ID(IV4l2DeviceAccess, "3E0C5F6A-91B2-4C7D-8E14-6A5B2C9D0F31");
struct IV4l2DeviceAccess : IUnknown {
  using ComBase = IUnknown;
  virtual std::shared_ptr<korvane::v4l2::V4l2Device> Device() = 0;
};

namespace korvane::v4l2 {

inline constexpr CLSID CLSID_V4l2CaptureFilter = MakeGuid("3E0C5F6A-91B2-4C7D-8E14-6A5B2C9D0F30");

// The filter, queried for iid. friendlyName is what it calls itself outside a graph.
HRESULT CreateV4l2Filter(std::shared_ptr<V4l2Device> device, std::string friendlyName, REFIID iid,
                         void** object);

}  // namespace korvane::v4l2
