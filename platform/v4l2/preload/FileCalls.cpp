// The file calls of a program, put in front of the C library's: paths of the emulated cameras
// and descriptors of their nodes are answered by the emulation, everything else goes on
// untouched (and with errno as the C library leaves it).

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/v4l2/preload/Emulation.h"
#include "platform/v4l2/preload/NextCall.h"

#define KORVANE_EXPORT extern "C" __attribute__((visibility("default")))

namespace korvane::v4l2::preload {
namespace {

// The emulation when the path is one of its own, else nullptr.
Emulation* ForPath(const char* path) {
  return EmulatedPath(path) ? Emulation::Get() : nullptr;
}

Emulation* ForDescriptor(int fd) {
  return EmulatedDescriptor(fd) ? Emulation::Get() : nullptr;
}

int Fail(int error) {
  errno = error;
  return -1;
}

// The mode argument exists only when the flags create a file.
mode_t ModeOf(int flags, va_list arguments) {
  return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE
             ? static_cast<mode_t>(va_arg(arguments, int))
             : 0;
}

// stat(2) of an emulated path, the link itself for lstat(2).
int StatPath(Emulation& emulation, const char* path, struct stat* status, bool followLink) {
  const PathEntry entry = emulation.Lookup(path, followLink);
  switch (entry.kind) {
    case PathEntry::Kind::kMissing:
      return Fail(ENOENT);
    case PathEntry::Kind::kDevice:
      emulation.Fill(entry.node, status);
      return 0;
    case PathEntry::Kind::kLink:
      emulation.Fill(entry.node, status);
      status->st_mode = S_IFLNK | 0777;
      status->st_rdev = 0;
      status->st_size = static_cast<off_t>(entry.target.size());
      return 0;
    case PathEntry::Kind::kDirectory:
      emulation.Fill(0, status);
      status->st_mode = S_IFDIR | 0755;
      status->st_rdev = 0;
      status->st_nlink = 2;
      return 0;
    case PathEntry::Kind::kTextFile:
      emulation.Fill(0, status);
      status->st_mode = S_IFREG | 0444;
      status->st_rdev = 0;
      status->st_size = 4096;  // what sysfs reports for every attribute
      return 0;
  }
  return Fail(ENOENT);
}

int StatDescriptor(Emulation& emulation, int fd, struct stat* status) {
  emulation.Fill(emulation.Node(fd), status);
  return 0;
}

void ToStatx(const struct stat& status, struct statx* extended) {
  std::memset(extended, 0, sizeof(*extended));
  extended->stx_mask = STATX_BASIC_STATS;
  extended->stx_blksize = static_cast<std::uint32_t>(status.st_blksize);
  extended->stx_nlink = static_cast<std::uint32_t>(status.st_nlink);
  extended->stx_uid = status.st_uid;
  extended->stx_gid = status.st_gid;
  extended->stx_mode = static_cast<std::uint16_t>(status.st_mode);
  extended->stx_ino = status.st_ino;
  extended->stx_size = static_cast<std::uint64_t>(status.st_size);
  extended->stx_rdev_major = major(status.st_rdev);
  extended->stx_rdev_minor = minor(status.st_rdev);
  extended->stx_dev_major = major(status.st_dev);
  extended->stx_dev_minor = minor(status.st_dev);
}

// Only called for a path ForPath took.
// AT_EMPTY_PATH's empty path: the call is about the descriptor itself.
bool EmptyPath(const char* path) {
  return path && path[0] == '\0';
}

int OpenPath(const char* path, int flags) {
  Emulation* emulation = ForPath(path);
  return emulation ? emulation->Open(path, flags) : Fail(ENOENT);
}

}  // namespace
}  // namespace korvane::v4l2::preload

using namespace korvane::v4l2::preload;

// ---- opening and closing --------------------------------------------------------------------

KORVANE_EXPORT int open(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  if (ForPath(path)) return OpenPath(path, flags);
  return KORVANE_NEXT(open)(path, flags, mode);
}

KORVANE_EXPORT int open64(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  if (ForPath(path)) return OpenPath(path, flags);
  return KORVANE_NEXT(open64)(path, flags, mode);
}

