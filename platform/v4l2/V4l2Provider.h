#pragma once
// The device provider of the Video4Linux2 cameras: the capture nodes of the given kernel, in
// node order, listed afresh at each enumeration.

#include <memory>

#include "platform/devices/DeviceProvider.h"
#include "platform/v4l2/Kernel.h"

namespace korvane::v4l2 {

std::shared_ptr<devices::DeviceProvider> MakeV4l2Provider(std::shared_ptr<Kernel> kernel);

}  // namespace korvane::v4l2
