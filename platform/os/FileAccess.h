#pragma once

#include <sys/stat.h>

#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <variant>

// The profile file's door to the file system: every system call of the reader and
// the atomic writer goes through here, retrying EINTR and returning the error text.
namespace korvane::os {

// Runs a system call again while a signal interrupted it; returns its last result.
template <class Call>
auto RetryOnInterrupt(Call call) {
  decltype(call()) result;
  do {
    result = call();
  } while (result == -1 && errno == EINTR);
  return result;
}

// An owned file descriptor.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd();
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  int Release();
  // Closes now and reports a failed close, which on some file systems is a lost write.
  int Close();

 private:
  int fd_ = -1;
};

// What identifies one version of a file for the read cache.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};
  bool operator==(const FileStamp& other) const;
};
FileStamp StampOf(const struct stat& status);

struct LoadedFile {
  std::string bytes;
  FileStamp stamp;
  mode_t mode = 0;
  uid_t owner = 0;
  gid_t group = 0;
};
struct FileMissing {};
struct FileError {
  std::string reason;  // names the file
  std::string cause;   // the same without the file's name: "it is not a regular file"
  bool tooLarge = false;
};

// The whole content of a regular file of at most maxBytes. A FIFO, device or
// directory is refused without blocking, and so is a file larger than the cap, which is
// reported as larger than kindOfFile ("a camera file") can be, with the cap.
std::variant<LoadedFile, FileMissing, FileError> LoadRegularFile(const std::filesystem::path& path,
                                                                 std::size_t maxBytes,
                                                                 std::string_view kindOfFile);

// Replaces the file with the given bytes through a temporary file in the same folder
// that is flushed to disk and renamed over the original, so that a crash or a full
// disk leaves the old or the new file but never a mix. keepMode carries the old
// file's permission bits; a new file gets the usual 0666 less the umask.
// SIGINT, SIGTERM or SIGHUP during the replacement removes the temporary file before the signal
// ends the process. Returns an empty string on success, else why it failed, naming the file
// (nothing changed then).
std::string ReplaceFileAtomically(const std::filesystem::path& path, const std::string& bytes,
                                  const LoadedFile* previous);
// The same, saying why without the file's name ("No space left on device").
std::string ReplaceFileAtomicallyCause(const std::filesystem::path& path, const std::string& bytes,
                                       const LoadedFile* previous);

// "4 MiB", "64 KiB" or "100 bytes".
std::string SizeText(std::size_t bytes);

std::string ErrnoText(int error);

// The name a process was started under (the file name of its first argument), "" when it has
// ended or cannot be looked into.
std::string ProgramName(int pid);

// For tests: called after every whole read of LoadRegularFile, so that a test can replace the
// file between two reads of one load and show that a load reads once. Empty to stop.
void SetAfterReadHook(std::function<void(const std::filesystem::path&)> hook);

// The path in double quotes, as messages name a file.
std::string QuotedPath(const std::filesystem::path& path);

}  // namespace korvane::os
