#pragma once
// The one door between the Video4Linux2 provider and the kernel. Every system call of the
// provider (device files, controls, formats, buffers, and the directory, link and sysfs reads
// of listing) goes through a Kernel, so the same provider runs on the machine's real kernel
// (the C library) or on an emulated one with cameras described in a file.
//
// A Kernel answers exactly as the system calls do: -1 (MAP_FAILED for Mmap) with errno set on
// failure. It may be interrupted (EINTR) like a real kernel; Door retries that, and nothing
// above Door ever sees it.

#include <poll.h>
#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvane::v4l2 {

class Kernel {
 public:
  virtual ~Kernel() = default;

  // open(2) of a device node (O_RDWR | O_CLOEXEC | O_NONBLOCK as the provider asks).
  virtual int Open(const std::string& path, int flags) = 0;
  virtual int Close(int fd) = 0;
  virtual int Ioctl(int fd, unsigned long request, void* argument) = 0;
  virtual int Poll(pollfd* fds, nfds_t count, int timeoutMs) = 0;
  virtual void* Mmap(void* address, std::size_t length, int protection, int flags, int fd,
                     off_t offset) = 0;
  virtual int Munmap(void* address, std::size_t length) = 0;

  // Listing. The names of a directory's entries without "." and "..", in no particular order.
  virtual int ListDirectory(const std::string& path, std::vector<std::string>* names) = 0;
  // readlink(2): the link's target as stored (often relative).
  virtual int ReadLink(const std::string& path, std::string* target) = 0;
  // The contents of a small text file (sysfs attributes), links in the path followed.
  virtual int ReadTextFile(const std::string& path, std::string* contents) = 0;

  // Plugging in. WatchDevices gives a descriptor of this process, for poll(2) beside the
  // caller's own descriptors, that turns readable when a device node or one of its by-id or
  // by-path links may have come or changed its permissions.
  virtual int WatchDevices() = 0;
  // Takes what made the watch readable and appends the paths that came or changed ("/dev/video2",
  // "/dev/v4l/by-id/..."); nothing pending is no error. Whatever was appended before a failure
  // stays valid, so a call retried after EINTR loses nothing.
  virtual int ReadDeviceWatch(int watch, std::vector<std::string>* appeared) = 0;
  virtual int CloseDeviceWatch(int watch) = 0;

  // Another program using a camera. WatchOpens gives a descriptor of this process, for poll(2)
  // beside the caller's own, that turns readable when a process may have opened or closed the
  // node (the kernel's file watch: IN_OPEN and IN_CLOSE on the node, never a time-out).
  virtual int WatchOpens(const std::string& path) = 0;
  // Takes what made the watch readable and tells how many open files of the node other
  // processes hold now, as far as this process can see them; this process's own are left out.
  virtual int ReadOpenWatch(int watch, int* othersOpen) = 0;
  virtual int CloseOpenWatch(int watch) = 0;
  // The processes other than this one that hold the watched node open now, as far as this
  // process can see them (a real kernel shows only the user's own processes).
  virtual int OpenWatchHolders(int watch, std::vector<int>* pids) = 0;

  // What to ask the system's poll(2) for, beside the caller's own descriptors, to learn of the
  // given events on one of this kernel's device descriptors. A real node reports control events
  // as POLLPRI (and POLLIN only for a queue that streams: asked while it does not, it answers
  // POLLERR at once).
  virtual short SystemPollEvents(short events) const { return events; }

  // A folder where the programs of this project on this kernel leave notes for each other
  // about its devices (UserChanges.h), "" for none. Not created here.
  virtual std::string NotesFolder() const = 0;
};

// The machine's own kernel.
std::shared_ptr<Kernel> MakeLibcKernel();

// The calls the provider makes, with EINTR retried. Each returns the error number of a
// failure and 0 on success, except Open, Poll and WatchDevices, which return their result or
// -errno.
class Door {
 public:
  explicit Door(std::shared_ptr<Kernel> kernel) : kernel_(std::move(kernel)) {}

  // The new descriptor, or -errno.
  int Open(const std::string& path, int flags) const;
  // 0 or errno. close(2) is not retried on EINTR: the descriptor is gone either way.
  int Close(int fd) const;
  int Ioctl(int fd, unsigned long request, void* argument) const;
  // The number of ready descriptors (0 on time-out), or -errno.
  int Poll(pollfd* fds, nfds_t count, int timeoutMs) const;
  // The mapping, or nullptr with *error set.
  void* Mmap(std::size_t length, int protection, int flags, int fd, off_t offset, int* error) const;
  int Munmap(void* address, std::size_t length) const;
  int ListDirectory(const std::string& path, std::vector<std::string>* names) const;
  int ReadLink(const std::string& path, std::string* target) const;
  int ReadTextFile(const std::string& path, std::string* contents) const;
  // The watch's descriptor, or -errno.
  int WatchDevices() const;
  int ReadDeviceWatch(int watch, std::vector<std::string>* appeared) const;
  int CloseDeviceWatch(int watch) const;
  // The watch's descriptor, or -errno.
  int WatchOpens(const std::string& path) const;
  int ReadOpenWatch(int watch, int* othersOpen) const;
  int CloseOpenWatch(int watch) const;
  int OpenWatchHolders(int watch, std::vector<int>* pids) const;
  short SystemPollEvents(short events) const { return kernel_->SystemPollEvents(events); }

  Kernel& kernel() const { return *kernel_; }
  const std::shared_ptr<Kernel>& SharedKernel() const { return kernel_; }

 private:
  std::shared_ptr<Kernel> kernel_;
};

// An open device node, or a device watch: closed through its door when the last owner lets
// it go.
class UniqueFd {
 public:
  using Closer = int (Door::*)(int) const;

  UniqueFd() = default;
  UniqueFd(Door door, int fd, Closer close = &Door::Close)
      : door_(std::move(door)), fd_(fd), close_(close) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept
      : door_(other.door_), fd_(other.Release()), close_(other.close_) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Reset();
      door_ = other.door_;
      close_ = other.close_;
      fd_ = other.Release();
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int Get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset() {
    if (fd_ >= 0 && door_) ((*door_).*close_)(fd_);
    fd_ = -1;
  }

 private:
  std::optional<Door> door_;
  int fd_ = -1;
  Closer close_ = &Door::Close;
};

}  // namespace korvane::v4l2
