#pragma once
// An emulated Linux kernel with UVC cameras described in a JSON file, behind the same door as
// the real one: it answers every call as the kernel and the UVC driver do (-1 with errno,
// clamped values, menus with holes, inactive controls, EBUSY, ENODEV after unplugging), so the
// Video4Linux2 provider and the whole program can run on a machine without a camera.
//
// A file-backed kernel keeps the device state (control values, current format, plugged in or
// not) in its file: a change is written back, and a change another program makes to the file
// is seen at the next call. The file format is described in docs/emulated-uvc-cameras.md.
//
// Descriptors: each open file is known by a real descriptor of the process, which the system's
// poll, select and epoll see readable whenever the file may have something to report (an
// event, a frame due for the queue it owns, its camera gone, the camera file changed by
// another program), so a program's own event loop can wait on it; this kernel's Poll (or the
// next call) says what, with the driver's exact poll bits.
//
// Buffers: REQBUFS (memory-mapped only), QUERYBUF, QBUF, Mmap and Munmap, STREAMON and
// STREAMOFF work; no frames are produced yet, so DQBUF answers EAGAIN while streaming. As in
// the kernel, a mapping keeps its open file alive: a closed file that still has mapped buffers
// owns its queue until they are unmapped.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/v4l2/Kernel.h"

namespace korvane::v4l2::emulation {

class KernelCore;

class EmulatedKernel : public Kernel {
 public:
  // From JSON text (tests) or from a file (the program; state written back to it).
  // nullptr plus a one-line message in *error when the text is unusable.
  static std::shared_ptr<EmulatedKernel> FromJson(std::string_view json, std::string* error);
  static std::shared_ptr<EmulatedKernel> FromFile(const std::filesystem::path& file,
                                                  std::string* error);
  ~EmulatedKernel() override;

  int Open(const std::string& path, int flags) override;
  int Close(int fd) override;
  int Ioctl(int fd, unsigned long request, void* argument) override;
  int Poll(pollfd* fds, nfds_t count, int timeoutMs) override;
  void* Mmap(void* address, std::size_t length, int protection, int flags, int fd,
             off_t offset) override;
  int Munmap(void* address, std::size_t length) override;
  int ListDirectory(const std::string& path, std::vector<std::string>* names) override;
  int ReadLink(const std::string& path, std::string* target) override;
  int ReadTextFile(const std::string& path, std::string* contents) override;
  // A file-backed kernel only (ENOTSUP otherwise): its file's folder watched with inotify, so
  // a real poll(2) wakes when the file plugs a camera in.
  int WatchDevices() override;
  int ReadDeviceWatch(int watch, std::vector<std::string>* appeared) override;
  int CloseDeviceWatch(int watch) override;
  // A file-backed kernel only (ENOTSUP otherwise): the other processes on the same file tell
  // their open files of each node in a folder beside it, "<file>.users", watched with inotify.
  int WatchOpens(const std::string& path) override;
  int ReadOpenWatch(int watch, int* othersOpen) override;
  int CloseOpenWatch(int watch) override;
  int OpenWatchHolders(int watch, std::vector<int>* pids) override;
  // Its descriptors turn readable (POLLIN to the system) whenever it may have anything to
  // report; its own Poll then tells what.
  short SystemPollEvents(short /*events*/) const override { return POLLIN; }
  // Beside the camera file ("<file>.users"), shared by the programs on that file only; none
  // for cameras in memory.
  std::string NotesFolder() const override;

  // Test hooks, by the camera's "id":
  void Unplug(std::string_view camera);  // as pulling the cable
  void Replug(std::string_view camera);  // back under a new node number
  std::optional<int32_t> ControlValue(std::string_view camera, uint32_t cid) const;
  void SetControlValue(std::string_view camera, uint32_t cid, int32_t value);  // another program
  void InterruptNextCalls(int count);                   // EINTR for the next count calls
  std::size_t IoctlCount(unsigned long request) const;  // per request since the last reset
  std::size_t IoctlCount() const;                       // all
  void ResetCounts();
  // The UVC cache's misses: every transfer that reaches the camera (the first read of a
  // control's range and value, every read of a value the camera updates itself, every write,
  // every format negotiation), since the last reset.
  std::size_t DeviceTransfers(std::string_view camera) const;
  std::string NodePath(std::string_view camera) const;  // "/dev/videoN" now ("" when unplugged)

 private:
  explicit EmulatedKernel(std::unique_ptr<KernelCore> core);
  friend std::shared_ptr<Kernel> KernelFromEnvironment(bool* usable);

  // One lock around the whole kernel: calls come from the window and a streaming thread.
  std::unique_ptr<KernelCore> core_;
};

// KORVANE_V4L2_EMULATION: the kernel of that file, or nullptr (then use the C library); a bad
// file yields an empty emulated kernel after one line on stderr, and *usable false.
std::shared_ptr<Kernel> KernelFromEnvironment(bool* usable = nullptr);

}  // namespace korvane::v4l2::emulation
