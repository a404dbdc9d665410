#pragma once
// The emulated cameras behind the C library calls of a program that knows nothing of them:
// which paths and descriptors are theirs, the emulated kernel that answers for them, and the
// descriptors, mappings and epoll registrations the program holds of them.
//
// The library is loaded into programs we do not know, before their own start-up code runs:
// nothing here is built before the first call that needs it, nothing is ever torn down (a
// program's last calls at exit still find it), and every call the emulated kernel makes from
// inside goes straight to the C library.

#include <sys/epoll.h>
#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvane::v4l2 {
class Kernel;
}

namespace korvane::v4l2::preload {

// Marks a thread that is inside the emulated kernel, whose own calls are never emulated.
class Inside {
 public:
  Inside();
  ~Inside();
  Inside(const Inside&) = delete;
  Inside& operator=(const Inside&) = delete;
  static bool Now();
};

// What a path of the emulated namespace is.
struct PathEntry {
  enum class Kind : std::uint8_t { kMissing, kDevice, kLink, kDirectory, kTextFile };
  Kind kind = Kind::kMissing;
  int node = -1;       // a device, or where a link leads
  std::string target;  // a link's target as stored
};

// Whether a path belongs to the emulated cameras (the device nodes, udev's links, the
// Video4Linux2 class in sysfs); everything else is the machine's own.
bool EmulatedPath(const char* path);

// True for a descriptor the program holds of an emulated device node.
bool EmulatedDescriptor(int fd);

// One program's view of the emulated kernel; nullptr inside the kernel itself and when no
// camera file is given.
class Emulation {
 public:
  static Emulation* Get();

  Kernel& TheKernel() { return *kernel_; }

  PathEntry Lookup(const std::string& path, bool followLink);
  // The names of an emulated folder, or nullopt with errno set.
  std::optional<std::vector<std::string>> List(const std::string& path);
  std::optional<std::string> Text(const std::string& path);

  // open(2) of an emulated path: a descriptor of the process, or -1 with errno set.
  int Open(const std::string& path, int flags);
  // Takes an emulated descriptor out of the table as close(2) or dup2(2) onto it does; closes
  // the device in the kernel when it was the program's last descriptor of it.
  void Forget(int fd);
  // A copy of an emulated descriptor made by dup(2): the same open file.
  void Copied(int from, int to);
  int KernelFd(int fd) const;
  int Node(int fd) const;
  void Fill(int node, struct stat* status) const;

  // Buffers mapped through the emulated kernel, which munmap(2) must hand back to it.
  void Mapped(void* address);
  bool Unmapping(void* address);

  // epoll registrations of emulated descriptors, kept here: the system cannot wait on them.
  int EpollControl(int epoll, int operation, int fd, const epoll_event* event);
  std::vector<std::pair<int, epoll_event>> EpollEntries(int epoll);
  void EpollDisarm(int epoll, int fd);  // EPOLLONESHOT: reported once
  void EpollClosed(int epoll);

 private:
  explicit Emulation(std::shared_ptr<Kernel> kernel);
  std::shared_ptr<Kernel> kernel_;
};

// Whether any emulated descriptor was ever registered with an epoll instance; until then
// epoll calls pass straight through.
bool EpollInUse();
bool MappingsInUse();

}  // namespace korvane::v4l2::preload
