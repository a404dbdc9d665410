#pragma once
// Where "this control failed" ends and "this camera is gone" begins.

#include <exception>

#include "camera/FCameraErrors.h"

// The camera is gone, or cannot be reached at all, when the component's own checks fail (no
// device selected, none found, an interface missing) or a call reports the device not connected
// (unplugged) or not open to this user. Every other failure of a control call (the firmware's
// I/O errors, a time-out, busy, a refused value) is that control's: the camera still answers for
// the others.
inline bool IsCameraLostError(const std::exception& Error) {
  if (dynamic_cast<const EFCameraError*>(&Error)) return true;
  const auto* failed = dynamic_cast<const EOleSysError*>(&Error);
  return failed && (failed->ErrorCode() == HRESULT_ERROR_DEVICE_NOT_CONNECTED ||
                    failed->ErrorCode() == HRESULT_CAMERA_PERMISSION_DENIED);
}
