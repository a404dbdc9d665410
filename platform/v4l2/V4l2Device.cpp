#include "platform/v4l2/V4l2Device.h"

#include <fcntl.h>

#include <utility>

namespace korvane::v4l2 {

int DeviceOpenFlags() {
  return O_RDWR | O_NONBLOCK | O_CLOEXEC;
}

V4l2Device::V4l2Device(Door door, std::string nodePath)
    : door_(std::move(door)), nodePath_(std::move(nodePath)) {}

int V4l2Device::Descriptor() {
  std::lock_guard lock(openMutex_);
  if (!fd_) {
    const int fd = door_.Open(nodePath_, DeviceOpenFlags());
    if (fd < 0) return fd;
    fd_ = UniqueFd(door_, fd);
  }
  return fd_.Get();
}

int V4l2Device::Ioctl(unsigned long request, void* argument) {
  const int fd = Descriptor();
  if (fd < 0) return -fd;
  return door_.Ioctl(fd, request, argument);
}

HRESULT V4l2Device::EnsureOpen() {
  const int fd = Descriptor();
  return fd < 0 ? ResultFromErrno(-fd, CallKind::Open) : S_OK;
}

HRESULT V4l2Device::Call(unsigned long request, void* argument, CallKind kind) {
  const int fd = Descriptor();
  if (fd < 0) return ResultFromErrno(-fd, CallKind::Open);
  return ResultFromErrno(door_.Ioctl(fd, request, argument), kind);
}

}  // namespace korvane::v4l2
