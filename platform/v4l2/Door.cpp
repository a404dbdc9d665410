#include <sys/mman.h>

#include <cerrno>

#include "platform/v4l2/Kernel.h"

namespace korvane::v4l2 {
namespace {

// Runs a call until it is not interrupted; the call's result and errno come back unchanged.
template <class Call>
auto Retried(Call call) {
  for (;;) {
    errno = 0;
    auto result = call();
    if (!(result == decltype(result)(-1) && errno == EINTR)) return result;
  }
}

int ErrorOf(int result) {
  return result == -1 ? (errno != 0 ? errno : EIO) : 0;
}

}  // namespace

int Door::Open(const std::string& path, int flags) const {
  const int fd = Retried([&] { return kernel_->Open(path, flags); });
  return fd >= 0 ? fd : -ErrorOf(fd);
}

int Door::Close(int fd) const {
  return ErrorOf(kernel_->Close(fd));
}

int Door::Ioctl(int fd, unsigned long request, void* argument) const {
  return ErrorOf(Retried([&] { return kernel_->Ioctl(fd, request, argument); }));
}

int Door::Poll(pollfd* fds, nfds_t count, int timeoutMs) const {
  const int ready = Retried([&] { return kernel_->Poll(fds, count, timeoutMs); });
  return ready >= 0 ? ready : -ErrorOf(ready);
}

void* Door::Mmap(std::size_t length, int protection, int flags, int fd, off_t offset,
                 int* error) const {
  errno = 0;
  void* mapping = kernel_->Mmap(nullptr, length, protection, flags, fd, offset);
  while (mapping == MAP_FAILED && errno == EINTR) {
    errno = 0;
    mapping = kernel_->Mmap(nullptr, length, protection, flags, fd, offset);
  }
  if (mapping == MAP_FAILED) {
    if (error) *error = errno != 0 ? errno : EIO;
    return nullptr;
  }
  if (error) *error = 0;
  return mapping;
}

int Door::Munmap(void* address, std::size_t length) const {
  return ErrorOf(Retried([&] { return kernel_->Munmap(address, length); }));
}

int Door::ListDirectory(const std::string& path, std::vector<std::string>* names) const {
  return ErrorOf(Retried([&] { return kernel_->ListDirectory(path, names); }));
}

int Door::ReadLink(const std::string& path, std::string* target) const {
  return ErrorOf(Retried([&] { return kernel_->ReadLink(path, target); }));
}

int Door::ReadTextFile(const std::string& path, std::string* contents) const {
  return ErrorOf(Retried([&] { return kernel_->ReadTextFile(path, contents); }));
}

int Door::WatchDevices() const {
  const int fd = Retried([&] { return kernel_->WatchDevices(); });
  return fd >= 0 ? fd : -ErrorOf(fd);
}

int Door::ReadDeviceWatch(int watch, std::vector<std::string>* appeared) const {
  return ErrorOf(Retried([&] { return kernel_->ReadDeviceWatch(watch, appeared); }));
}

int Door::CloseDeviceWatch(int watch) const {
  return ErrorOf(kernel_->CloseDeviceWatch(watch));
}

int Door::WatchOpens(const std::string& path) const {
  const int fd = Retried([&] { return kernel_->WatchOpens(path); });
  return fd >= 0 ? fd : -ErrorOf(fd);
}

int Door::ReadOpenWatch(int watch, int* othersOpen) const {
  return ErrorOf(Retried([&] { return kernel_->ReadOpenWatch(watch, othersOpen); }));
}

int Door::OpenWatchHolders(int watch, std::vector<int>* pids) const {
  return ErrorOf(Retried([&] { return kernel_->OpenWatchHolders(watch, pids); }));
}

int Door::CloseOpenWatch(int watch) const {
  return ErrorOf(kernel_->CloseOpenWatch(watch));
}

}  // namespace korvane::v4l2
