#pragma once
// The camera file as the device store that several processes share: a change made by another
// program is seen at the next system call, and a change of the device is written back in one
// rename under an advisory lock, so that readers only see whole files and two writers never
// lose each other's change.
//
// Looking for a change costs one fstat of the file read last: a file replaced by a rename or
// deleted has no name left (no links), and a file written in place has a new size or time.
// A file behind a symbolic link or with further hard links could be replaced without that
// showing, so such a file is looked up by its path (one stat) every time.

#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/os/FileAccess.h"

namespace korvane::v4l2::emulation {

class EmulationFile {
 public:
  explicit EmulationFile(std::filesystem::path path) : path_(std::move(path)) {}

  const std::filesystem::path& Path() const { return path_; }
  // The text last read or written.
  const std::string& Text() const { return text_; }

  enum class Status { kUnchanged, kChanged, kUnusable };
  // kChanged: the file has a new text (Text()); kUnusable: it cannot be read (*fault says why).
  Status Check(std::string* fault);

  // Under the lock, hands the latest text to update, which gives the text to write (or
  // nullopt with *fault set to write nothing). Returns an empty string, or why nothing was
  // written.
  using Updater =
      std::function<std::optional<std::string>(const std::string& latest, std::string* fault)>;
  std::string Update(const Updater& update);

 private:
  bool Racy() const;
  // Keeps the file just read open for the cheap look, where that is safe.
  void Hold();
  os::UniqueFd LockCurrentFile(const std::filesystem::path& target, std::string* fault);

  const std::filesystem::path path_;
  os::UniqueFd held_;
  std::optional<os::FileStamp> stamp_;  // of the file the text was read from
  timespec readAt_{};                   // when, on the clock of file times
  std::string text_;
};

}  // namespace korvane::v4l2::emulation
