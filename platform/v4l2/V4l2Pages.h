#pragma once
// The driver's own dialog: a property page for each class of controls the camera has (user
// controls, camera controls, ...), listing every control the driver offers, the ones the
// window's rows do not have included (menus, switches, buttons, vendor controls).

#include <vector>

#include "platform/com/Guid.h"
#include "platform/v4l2/V4l2Device.h"

namespace korvane::v4l2 {

// The page ids of the device's control classes, each page registered with the class registry
// so the property frame can create it.
HRESULT ControlPageIds(V4l2Device& device, std::vector<CLSID>* ids);

}  // namespace korvane::v4l2
