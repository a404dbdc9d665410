#include "platform/v4l2/emulation/EmulationFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <variant>

#include "platform/v4l2/emulation/DescriptionJson.h"

namespace korvane::v4l2::emulation {
namespace {

// The clock file times are taken from, at the same coarse granularity.
timespec CoarseNow() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
  return now;
}

bool NotBefore(const timespec& a, const timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec >= b.tv_nsec;
}

std::string TooLarge(const std::filesystem::path& path) {
  return "file " + os::QuotedPath(path) + " is larger than " +
         std::to_string(kMaxFileBytes / 1024 / 1024) + " MB";
}

}  // namespace

// A file changed in the same clock tick as it was read may change again without its stamp
// showing it (an in-place write of the same size); until that tick is over its content is
// compared instead.
bool EmulationFile::Racy() const {
  return NotBefore(stamp_->modified, readAt_);
}

void EmulationFile::Hold() {
  held_ = os::UniqueFd(os::RetryOnInterrupt(
      [&] { return ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY); }));
  struct stat opened = {};
  struct stat named = {};
  const bool alone = held_.Valid() && ::fstat(held_.Get(), &opened) == 0 &&
                     ::lstat(path_.c_str(), &named) == 0 && S_ISREG(named.st_mode) &&
                     named.st_nlink == 1 && named.st_ino == opened.st_ino &&
                     named.st_dev == opened.st_dev;
  if (!alone) held_ = os::UniqueFd();
}

EmulationFile::Status EmulationFile::Check(std::string* fault) {
  struct stat status = {};
  bool found = held_.Valid() && ::fstat(held_.Get(), &status) == 0 && status.st_nlink > 0;
  if (!found) {
    held_ = os::UniqueFd();
    found = ::stat(path_.c_str(), &status) == 0;
  }
  if (found && stamp_ && *stamp_ == os::StampOf(status) && !Racy()) return Status::kUnchanged;
  if (found && static_cast<std::size_t>(status.st_size) > kMaxFileBytes) {
    // Told once: the stamp stays until the file changes.
    const bool told = stamp_ && *stamp_ == os::StampOf(status);
    stamp_ = os::StampOf(status);
    readAt_ = CoarseNow();
    text_.clear();
    *fault = TooLarge(path_);
    return told ? Status::kUnchanged : Status::kUnusable;
  }
  const timespec readAt = CoarseNow();
  const auto loaded = os::LoadRegularFile(path_, kMaxFileBytes, "an emulated camera file");
  if (std::holds_alternative<os::FileMissing>(loaded)) {
    // A file that cannot be read has no stamp: it is tried again at every call.
    stamp_.reset();
    *fault = "file " + os::QuotedPath(path_) + " is missing";
    return Status::kUnusable;
  }
  if (const auto* failure = std::get_if<os::FileError>(&loaded)) {
    stamp_.reset();
    *fault = failure->reason;
    return Status::kUnusable;
  }
  const auto& file = std::get<os::LoadedFile>(loaded);
  const bool sameText = stamp_ && file.bytes == text_;
  stamp_ = file.stamp;
  readAt_ = readAt;
  Hold();
  if (sameText) return Status::kUnchanged;
  text_ = file.bytes;
  return Status::kChanged;
}

std::string EmulationFile::Update(const Updater& update) {
  // Writes go to the file a link points to, so the link stays a link.
  std::error_code error;
  std::filesystem::path target = std::filesystem::canonical(path_, error);
  if (error) target = path_;
  std::string fault;
  const os::UniqueFd held = LockCurrentFile(target, &fault);
  if (!held.Valid()) return fault;
  const auto loaded = os::LoadRegularFile(target, kMaxFileBytes, "an emulated camera file");
  if (std::holds_alternative<os::FileMissing>(loaded))
    return "file " + os::QuotedPath(path_) + " is missing";
  if (const auto* failure = std::get_if<os::FileError>(&loaded)) return failure->reason;
  const auto& latest = std::get<os::LoadedFile>(loaded);

  const std::optional<std::string> text = update(latest.bytes, &fault);
  if (!text) return fault;
  const timespec writtenAt = CoarseNow();
  if (std::string failure = os::ReplaceFileAtomically(target, *text, &latest); !failure.empty()) {
    return failure;
  }
  struct stat written = {};
  if (::stat(target.c_str(), &written) != 0) {
    return "cannot inspect the written file: " + os::ErrnoText(errno);
  }
  stamp_ = os::StampOf(written);
  readAt_ = writtenAt;
  text_ = *text;
  Hold();
  return {};
}

// Opens the file and holds its advisory lock. A writer that renamed a new file into place
// while this one waited has made the opened file stale, so it tries again on the new one.
os::UniqueFd EmulationFile::LockCurrentFile(const std::filesystem::path& target,
                                            std::string* fault) {
  while (true) {
    os::UniqueFd fd(os::RetryOnInterrupt(
        [&] { return ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY); }));
    if (!fd.Valid()) {
      *fault = "cannot open " + os::QuotedPath(path_) + ": " + os::ErrnoText(errno);
      return os::UniqueFd();
    }
    struct stat held = {};
    struct stat current = {};
    if (os::RetryOnInterrupt([&] { return ::flock(fd.Get(), LOCK_EX); }) != 0 ||
        ::fstat(fd.Get(), &held) != 0) {
      *fault = "cannot lock " + os::QuotedPath(path_) + ": " + os::ErrnoText(errno);
      return os::UniqueFd();
    }
    if (::stat(target.c_str(), &current) == 0 && current.st_dev == held.st_dev &&
        current.st_ino == held.st_ino) {
      return fd;
    }
  }
}

}  // namespace korvane::v4l2::emulation
