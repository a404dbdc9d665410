// ioctl(2) and buffer mappings of the emulated device nodes. The emulated kernel answers as a
// descriptor opened with O_NONBLOCK does; a program that opened its node blocking waits here,
// as the driver would make it wait, for a frame or an event.

#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstdarg>

#include "platform/v4l2/Kernel.h"
#include "platform/v4l2/preload/Emulation.h"
#include "platform/v4l2/preload/NextCall.h"

#define KORVANE_EXPORT extern "C" __attribute__((visibility("default")))

namespace korvane::v4l2::preload {
namespace {

bool Blocking(int fd) {
  const int flags = KORVANE_NEXT(fcntl)(fd, F_GETFL);
  return flags >= 0 && !(flags & O_NONBLOCK);
}

// The kernel's poll for one device: what it has to report, after waiting up to timeoutMs.
short Wait(Emulation& emulation, int kernelFd, short events, int timeoutMs) {
  pollfd entry{kernelFd, events, 0};
  Inside inside;
  return emulation.TheKernel().Poll(&entry, 1, timeoutMs) > 0 ? entry.revents : 0;
}

int DeviceIoctl(Emulation& emulation, int fd, unsigned long request, void* argument) {
  const int kernelFd = emulation.KernelFd(fd);
  for (;;) {
    int result = 0;
    int error = 0;
    {
      Inside inside;
      result = emulation.TheKernel().Ioctl(kernelFd, request, argument);
      error = errno;
    }
    // vb2 and the event core wait on a blocking descriptor; the emulated kernel never does.
    const bool frameLater = request == VIDIOC_DQBUF && error == EAGAIN;
    const bool eventLater = request == VIDIOC_DQEVENT && error == ENOENT;
    if (result >= 0 || !(frameLater || eventLater) || !Blocking(fd)) {
      errno = error;
      return result;
    }
    const short ready = Wait(emulation, kernelFd, frameLater ? POLLIN : POLLPRI, -1);
    // Nothing will come: a queue that stopped streaming, a device that is gone. The next call
    // tells which.
    if (ready & (POLLERR | POLLHUP | POLLNVAL)) {
      Inside inside;
      return emulation.TheKernel().Ioctl(kernelFd, request, argument);
    }
  }
}

}  // namespace
}  // namespace korvane::v4l2::preload

using namespace korvane::v4l2::preload;

KORVANE_EXPORT int ioctl(int fd, unsigned long request, ...) {
  va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  if (EmulatedDescriptor(fd)) {
    if (Emulation* emulation = Emulation::Get()) {
      return DeviceIoctl(*emulation, fd, request, argument);
    }
  }
  return KORVANE_NEXT(ioctl)(fd, request, argument);
}

KORVANE_EXPORT void* mmap(void* address, size_t length, int protection, int flags, int fd,
                          off_t offset) {
  if (EmulatedDescriptor(fd)) {
    if (Emulation* emulation = Emulation::Get()) {
      void* mapping = nullptr;
      int error = 0;
      {
        Inside inside;
        mapping = emulation->TheKernel().Mmap(address, length, protection, flags,
                                              emulation->KernelFd(fd), offset);
        error = errno;
      }
      if (mapping != MAP_FAILED) emulation->Mapped(mapping);
      errno = error;
      return mapping;
    }
  }
  return KORVANE_NEXT(mmap)(address, length, protection, flags, fd, offset);
}

KORVANE_EXPORT void* mmap64(void* address, size_t length, int protection, int flags, int fd,
                            off64_t offset) {
  return mmap(address, length, protection, flags, fd, static_cast<off_t>(offset));
}

KORVANE_EXPORT int munmap(void* address, size_t length) {
  if (MappingsInUse()) {
    Emulation* emulation = Emulation::Get();
    if (emulation && emulation->Unmapping(address)) {
      Inside inside;
      const int result = emulation->TheKernel().Munmap(address, length);
      // A part of a buffer cannot be unmapped; the buffer stays mapped.
      if (result != 0) emulation->Mapped(address);
      return result;
    }
  }
  return KORVANE_NEXT(munmap)(address, length);
}
