// The device state of cameras described by a JSON file that several processes share, as two
// programs share one real camera. A read costs a stat while the file is unchanged; a write
// reads the latest file, applies the change and replaces the file in one rename, under an
// advisory lock, so readers only ever see whole files and two writers never lose a change.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>
#include <utility>

#include "platform/sim/SimCameras.h"
#include "platform/sim/SimJson.h"

namespace korvane::sim {
namespace {

// Every system call of the store goes through here: interrupted calls are repeated, and the
// caller gets -1 with errno for a real failure.
template <class Call>
auto Retry(Call call) {
  decltype(call()) result;
  do {
    result = call();
  } while (result == -1 && errno == EINTR);
  return result;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  int Get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_;
};

// What tells one version of the file from another without reading it.
struct FileStamp {
  dev_t device;
  ino_t inode;
  off_t size;
  long long modifiedNs;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

FileStamp StampOf(const struct stat& status) {
  return FileStamp{
      status.st_dev, status.st_ino, status.st_size,
      static_cast<long long>(status.st_mtim.tv_sec) * 1'000'000'000LL + status.st_mtim.tv_nsec};
}

// The clock file times are taken from, at the same coarse granularity.
long long CoarseNowNs() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
  return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

std::string SystemError(int error) {
  return std::strerror(error);
}

bool ReadAll(int fd, std::string& text) {
  text.clear();
  char buffer[16384];
  off_t offset = 0;
  while (true) {
    const ssize_t count = Retry([&] { return ::pread(fd, buffer, sizeof(buffer), offset); });
    if (count < 0) return false;
    if (count == 0) return true;
    text.append(buffer, static_cast<std::size_t>(count));
    offset += count;
  }
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t count = Retry([&] { return ::write(fd, text.data(), text.size()); });
    if (count < 0) return false;
    text.remove_prefix(static_cast<std::size_t>(count));
  }
  return true;
}

// A temporary file beside the target that disappears unless it was renamed into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::filesystem::path& target) {
    std::string pattern =
        (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    fd_ = FileDescriptor(::mkostemp(pattern.data(), O_CLOEXEC));
    if (fd_) path_ = pattern;
  }
  ~TemporaryFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int Fd() const { return fd_.Get(); }
  explicit operator bool() const { return static_cast<bool>(fd_); }

  // Puts the file in the target's place; afterwards nothing is left to clean up.
  bool RenameTo(const std::filesystem::path& target) {
    if (::rename(path_.c_str(), target.c_str()) != 0) return false;
    path_.clear();
    return true;
  }

 private:
  FileDescriptor fd_;
  std::string path_;
};

class FileStore final : public SimStore {
 public:
  explicit FileStore(std::filesystem::path file) : file_(std::move(file)) {
    std::lock_guard lock(mutex_);
    Refresh();
  }

  SimDescription Read() override { return *Snapshot(); }

  std::shared_ptr<const SimDescription> Snapshot() override {
    std::lock_guard lock(mutex_);
    Refresh();
    return state_;
  }

  bool Usable() override {
    std::lock_guard lock(mutex_);
    Refresh();
    return usable_;
  }

  bool Modify(const std::function<void(SimDescription&)>& change) override {
    std::lock_guard lock(mutex_);
    // Writes go to the file a link points to, so the link stays a link.
    std::error_code error;
    std::filesystem::path target = std::filesystem::canonical(file_, error);
    if (error) target = file_;
    FileDescriptor locked = LockCurrentFile(target);
    if (!locked) return false;
    // The latest file, whoever wrote it: a change applies to that, not to what was cached.
    struct stat status {};
    std::string text;
    const long long readAt = CoarseNowNs();
    if (Retry([&] { return ::fstat(locked.Get(), &status); }) != 0 ||
        !ReadAll(locked.Get(), text)) {
      MarkUnusable("cannot be read: " + SystemError(errno));
      return false;
    }
    Load(std::move(text), StampOf(status), readAt);
    if (!usable_) return false;  // a malformed file is never written over

    auto next = std::make_shared<SimDescription>(*state_);
    change(*next);
    if (*next == *state_) return true;
    std::string written = ToJson(*next);
    const long long writtenAt = CoarseNowNs();
    const std::optional<FileStamp> stamp = Replace(target, written, status.st_mode);
    if (!stamp) return false;
    state_ = std::move(next);
    text_ = std::move(written);
    stamp_ = stamp;
    readAtNs_ = writtenAt;
    return true;
  }