KORVANE_EXPORT int __open_2(const char* path, int flags) {
  if (ForPath(path)) return OpenPath(path, flags);
  return KORVANE_NEXT(__open_2)(path, flags);
}

KORVANE_EXPORT int __open64_2(const char* path, int flags) {
  if (ForPath(path)) return OpenPath(path, flags);
  return KORVANE_NEXT(__open64_2)(path, flags);
}

KORVANE_EXPORT int openat(int directory, const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  if (ForPath(path)) return OpenPath(path, flags);  // an absolute path ignores the folder
  return KORVANE_NEXT(openat)(directory, path, flags, mode);
}

KORVANE_EXPORT int openat64(int directory, const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  if (ForPath(path)) return OpenPath(path, flags);
  return KORVANE_NEXT(openat64)(directory, path, flags, mode);
}

KORVANE_EXPORT int __openat_2(int directory, const char* path, int flags) {
  if (ForPath(path)) return OpenPath(path, flags);
  return KORVANE_NEXT(__openat_2)(directory, path, flags);
}

KORVANE_EXPORT int __openat64_2(int directory, const char* path, int flags) {
  if (ForPath(path)) return OpenPath(path, flags);
  return KORVANE_NEXT(__openat64_2)(directory, path, flags);
}

KORVANE_EXPORT FILE* fopen(const char* path, const char* mode) {
  if (!ForPath(path)) return KORVANE_NEXT(fopen)(path, mode);
  const bool reading = mode && mode[0] == 'r' && !std::strchr(mode, '+');
  const int fd = OpenPath(path, (reading ? O_RDONLY : O_RDWR) | O_CLOEXEC);
  if (fd < 0) return nullptr;
  FILE* file = ::fdopen(fd, mode);
  if (!file) {
    const int error = errno;
    ::close(fd);
    errno = error;
  }
  return file;
}

KORVANE_EXPORT FILE* fopen64(const char* path, const char* mode) {
  if (!ForPath(path)) return KORVANE_NEXT(fopen64)(path, mode);
  return fopen(path, mode);
}

KORVANE_EXPORT int close(int fd) {
  if (Emulation* emulation = ForDescriptor(fd)) {
    emulation->Forget(fd);
  } else if (EpollInUse()) {
    if (Emulation* any = Emulation::Get()) any->EpollClosed(fd);
  }
  return KORVANE_NEXT(close)(fd);
}

// ---- copies of descriptors --------------------------------------------------------------------

KORVANE_EXPORT int dup(int fd) {
  const int copy = KORVANE_NEXT(dup)(fd);
  if (copy >= 0) {
    if (Emulation* emulation = ForDescriptor(fd)) emulation->Copied(fd, copy);
  }
  return copy;
}

namespace {

// dup2(2) and dup3(2) close the target first; an emulated target is forgotten then.
int CopyOnto(int from, int to, int result) {
  if (result < 0 || from == to) return result;
  if (Emulation* emulation = ForDescriptor(to)) emulation->Forget(to);
  if (Emulation* emulation = ForDescriptor(from)) emulation->Copied(from, to);
  return result;
}

}  // namespace

KORVANE_EXPORT int dup2(int from, int to) {
  if (!EmulatedDescriptor(from) && !EmulatedDescriptor(to)) return KORVANE_NEXT(dup2)(from, to);
  return CopyOnto(from, to, KORVANE_NEXT(dup2)(from, to));
}

KORVANE_EXPORT int dup3(int from, int to, int flags) {
  if (!EmulatedDescriptor(from) && !EmulatedDescriptor(to)) {
    return KORVANE_NEXT(dup3)(from, to, flags);
  }
  return CopyOnto(from, to, KORVANE_NEXT(dup3)(from, to, flags));
}

namespace {

int Fcntl(int (*next)(int, int, ...), int fd, int command, void* argument) {
  const int result = next(fd, command, argument);
  if (result >= 0 && (command == F_DUPFD || command == F_DUPFD_CLOEXEC)) {
    if (Emulation* emulation = ForDescriptor(fd)) emulation->Copied(fd, result);
  }
  return result;
}

}  // namespace

