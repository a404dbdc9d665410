#include "platform/v4l2/preload/Emulation.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string_view>

#include "platform/v4l2/Kernel.h"
#include "platform/v4l2/emulation/EmulatedKernel.h"

namespace korvane::v4l2::preload {
namespace {

// The Video4Linux2 character devices' major number.
constexpr unsigned kVideoMajor = 81;
// Descriptors the program may hold of emulated nodes; higher ones are refused with EMFILE.
constexpr int kMaxDescriptors = 1 << 16;

constexpr std::string_view kDev = "/dev/video";
constexpr std::string_view kUdev = "/dev/v4l";
constexpr std::string_view kSysClass = "/sys/class/video4linux";
constexpr std::string_view kSysChar = "/sys/dev/char/81:";

// Plain arrays of atomics are built before any code runs, so a call that comes before this
// library's own start-up (another library's constructor) finds them ready.
std::array<std::atomic<int>, kMaxDescriptors> kernelFds{};  // the kernel's descriptor + 1
std::array<std::atomic<int>, kMaxDescriptors> nodes{};
std::atomic<bool> epollInUse{false};
std::atomic<bool> mappingsInUse{false};

__attribute__((tls_model("initial-exec"))) thread_local int insideDepth = 0;

// The tables behind the atomics, under one lock; never destroyed.
struct Tables {
  std::mutex mutex;
  std::map<int, int> references;  // kernel descriptor -> the program's descriptors of it
  std::set<void*> mappings;
  std::map<int, std::map<int, epoll_event>> epolls;
};

Tables& TheTables() {
  static Tables* tables = new Tables;
  return *tables;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// "videoN" -> N.
std::optional<int> VideoNumber(std::string_view name) {
  if (!StartsWith(name, "video") || name.size() == 5 || name[5] < '0' || name[5] > '9') {
    return std::nullopt;
  }
  int number = 0;
  const auto [end, error] = std::from_chars(name.data() + 5, name.data() + name.size(), number);
  if (error != std::errc() || end != name.data() + name.size()) return std::nullopt;
  return number;
}

// Without trailing slashes, and with runs of slashes made one, as the kernel reads a path.
std::string Normal(std::string_view path) {
  std::string normal;
  for (const char c : path) {
    if (c == '/' && !normal.empty() && normal.back() == '/') continue;
    normal += c;
  }
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

std::string ClassPath(const std::string& path);

}  // namespace

Inside::Inside() {
  ++insideDepth;
}

Inside::~Inside() {
  --insideDepth;
}

bool Inside::Now() {
  return insideDepth > 0;
}

bool EmulatedPath(const char* path) {
  if (!path || path[0] != '/') return false;
  const std::string_view text(path);
  return (StartsWith(text, kDev) && text.size() > kDev.size()) ||
         (StartsWith(text, kUdev) && (text.size() == kUdev.size() || text[kUdev.size()] == '/')) ||
         (StartsWith(text, kSysClass) &&
          (text.size() == kSysClass.size() || text[kSysClass.size()] == '/')) ||
         StartsWith(text, kSysChar);
}

bool EmulatedDescriptor(int fd) {
  return fd >= 0 && fd < kMaxDescriptors && kernelFds[fd].load(std::memory_order_acquire) != 0;
}

bool EpollInUse() {
  return epollInUse.load(std::memory_order_acquire);
}

bool MappingsInUse() {
  return mappingsInUse.load(std::memory_order_acquire);
}

Emulation::Emulation(std::shared_ptr<Kernel> kernel) : kernel_(std::move(kernel)) {}

Emulation* Emulation::Get() {
  if (Inside::Now()) return nullptr;
  static std::atomic<Emulation*> instance{nullptr};
  static std::atomic<bool> none{false};
  if (Emulation* ready = instance.load(std::memory_order_acquire)) return ready;
  if (none.load(std::memory_order_acquire)) return nullptr;
  static std::mutex creating;
  const int savedErrno = errno;
  std::lock_guard lock(creating);
  if (!instance.load() && !none.load()) {
    Inside inside;
    // A broken file has been told on one line of standard error; its kernel has no cameras
    // until the file is repaired.
    std::shared_ptr<Kernel> kernel = emulation::KernelFromEnvironment();
    if (kernel) {
      instance.store(new Emulation(std::move(kernel)), std::memory_order_release);
    } else {
      none.store(true, std::memory_order_release);
    }
  }
  errno = savedErrno;
  return instance.load(std::memory_order_acquire);
}

namespace {

// sysfs's folder of a character device by its numbers, /sys/dev/char/81:N, is the node's
// folder in the class.
std::string ClassPath(const std::string& path) {
  if (!StartsWith(path, kSysChar)) return path;
  const std::string_view rest = std::string_view(path).substr(kSysChar.size());
  const auto slash = rest.find('/');
  const std::string_view minor = rest.substr(0, slash);
  if (minor.empty() || minor.find_first_not_of("0123456789") != std::string_view::npos) {
    return path;
  }
  return std::string(kSysClass) + "/video" + std::string(minor) +
         (slash == std::string_view::npos ? "" : std::string(rest.substr(slash)));
}

}  // namespace

PathEntry Emulation::Lookup(const std::string& raw, bool followLink) {
  const std::string path = ClassPath(Normal(raw));
  const std::string_view text(path);
  PathEntry entry;
  if (StartsWith(text, kSysChar)) return entry;
  if (StartsWith(text, "/dev/video")) {
    const auto number = VideoNumber(text.substr(5));
    const auto present = List(std::string(kSysClass));
    if (number && present &&
        std::find(present->begin(), present->end(), "video" + std::to_string(*number)) !=
            present->end()) {
      entry.kind = PathEntry::Kind::kDevice;
      entry.node = *number;
    }
    return entry;
  }
  if (StartsWith(text, kUdev)) {
    std::string target;
    Inside inside;
    if (kernel_->ReadLink(path, &target) == 0) {
      const auto number = VideoNumber(std::string_view(target).substr(target.rfind('/') + 1));
      if (!number) return entry;
      entry.node = *number;
      entry.target = target;
      entry.kind = followLink ? PathEntry::Kind::kDevice : PathEntry::Kind::kLink;
      return entry;
    }
    std::vector<std::string> names;
    if (kernel_->ListDirectory(path, &names) == 0) entry.kind = PathEntry::Kind::kDirectory;
    return entry;
  }
  // The class folder, a node's folder in it, or one of its attributes.
  if (path == kSysClass) {
    entry.kind = PathEntry::Kind::kDirectory;
    return entry;
  }
  const std::string_view rest = text.substr(kSysClass.size() + 1);
  const auto slash = rest.find('/');
  if (slash == std::string_view::npos) {
    const auto number = VideoNumber(rest);
    const auto present = List(std::string(kSysClass));
    if (number && present &&
        std::find(present->begin(), present->end(), std::string(rest)) != present->end()) {
      entry.kind = PathEntry::Kind::kDirectory;
      entry.node = *number;
    }
    return entry;
  }
  if (Text(path)) entry.kind = PathEntry::Kind::kTextFile;
  return entry;
}

std::optional<std::vector<std::string>> Emulation::List(const std::string& path) {
  std::vector<std::string> names;
  Inside inside;
  if (kernel_->ListDirectory(ClassPath(Normal(path)), &names) != 0) return std::nullopt;
  return names;
}

std::optional<std::string> Emulation::Text(const std::string& path) {
  std::string contents;
  Inside inside;
  if (kernel_->ReadTextFile(ClassPath(Normal(path)), &contents) != 0) return std::nullopt;
  return contents;
}

int Emulation::Open(const std::string& path, int flags) {
  const PathEntry entry = Lookup(path, true);
  if (entry.kind == PathEntry::Kind::kTextFile) {
    // sysfs attributes are read-only; the program reads a copy of the text.
    if ((flags & O_ACCMODE) != O_RDONLY) {
      errno = EACCES;
      return -1;
    }
    const auto text = Text(path);
    Inside inside;
    const int fd = ::memfd_create("korvane-sysfs", (flags & O_CLOEXEC) ? MFD_CLOEXEC : 0);
    if (fd < 0) return -1;
    if (!text || ::write(fd, text->data(), text->size()) != static_cast<ssize_t>(text->size()) ||
        ::lseek(fd, 0, SEEK_SET) != 0) {
      const int error = text ? errno : ENOENT;
      ::close(fd);
      errno = error;
      return -1;
    }
    return fd;
  }
  if (entry.kind == PathEntry::Kind::kDirectory) {
    errno = (flags & O_ACCMODE) == O_RDONLY ? EOPNOTSUPP : EISDIR;
    return -1;
  }
  if (entry.kind != PathEntry::Kind::kDevice) {
    errno = ENOENT;
    return -1;
  }
  Inside inside;
  const int kernelFd = kernel_->Open("/dev/video" + std::to_string(entry.node), flags);
  if (kernelFd < 0) return -1;
  // The program gets a copy of the kernel's descriptor, so that it may close or copy it freely
  // while the kernel keeps its own.
  const int fd = ::fcntl(kernelFd, (flags & O_CLOEXEC) ? F_DUPFD_CLOEXEC : F_DUPFD, 3);
  if (fd < 0 || fd >= kMaxDescriptors) {
    if (fd >= 0) {
      ::close(fd);
      errno = EMFILE;
    }
    const int error = errno;
    kernel_->Close(kernelFd);
    errno = error;
    return -1;
  }
  if (flags & O_NONBLOCK) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  {
    std::lock_guard lock(TheTables().mutex);
    ++TheTables().references[kernelFd];
  }
  nodes[fd].store(entry.node, std::memory_order_relaxed);
  kernelFds[fd].store(kernelFd + 1, std::memory_order_release);
  return fd;
}

void Emulation::Forget(int fd) {
  if (!EmulatedDescriptor(fd)) return;
  const int kernelFd = kernelFds[fd].exchange(0) - 1;
  if (kernelFd < 0) return;
  bool last = false;
  {
    std::lock_guard lock(TheTables().mutex);
    auto& tables = TheTables();
    last = --tables.references[kernelFd] == 0;
    if (last) tables.references.erase(kernelFd);
    for (auto& [epoll, entries] : tables.epolls) entries.erase(fd);
  }
  if (last) {
    const int savedErrno = errno;
    Inside inside;
    kernel_->Close(kernelFd);
    errno = savedErrno;
  }
}

void Emulation::Copied(int from, int to) {
  const int kernelFd = KernelFd(from);
  if (kernelFd < 0 || to < 0) return;
  if (to >= kMaxDescriptors) return;
  {
    std::lock_guard lock(TheTables().mutex);
    ++TheTables().references[kernelFd];
  }
  nodes[to].store(nodes[from].load(std::memory_order_relaxed), std::memory_order_relaxed);
  kernelFds[to].store(kernelFd + 1, std::memory_order_release);
}

int Emulation::KernelFd(int fd) const {
  if (fd < 0 || fd >= kMaxDescriptors) return -1;
  return kernelFds[fd].load(std::memory_order_acquire) - 1;
}

int Emulation::Node(int fd) const {
  return EmulatedDescriptor(fd) ? nodes[fd].load(std::memory_order_relaxed) : -1;
}

void Emulation::Fill(int node, struct stat* status) const {
  std::memset(status, 0, sizeof(*status));
  status->st_mode = S_IFCHR | 0660;
  status->st_rdev = makedev(kVideoMajor, static_cast<unsigned>(node));
  status->st_dev = makedev(0, 5);  // devtmpfs
  status->st_ino = 1000 + static_cast<ino_t>(node);
  status->st_nlink = 1;
  status->st_gid = ::getgid();  // the user may open it, as a member of the video group
  status->st_blksize = 4096;
}

void Emulation::Mapped(void* address) {
  std::lock_guard lock(TheTables().mutex);
  TheTables().mappings.insert(address);
  mappingsInUse.store(true, std::memory_order_release);
}

bool Emulation::Unmapping(void* address) {
  std::lock_guard lock(TheTables().mutex);
  return TheTables().mappings.erase(address) > 0;
}

int Emulation::EpollControl(int epoll, int operation, int fd, const epoll_event* event) {
  std::lock_guard lock(TheTables().mutex);
  auto& entries = TheTables().epolls[epoll];
  const bool known = entries.contains(fd);
  switch (operation) {
    case EPOLL_CTL_ADD:
      if (known) return EEXIST;
      if (!event) return EFAULT;
      entries[fd] = *event;
      break;
    case EPOLL_CTL_MOD:
      if (!known) return ENOENT;
      if (!event) return EFAULT;
      entries[fd] = *event;
      break;
    case EPOLL_CTL_DEL:
      if (!known) return ENOENT;
      entries.erase(fd);
      break;
    default:
      return EINVAL;
  }
  epollInUse.store(true, std::memory_order_release);
  return 0;
}

std::vector<std::pair<int, epoll_event>> Emulation::EpollEntries(int epoll) {
  std::lock_guard lock(TheTables().mutex);
  std::vector<std::pair<int, epoll_event>> result;
  const auto found = TheTables().epolls.find(epoll);
  if (found == TheTables().epolls.end()) return result;
  for (const auto& [fd, event] : found->second) {
    if (event.events != 0) result.emplace_back(fd, event);
  }
  return result;
}

void Emulation::EpollDisarm(int epoll, int fd) {
  std::lock_guard lock(TheTables().mutex);
  const auto found = TheTables().epolls.find(epoll);
  if (found == TheTables().epolls.end()) return;
  if (const auto entry = found->second.find(fd); entry != found->second.end()) {
    entry->second.events = 0;
  }
}

void Emulation::EpollClosed(int epoll) {
  std::lock_guard lock(TheTables().mutex);
  TheTables().epolls.erase(epoll);
}

}  // namespace korvane::v4l2::preload
