#include "platform/v4l2/V4l2Errors.h"

#include <cerrno>

namespace korvane::v4l2 {

HRESULT ResultFromErrno(int error, CallKind kind) {
  switch (error) {
    case 0:
      return S_OK;
    case EINVAL:
      return kind == CallKind::ControlQuery ? HRESULT_ERROR_NOT_FOUND : E_INVALIDARG;
    case ERANGE:
      return E_INVALIDARG;
    case EACCES:
    case EPERM:
      if (kind == CallKind::Open) return HRESULT_CAMERA_PERMISSION_DENIED;
      return kind == CallKind::ControlWrite ? HRESULT_CONTROL_IS_AUTOMATIC : E_ACCESSDENIED;
    case EBUSY:
      return HRESULT_ERROR_BUSY;
    case ENODEV:
    case ENXIO:
    case ENOENT:
      return HRESULT_ERROR_DEVICE_NOT_CONNECTED;
    case ETIMEDOUT:
      return HRESULT_ERROR_TIMEOUT;
    case ENOTTY:
      return E_NOTIMPL;
    case ENOMEM:
      return E_OUTOFMEMORY;
    default:  // EIO, EPIPE, EPROTO, EILSEQ, EREMOTE and whatever else a device answers
      return E_FAIL;
  }
}

}  // namespace korvane::v4l2
