#include "platform/os/FileAccess.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <random>

#include "platform/os/TemporaryFileSignals.h"

namespace korvane::os {
namespace {

FileError FailedTo(const std::string& what, const std::filesystem::path& path, int error) {
  return FileError{"cannot " + what + " " + QuotedPath(path) + ": " + ErrnoText(error),
                   "cannot " + what + " it: " + ErrnoText(error)};
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written =
        RetryOnInterrupt([&] { return ::write(fd, bytes.data() + done, bytes.size() - done); });
    if (written < 0) return false;
    if (written == 0) {
      errno = ENOSPC;
      return false;
    }
    done += static_cast<std::size_t>(written);
  }
  return true;
}

std::string RandomSuffix() {
  static thread_local std::mt19937_64 generator{std::random_device{}()};
  constexpr char kDigits[] = "0123456789abcdef";
  std::string suffix;
  std::uint64_t bits = generator();
  for (int i = 0; i < 12; ++i, bits >>= 4) suffix += kDigits[bits & 0xF];
  return suffix;
}

// Removes the temporary file unless the rename has taken it over.
class TemporaryFile {
 public:
  TemporaryFile(std::filesystem::path path, UniqueFd fd)
      : path_(std::move(path)), fd_(std::move(fd)) {}
  ~TemporaryFile() {
    if (!committed_) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  UniqueFd& Fd() { return fd_; }
  void Commit() { committed_ = true; }

 private:
  std::filesystem::path path_;
  UniqueFd fd_;
  bool committed_ = false;
};

std::function<void(const std::filesystem::path&)>& AfterReadHook() {
  static std::function<void(const std::filesystem::path&)> hook;
  return hook;
}

}  // namespace

void SetAfterReadHook(std::function<void(const std::filesystem::path&)> hook) {
  AfterReadHook() = std::move(hook);
}

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::close(fd_);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

int UniqueFd::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

int UniqueFd::Close() {
  // close is not retried on EINTR: on Linux the descriptor is gone either way.
  return fd_ >= 0 ? ::close(Release()) : 0;
}

bool FileStamp::operator==(const FileStamp& other) const {
  return device == other.device && inode == other.inode && size == other.size &&
         modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
         changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
}

FileStamp StampOf(const struct stat& status) {
  return FileStamp{status.st_dev, status.st_ino, status.st_size, status.st_mtim, status.st_ctim};
}

std::string ErrnoText(int error) {
  char buffer[256];
  // GNU strerror_r returns the text, which need not be in the buffer.
  return ::strerror_r(error, buffer, sizeof buffer);
}

std::variant<LoadedFile, FileMissing, FileError> LoadRegularFile(const std::filesystem::path& path,
                                                                 std::size_t maxBytes,
                                                                 std::string_view kindOfFile) {
  const auto tooLarge = [&] {
    const std::string limit =
        " is larger than " + std::string(kindOfFile) + " can be (" + SizeText(maxBytes) + ")";
    return FileError{QuotedPath(path) + limit, "it" + limit, true};
  };
  // O_NONBLOCK keeps the open of a FIFO without a writer from waiting forever.
  UniqueFd fd(RetryOnInterrupt(
      [&] { return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY); }));
  if (!fd.Valid()) {
    if (errno == ENOENT) return FileMissing{};
    return FailedTo("open", path, errno);
  }
  struct stat status {};
  if (::fstat(fd.Get(), &status) != 0) return FailedTo("inspect", path, errno);
  if (!S_ISREG(status.st_mode)) {
    return FileError{QuotedPath(path) + " is not a regular file", "it is not a regular file"};
  }
  if (static_cast<std::size_t>(status.st_size) > maxBytes) {
    return tooLarge();
  }
  LoadedFile loaded;
  loaded.stamp = StampOf(status);
  loaded.mode = status.st_mode;
  loaded.owner = status.st_uid;
  loaded.group = status.st_gid;
  loaded.bytes.resize(static_cast<std::size_t>(status.st_size));
  std::size_t done = 0;
  // The file may grow while it is read; one byte beyond the cap tells that it did.
  for (;;) {
    if (done == loaded.bytes.size()) {
      if (done > maxBytes) return tooLarge();
      loaded.bytes.resize(std::min(done + 4096, maxBytes + 1));
    }
    const ssize_t got = RetryOnInterrupt(
        [&] { return ::read(fd.Get(), loaded.bytes.data() + done, loaded.bytes.size() - done); });
    if (got < 0) return FailedTo("read", path, errno);
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  loaded.bytes.resize(done);
  if (const auto& hook = AfterReadHook()) hook(path);
  return loaded;
}

std::string ReplaceFileAtomicallyCause(const std::filesystem::path& path, const std::string& bytes,
                                       const LoadedFile* previous) {
  const auto failed = [](const std::string& what) {
    return "cannot " + what + ": " + ErrnoText(errno);
  };
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  std::string hiddenName(1, '.');
  hiddenName.append(path.filename().native()).append(".tmp-");

  // Declared before the temporary file, so that it still removes the file on a stop signal
  // while the file's own clean-up runs.
  RemoveOnStopSignal removeOnSignal;
  std::optional<TemporaryFile> temporary;
  for (int attempt = 0; attempt < 100 && !temporary; ++attempt) {
    std::filesystem::path candidate = folder / (hiddenName + RandomSuffix());
    // Armed before the file exists, so that no signal finds it made and not yet known; a name
    // that is taken belongs to a save that died, whose file may go as well.
    removeOnSignal.Arm(candidate);
    UniqueFd fd(RetryOnInterrupt([&] {
      return ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    }));
    if (fd.Valid()) {
      temporary.emplace(std::move(candidate), std::move(fd));
    } else if (errno != EEXIST) {
      removeOnSignal.Disarm();
      return failed("create a file in its folder " + QuotedPath(folder));
    }
  }
  if (!temporary) return "cannot find a free temporary name in " + QuotedPath(folder);

  const int fd = temporary->Fd().Get();
  if (previous != nullptr) {
    // Another user's file keeps its owner where we may say so (as root); elsewhere
    // the file becomes ours, as any editor that saves by renaming does.
    if (previous->owner != ::geteuid() || previous->group != ::getegid()) {
      [[maybe_unused]] const int ignored = ::fchown(fd, previous->owner, previous->group);
    }
    if (::fchmod(fd, previous->mode & 07777) != 0) return failed("set its permissions");
  }
  if (!WriteAll(fd, bytes)) return ErrnoText(errno);
  if (RetryOnInterrupt([&] { return ::fsync(fd); }) != 0) return failed("flush it to disk");
  if (temporary->Fd().Close() != 0) return failed("close it");
  if (::rename(temporary->Path().c_str(), path.c_str()) != 0) return failed("replace it");
  temporary->Commit();
  // The folder is not flushed: after a power cut the rename may be undone, which
  // leaves the previous whole file, and a settings save stays quick.
  return {};
}

std::string ReplaceFileAtomically(const std::filesystem::path& path, const std::string& bytes,
                                  const LoadedFile* previous) {
  const std::string cause = ReplaceFileAtomicallyCause(path, bytes, previous);
  return cause.empty() ? cause : "cannot write " + QuotedPath(path) + ": " + cause;
}

std::string SizeText(std::size_t bytes) {
  constexpr std::size_t kKiB = 1024;
  if (bytes != 0 && bytes % (kKiB * kKiB) == 0) return std::to_string(bytes / kKiB / kKiB) + " MiB";
  if (bytes != 0 && bytes % kKiB == 0) return std::to_string(bytes / kKiB) + " KiB";
  return std::to_string(bytes) + " bytes";
}

std::string QuotedPath(const std::filesystem::path& path) {
  std::string quoted;
  quoted.reserve(path.native().size() + 2);
  quoted.append(1, '"').append(path.native()).append(1, '"');
  return quoted;
}

std::string ProgramName(int pid) {
  const UniqueFd fd(
      ::open(("/proc/" + std::to_string(pid) + "/cmdline").c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) return {};
  char buffer[4096];
  const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer - 1);
  if (got <= 0) return {};
  buffer[got] = '\0';
  const std::string first(buffer);  // up to the first argument's end
  return first.substr(first.rfind('/') == std::string::npos ? 0 : first.rfind('/') + 1);
}

}  // namespace korvane::os
