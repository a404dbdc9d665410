#pragma once
// The property bag a device moniker hands out: the device's name, path, description and
// wave-in id as the fields "FriendlyName", "DevicePath", "Description" (strings) and
// "WaveInID" (a 32-bit integer).

#include "platform/DirectShow9.h"
#include "platform/devices/DeviceProvider.h"

namespace korvane::devices {

ComPtr<IPropertyBag> MakePropertyBag(DeviceProperties properties);

}  // namespace korvane::devices
