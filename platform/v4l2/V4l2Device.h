#pragma once
// One camera node as a filter and its pages share it: the node is opened on first use and
// stays open for the filter's life, like a program that holds a camera. Opening again is
// tried at each call until it works, so a user who is given access later need not restart.

#include <mutex>
#include <string>

#include "platform/com/ComTypes.h"
#include "platform/v4l2/Kernel.h"
#include "platform/v4l2/V4l2Errors.h"

namespace korvane::v4l2 {

class V4l2Device {
 public:
  V4l2Device(Door door, std::string nodePath);
  V4l2Device(const V4l2Device&) = delete;
  V4l2Device& operator=(const V4l2Device&) = delete;

  // 0 or the errno of the call (or of opening the node).
  int Ioctl(unsigned long request, void* argument);
  // The result code of an ioctl: ResultFromErrno of its error, where an error of the opening
  // is reported as an open error.
  HRESULT Call(unsigned long request, void* argument, CallKind kind);

  // S_OK once the node is open, else why it cannot be: for callers that map the errors of
  // their own calls by what the call means.
  HRESULT EnsureOpen();

  const std::string& NodePath() const { return nodePath_; }
  const Door& GetDoor() const { return door_; }
  // The descriptor (opened now if it is not yet), or -errno of the failed open: for poll(2),
  // where events for it are waited for.
  int Descriptor();

 private:
  // An ioctl on the open descriptor, an unplugging camera's error read as ENODEV.
  int IoctlOn(int fd, unsigned long request, void* argument) const;

  const Door door_;
  const std::string nodePath_;
  std::mutex openMutex_;
  UniqueFd fd_;
};

// The node's flags as the provider opens it: never blocking the caller, never inherited.
int DeviceOpenFlags();

// Whether an error of a call on fd means that its camera is being unplugged. A USB transfer to
// a camera whose cable is pulled fails with EPROTO, ESHUTDOWN, ETIMEDOUT or EIO a moment
// before the node goes; ESHUTDOWN always means it, the others when the node is found going
// (at once, or after a short wait for the USB core to finish). ENODEV is gone already.
bool NodeIsGoingAway(const Door& door, int fd, int error);

}  // namespace korvane::v4l2