 private:
  // Brings the cached state up to the file; parses only when the file changed.
  void Refresh() {
    struct stat status {};
    if (::stat(file_.c_str(), &status) != 0) {
      stamp_.reset();
      MarkUnusable("cannot be read: " + SystemError(errno));
      return;
    }
    if (stamp_ && *stamp_ == StampOf(status) && !Racy()) return;
    const long long readAt = CoarseNowNs();
    FileDescriptor fd(Retry([&] { return ::open(file_.c_str(), O_RDONLY | O_CLOEXEC); }));
    std::string text;
    // The stamp of what was opened, which may already be newer than what stat saw.
    if (!fd || Retry([&] { return ::fstat(fd.Get(), &status); }) != 0 || !ReadAll(fd.Get(), text)) {
      stamp_.reset();
      MarkUnusable("cannot be read: " + SystemError(errno));
      return;
    }
    Load(std::move(text), StampOf(status), readAt);
  }

  // A file changed in the same clock tick as it was read may change again without its stamp
  // showing it (an in-place write of the same size); until the tick is over its content is
  // compared instead.
  bool Racy() const { return stamp_ && stamp_->modifiedNs >= readAtNs_; }

  void Load(std::string text, const FileStamp& stamp, long long readAt) {
    // A broken file keeps its stamp too, so it is reported and parsed once, not at every call.
    const bool sameText = stamp_ && text == text_;
    stamp_ = stamp;
    readAtNs_ = readAt;
    if (sameText) return;
    text_ = std::move(text);
    try {
      state_ = std::make_shared<const SimDescription>(ParseSimDescription(text_));
      usable_ = true;
      lastReport_.clear();
    } catch (const SimFileError& error) {
      MarkUnusable(error.what());
    }
  }

  // Without a usable file there are no simulated cameras; the fault is told once.
  void MarkUnusable(const std::string& fault) {
    usable_ = false;
    if (!state_->devices.empty()) state_ = std::make_shared<const SimDescription>();
    Report(fault);
  }

  void Report(const std::string& fault) {
    if (fault == lastReport_) return;
    lastReport_ = fault;
    std::cerr << "korvane: simulated cameras file " << file_ << ", " << fault
              << "; no simulated cameras until it is repaired\n";
  }

  // Opens the file and holds its advisory lock. A writer that renamed a new file into place
  // while this one waited has made the opened file stale, so it tries again on the new one.
  FileDescriptor LockCurrentFile(const std::filesystem::path& target) {
    while (true) {
      FileDescriptor fd(Retry([&] { return ::open(target.c_str(), O_RDONLY | O_CLOEXEC); }));
      if (!fd) {
        stamp_.reset();
        MarkUnusable("cannot be read: " + SystemError(errno));
        return FileDescriptor();
      }
      struct stat held {
      }, current{};
      if (Retry([&] { return ::flock(fd.Get(), LOCK_EX); }) != 0 ||
          Retry([&] { return ::fstat(fd.Get(), &held); }) != 0) {
        WriteFailed("cannot be locked: " + SystemError(errno));
        return FileDescriptor();
      }
      if (::stat(target.c_str(), &current) == 0 && current.st_dev == held.st_dev &&
          current.st_ino == held.st_ino) {
        return fd;
      }
    }
  }

  // Writes the text to a temporary file beside the target and renames it into place.
  std::optional<FileStamp> Replace(const std::filesystem::path& target, const std::string& text,
                                   mode_t mode) {
    TemporaryFile temporary(target);
    if (!temporary) return WriteFailed("cannot be written (temporary file): " + SystemError(errno));
    struct stat status {};
    if (::fchmod(temporary.Fd(), mode & 07777) != 0 || !WriteAll(temporary.Fd(), text) ||
        Retry([&] { return ::fsync(temporary.Fd()); }) != 0 ||
        Retry([&] { return ::fstat(temporary.Fd(), &status); }) != 0 ||
        !temporary.RenameTo(target)) {
      return WriteFailed("cannot be written: " + SystemError(errno));
    }
    // The rename itself lasts only once the folder is on disk too.
    FileDescriptor folder(Retry(
        [&] { return ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (folder) Retry([&] { return ::fsync(folder.Get()); });
    return StampOf(status);
  }

  std::nullopt_t WriteFailed(const std::string& fault) {
    if (fault != lastReport_) {
      lastReport_ = fault;
      std::cerr << "korvane: simulated cameras file " << file_ << " " << fault << "\n";
    }
    return std::nullopt;
  }

  const std::filesystem::path file_;
  std::mutex mutex_;
  std::shared_ptr<const SimDescription> state_ = std::make_shared<const SimDescription>();
  std::optional<FileStamp> stamp_;
  long long readAtNs_ = 0;  // when the cached text was read, on the clock of file times
  std::string text_;        // the text the cached state was parsed from
  bool usable_ = false;
  std::string lastReport_;
};

}  // namespace

std::shared_ptr<SimStore> MakeFileStore(const std::filesystem::path& file) {
  return std::make_shared<FileStore>(file);
}

}  // namespace korvane::sim
