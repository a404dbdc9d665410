// The device state of cameras described by a JSON file that several processes share, as two
// programs share one real camera. A read costs a stat while the file is unchanged, and within a
// batch of calls (platform/com/CallBatch.h) only the batch's first read costs one; a write
// reads the latest file, applies the change and replaces the file in one rename, under an
// advisory lock, so readers only ever see whole files and two writers never lose a change.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <ctime>
#include <iostream>
#include <mutex>
#include <string>
#include <utility>

#include "platform/com/CallBatch.h"
#include "platform/os/FileAccess.h"
#include "platform/sim/SimCameras.h"
#include "platform/sim/SimJson.h"

namespace korvane::sim {
namespace {

// Far more than any description needs; a larger file is refused rather than read.
constexpr std::size_t kMaxFileBytes = 64 * 1024 * 1024;

// The clock file times are taken from, at the same coarse granularity.
timespec CoarseNow() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
  return now;
}

bool NotBefore(const timespec& a, const timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec >= b.tv_nsec;
}

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
    const os::UniqueFd held = LockCurrentFile(target);
    if (!held.Valid()) return false;
    // The latest file, whoever wrote it: a change applies to that, not to what was cached.
    const timespec readAt = CoarseNow();
    auto loaded = os::LoadRegularFile(target, kMaxFileBytes, "a camera file");
    if (!Take(loaded, readAt)) return false;  // a broken file is never written over

    auto next = std::make_shared<SimDescription>(*state_);
    change(*next);
    if (*next == *state_) return true;
    std::string text = ToJson(*next);
    const timespec writtenAt = CoarseNow();
    const std::string failure =
        os::ReplaceFileAtomically(target, text, &std::get<os::LoadedFile>(loaded));
    struct stat written = {};
    if (!failure.empty() || ::stat(target.c_str(), &written) != 0) {
      Report(failure.empty() ? "cannot inspect the written file: " + os::ErrnoText(errno)
                             : failure);
      return false;
    }
    state_ = std::move(next);
    text_ = std::move(text);
    stamp_ = os::StampOf(written);
    readAt_ = writtenAt;
    return true;
  }

 private:
  // Brings the cached state up to the file; parses only when the file changed.
  void Refresh() {
    // A batch is a short run of calls (a re-read of one camera's controls, a few milliseconds)
    // that opens after whatever it should see: one look at its first call finds every change
    // made before it, so the refresh tick that opens one still shows a change made between
    // two ticks. A change made during the batch waits for the next call outside it or the next
    // batch, and the calls of one batch all answer from one state of the file. Writes need no
    // look: they read the latest file under its lock and keep what they wrote.
    const std::uint64_t batch = com::CurrentCallBatch();
    if (batch != 0 && batch == lookedInBatch_) return;
    lookedInBatch_ = batch;
    struct stat status = {};
    if (stamp_ && ::stat(file_.c_str(), &status) == 0 && *stamp_ == os::StampOf(status) &&
        !Racy()) {
      return;
    }
    const timespec readAt = CoarseNow();
    auto loaded = os::LoadRegularFile(file_, kMaxFileBytes, "a camera file");
    Take(loaded, readAt);
  }

  // A file changed in the same clock tick as it was read may change again without its stamp
  // showing it (an in-place write of the same size); until that tick is over its content is
  // compared instead.
  bool Racy() const { return NotBefore(stamp_->modified, readAt_); }

  // Makes a freshly read file the cached state; false when it gives no usable description.
  bool Take(const std::variant<os::LoadedFile, os::FileMissing, os::FileError>& loaded,
            const timespec& readAt) {
    // A file that cannot be read has no stamp: it is tried again at every call.
    if (std::holds_alternative<os::FileMissing>(loaded)) {
      stamp_.reset();
      return MarkUnusable("file " + Quoted() + " is missing");
    }
    if (const auto* failure = std::get_if<os::FileError>(&loaded)) {
      stamp_.reset();
      return MarkUnusable(failure->reason);
    }
    const auto& file = std::get<os::LoadedFile>(loaded);
    // A broken file keeps its stamp too, so it is reported and parsed once, not at every call.
    const bool sameText = stamp_ && file.bytes == text_;
    stamp_ = file.stamp;
    readAt_ = readAt;
    if (sameText) return usable_;
    text_ = file.bytes;
    try {
      state_ = std::make_shared<const SimDescription>(ParseSimDescription(text_));
      usable_ = true;
      lastReport_.clear();
      return true;
    } catch (const SimFileError& error) {
      return MarkUnusable("file " + Quoted() + ", " + error.what());
    }
  }

  // Without a usable file there are no simulated cameras; the fault is told once.
  bool MarkUnusable(const std::string& fault) {
    usable_ = false;
    if (!state_->devices.empty()) state_ = std::make_shared<const SimDescription>();
    Report(fault + "; no simulated cameras until it is repaired");
    return false;
  }

  void Report(const std::string& fault) {
    if (fault == lastReport_) return;
    lastReport_ = fault;
    std::cerr << "korvane: simulated cameras: " << fault << "\n";
  }

  std::string Quoted() const { return os::QuotedPath(file_); }

  // Opens the file and holds its advisory lock. A writer that renamed a new file into place
  // while this one waited has made the opened file stale, so it tries again on the new one.
  os::UniqueFd LockCurrentFile(const std::filesystem::path& target) {
    while (true) {
      os::UniqueFd fd(os::RetryOnInterrupt(
          [&] { return ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY); }));
      if (!fd.Valid()) {
        stamp_.reset();
        MarkUnusable(errno == ENOENT ? "file " + Quoted() + " is missing"
                                     : "cannot open " + Quoted() + ": " + os::ErrnoText(errno));
        return os::UniqueFd();
      }
      struct stat held = {};
      struct stat current = {};
      if (os::RetryOnInterrupt([&] { return ::flock(fd.Get(), LOCK_EX); }) != 0 ||
          ::fstat(fd.Get(), &held) != 0) {
        Report("cannot lock " + Quoted() + ": " + os::ErrnoText(errno));
        return os::UniqueFd();
      }
      if (::stat(target.c_str(), &current) == 0 && current.st_dev == held.st_dev &&
          current.st_ino == held.st_ino) {
        return fd;
      }
    }
  }

  const std::filesystem::path file_;
  std::mutex mutex_;
  std::shared_ptr<const SimDescription> state_ = std::make_shared<const SimDescription>();
  std::optional<os::FileStamp> stamp_;  // of the file the cached state was read from
  timespec readAt_{};                   // when it was read, on the clock of file times
  std::string text_;                    // the text the cached state was parsed from
  bool usable_ = false;
  std::string lastReport_;
  std::uint64_t lookedInBatch_ = 0;  // the call batch whose first call looked at the file
};

}  // namespace

std::shared_ptr<SimStore> MakeFileStore(const std::filesystem::path& file) {
  return std::make_shared<FileStore>(file);
}

}  // namespace korvane::sim