KORVANE_EXPORT int fcntl(int fd, int command, ...) {
  va_list arguments;
  va_start(arguments, command);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  return Fcntl(KORVANE_NEXT(fcntl), fd, command, argument);
}

KORVANE_EXPORT int fcntl64(int fd, int command, ...) {
  va_list arguments;
  va_start(arguments, command);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  return Fcntl(KORVANE_NEXT(fcntl64), fd, command, argument);
}

// ---- reading and writing ----------------------------------------------------------------------

// The UVC driver streams through buffers only: its read and write answer EINVAL.
KORVANE_EXPORT ssize_t read(int fd, void* buffer, size_t size) {
  if (ForDescriptor(fd)) return Fail(EINVAL);
  return KORVANE_NEXT(read)(fd, buffer, size);
}

KORVANE_EXPORT ssize_t write(int fd, const void* buffer, size_t size) {
  if (ForDescriptor(fd)) return Fail(EINVAL);
  return KORVANE_NEXT(write)(fd, buffer, size);
}

// ---- status -----------------------------------------------------------------------------------

KORVANE_EXPORT int stat(const char* path, struct stat* status) {
  if (Emulation* emulation = ForPath(path)) return StatPath(*emulation, path, status, true);
  return KORVANE_NEXT(stat)(path, status);
}

KORVANE_EXPORT int stat64(const char* path, struct stat64* status) {
  if (Emulation* emulation = ForPath(path)) {
    return StatPath(*emulation, path, reinterpret_cast<struct stat*>(status), true);
  }
  return KORVANE_NEXT(stat64)(path, status);
}

KORVANE_EXPORT int lstat(const char* path, struct stat* status) {
  if (Emulation* emulation = ForPath(path)) return StatPath(*emulation, path, status, false);
  return KORVANE_NEXT(lstat)(path, status);
}

KORVANE_EXPORT int lstat64(const char* path, struct stat64* status) {
  if (Emulation* emulation = ForPath(path)) {
    return StatPath(*emulation, path, reinterpret_cast<struct stat*>(status), false);
  }
  return KORVANE_NEXT(lstat64)(path, status);
}

KORVANE_EXPORT int fstat(int fd, struct stat* status) {
  if (Emulation* emulation = ForDescriptor(fd)) return StatDescriptor(*emulation, fd, status);
  return KORVANE_NEXT(fstat)(fd, status);
}

KORVANE_EXPORT int fstat64(int fd, struct stat64* status) {
  if (Emulation* emulation = ForDescriptor(fd)) {
    return StatDescriptor(*emulation, fd, reinterpret_cast<struct stat*>(status));
  }
  return KORVANE_NEXT(fstat64)(fd, status);
}

KORVANE_EXPORT int fstatat(int directory, const char* path, struct stat* status, int flags) {
  if (EmptyPath(path) && (flags & AT_EMPTY_PATH)) {
    if (Emulation* emulation = ForDescriptor(directory)) {
      return StatDescriptor(*emulation, directory, status);
    }
  } else if (Emulation* emulation = ForPath(path)) {
    return StatPath(*emulation, path, status, !(flags & AT_SYMLINK_NOFOLLOW));
  }
  return KORVANE_NEXT(fstatat)(directory, path, status, flags);
}

KORVANE_EXPORT int fstatat64(int directory, const char* path, struct stat64* status, int flags) {
  if ((EmptyPath(path) && (flags & AT_EMPTY_PATH) && EmulatedDescriptor(directory)) ||
      EmulatedPath(path)) {
    return fstatat(directory, path, reinterpret_cast<struct stat*>(status), flags);
  }
  return KORVANE_NEXT(fstatat64)(directory, path, status, flags);
}

KORVANE_EXPORT int statx(int directory, const char* path, int flags, unsigned mask,
                         struct statx* extended) {
  const bool descriptor =
      EmptyPath(path) && (flags & AT_EMPTY_PATH) && EmulatedDescriptor(directory);
  if ((descriptor || EmulatedPath(path)) && Emulation::Get()) {
    struct stat status {};
    if (fstatat(directory, path, &status, flags) != 0) return -1;
    ToStatx(status, extended);
    return 0;
  }
  return KORVANE_NEXT(statx)(directory, path, flags, mask, extended);
}

