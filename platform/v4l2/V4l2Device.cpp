#include "platform/v4l2/V4l2Device.h"

#include <fcntl.h>
#include <linux/videodev2.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

namespace korvane::v4l2 {
namespace {

// How long the USB core may take from a failed transfer to removing the node.
constexpr std::chrono::milliseconds kUnplugSettling{30};

}  // namespace

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

bool NodeIsGoingAway(const Door& door, int fd, int error) {
  switch (error) {
    case ENODEV:
    case ESHUTDOWN:
      return true;
    case EPROTO:
    case ETIMEDOUT:
    case EIO:
      break;
    default:
      return false;
  }
  const auto gone = [&] {
    v4l2_capability capability{};
    return door.Ioctl(fd, VIDIOC_QUERYCAP, &capability) == ENODEV;
  };
  if (gone()) return true;
  std::this_thread::sleep_for(kUnplugSettling);
  return gone();
}

// An error of a camera being unplugged reads as the camera gone, on every path.
int V4l2Device::IoctlOn(int fd, unsigned long request, void* argument) const {
  const int error = door_.Ioctl(fd, request, argument);
  return error != 0 && NodeIsGoingAway(door_, fd, error) ? ENODEV : error;
}

int V4l2Device::Ioctl(unsigned long request, void* argument) {
  const int fd = Descriptor();
  return fd < 0 ? -fd : IoctlOn(fd, request, argument);
}

HRESULT V4l2Device::EnsureOpen() {
  const int fd = Descriptor();
  return fd < 0 ? ResultFromErrno(-fd, CallKind::Open) : S_OK;
}

HRESULT V4l2Device::Call(unsigned long request, void* argument, CallKind kind) {
  const int fd = Descriptor();
  if (fd < 0) return ResultFromErrno(-fd, CallKind::Open);
  return ResultFromErrno(IoctlOn(fd, request, argument), kind);
}

}  // namespace korvane::v4l2
