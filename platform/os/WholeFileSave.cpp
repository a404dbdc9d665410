#include "platform/os/WholeFileSave.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/os/FileAccess.h"

namespace korvane::os {
namespace {

// A save takes milliseconds; a folder locked for longer belongs to a save that is stopped
// (Ctrl+Z) or hangs on a dead network folder, and the window must not freeze behind it.
constexpr auto kLockPatience = std::chrono::seconds(10);
constexpr auto kLockRetry = std::chrono::milliseconds(10);
// As the kernel follows links at most 40 deep.
constexpr int kMaxLinks = 40;

struct Resolved {
  std::filesystem::path path;
  std::string cause;  // why the links cannot be followed
};

// The file a chain of symbolic links names, even when it does not exist yet: a save through a
// dangling link creates the file the link points to, and keeps the link.
Resolved FollowLinks(std::filesystem::path path) {
  for (int depth = 0; depth <= kMaxLinks; ++depth) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return {path, {}};
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink(path, error);
    if (error) return {path, "cannot follow the link: " + error.message()};
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return {path, "cannot follow the link: " + ErrnoText(ELOOP)};
}

// An exclusive flock on the folder: the saved file is replaced by a rename, so a lock on the
// file itself would stay with the old file. A folder that cannot be opened or locked (a
// drop-box folder without read permission, some network file systems) is saved without it.
class FolderLock {
 public:
  explicit FolderLock(const std::filesystem::path& folder)
      : fd_(RetryOnInterrupt([&] {
          return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
        })) {}

  // false when another save kept the folder locked past our patience.
  bool Take() {
    if (!fd_.Valid()) return true;
    const auto giveUp = std::chrono::steady_clock::now() + kLockPatience;
    for (;;) {
      if (RetryOnInterrupt([&] { return ::flock(fd_.Get(), LOCK_EX | LOCK_NB); }) == 0) {
        held_ = true;
        return true;
      }
      if (errno != EWOULDBLOCK) return true;
      if (std::chrono::steady_clock::now() >= giveUp) return false;
      std::this_thread::sleep_for(kLockRetry);
    }
  }
  bool Held() const { return held_; }

 private:
  UniqueFd fd_;  // closing it gives the lock back
  bool held_ = false;
};

// Temporary files of earlier saves of this file that were killed (SIGKILL, a power cut) before
// they could clean up. Under the folder's lock no other save of the file is under way, so each
// one found belongs to a save that died.
void RemoveLeftTemporaries(const std::filesystem::path& file) {
  const std::string prefix = "." + file.filename().native() + ".tmp-";
  constexpr std::size_t kSuffixLength = 12;
  std::error_code error;
  for (std::filesystem::directory_iterator
           entry(file.parent_path().empty() ? "." : file.parent_path(), error),
       end;
       !error && entry != end; entry.increment(error)) {
    const std::string name = entry->path().filename().native();
    if (name.size() != prefix.size() + kSuffixLength || !name.starts_with(prefix)) continue;
    if (name.find_first_not_of("0123456789abcdef", prefix.size()) != std::string::npos) continue;
    ::unlink(entry->path().c_str());
  }
}

}  // namespace

std::string SaveWholeFile(const std::filesystem::path& path, std::size_t maxBytes,
                          std::string_view kindOfFile, const WholeFileEdit& edit) {
  const Resolved target = FollowLinks(path);
  if (!target.cause.empty()) return target.cause;
  std::filesystem::path folder = target.path.parent_path();
  if (folder.empty()) folder = ".";
  FolderLock lock(folder);
  if (!lock.Take()) {
    return "another save kept its folder locked for " +
           std::to_string(std::chrono::seconds(kLockPatience).count()) + " seconds";
  }

  if (lock.Held()) RemoveLeftTemporaries(target.path);

  // Always the file as it is now, under the lock: another program may have saved it since.
  auto loaded = LoadRegularFile(target.path, maxBytes, kindOfFile);
  if (const auto* failure = std::get_if<FileError>(&loaded)) return failure->cause;
  const LoadedFile* previous = std::get_if<LoadedFile>(&loaded);
  auto edited = edit(previous != nullptr ? &previous->bytes : nullptr);
  if (const auto* refusal = std::get_if<EditRefusal>(&edited)) return refusal->cause;
  const std::string& bytes = std::get<std::string>(edited);
  if (bytes.size() > maxBytes) {
    return "the saved file would be larger than " + std::string(kindOfFile) + " can be (" +
           SizeText(maxBytes) + ")";
  }
  return ReplaceFileAtomicallyCause(target.path, bytes, previous);
}

}  // namespace korvane::os