KORVANE_EXPORT int access(const char* path, int mode) {
  if (Emulation* emulation = ForPath(path)) {
    const PathEntry entry = emulation->Lookup(path, true);
    if (entry.kind == PathEntry::Kind::kMissing) return Fail(ENOENT);
    if (entry.kind == PathEntry::Kind::kTextFile && (mode & W_OK)) return Fail(EACCES);
    return 0;
  }
  return KORVANE_NEXT(access)(path, mode);
}

KORVANE_EXPORT int faccessat(int directory, const char* path, int mode, int flags) {
  if (ForPath(path)) return access(path, mode);
  return KORVANE_NEXT(faccessat)(directory, path, mode, flags);
}

// ---- extended attributes ------------------------------------------------------------------

// The emulated files carry none (no security label, no access control list), as a file system
// without them answers.
KORVANE_EXPORT ssize_t getxattr(const char* path, const char* name, void* value, size_t size) {
  if (Emulation* emulation = ForPath(path)) {
    return Fail(emulation->Lookup(path, true).kind == PathEntry::Kind::kMissing ? ENOENT : ENOTSUP);
  }
  return KORVANE_NEXT(getxattr)(path, name, value, size);
}

KORVANE_EXPORT ssize_t lgetxattr(const char* path, const char* name, void* value, size_t size) {
  if (Emulation* emulation = ForPath(path)) {
    return Fail(emulation->Lookup(path, false).kind == PathEntry::Kind::kMissing ? ENOENT
                                                                                 : ENOTSUP);
  }
  return KORVANE_NEXT(lgetxattr)(path, name, value, size);
}

KORVANE_EXPORT ssize_t listxattr(const char* path, char* list, size_t size) {
  if (Emulation* emulation = ForPath(path)) {
    return emulation->Lookup(path, true).kind == PathEntry::Kind::kMissing ? Fail(ENOENT) : 0;
  }
  return KORVANE_NEXT(listxattr)(path, list, size);
}

KORVANE_EXPORT ssize_t llistxattr(const char* path, char* list, size_t size) {
  if (Emulation* emulation = ForPath(path)) {
    return emulation->Lookup(path, false).kind == PathEntry::Kind::kMissing ? Fail(ENOENT) : 0;
  }
  return KORVANE_NEXT(llistxattr)(path, list, size);
}

// ---- links ----------------------------------------------------------------------------------

KORVANE_EXPORT ssize_t readlink(const char* path, char* buffer, size_t size) {
  if (Emulation* emulation = ForPath(path)) {
    const PathEntry entry = emulation->Lookup(path, false);
    if (entry.kind == PathEntry::Kind::kMissing) return Fail(ENOENT);
    if (entry.kind != PathEntry::Kind::kLink) return Fail(EINVAL);
    const std::size_t length = std::min(size, entry.target.size());
    std::memcpy(buffer, entry.target.data(), length);
    return static_cast<ssize_t>(length);
  }
  return KORVANE_NEXT(readlink)(path, buffer, size);
}

KORVANE_EXPORT ssize_t readlinkat(int directory, const char* path, char* buffer, size_t size) {
  if (ForPath(path)) return readlink(path, buffer, size);
  return KORVANE_NEXT(readlinkat)(directory, path, buffer, size);
}

KORVANE_EXPORT char* realpath(const char* path, char* resolved) {
  Emulation* emulation = ForPath(path);
  if (!emulation) return KORVANE_NEXT(realpath)(path, resolved);
  const PathEntry entry = emulation->Lookup(path, true);
  std::string real;
  if (entry.kind == PathEntry::Kind::kDevice) {
    real = "/dev/video" + std::to_string(entry.node);
  } else if (entry.kind != PathEntry::Kind::kMissing) {
    real = path;
    while (real.size() > 1 && real.back() == '/') real.pop_back();
  } else {
    errno = ENOENT;
    return nullptr;
  }
  if (real.size() >= PATH_MAX) {
    errno = ENAMETOOLONG;
    return nullptr;
  }
  char* out = resolved ? resolved : static_cast<char*>(std::malloc(PATH_MAX));
  if (!out) return nullptr;
  std::memcpy(out, real.c_str(), real.size() + 1);
  return out;
}
