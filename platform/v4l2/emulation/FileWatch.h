#pragma once
// The camera file watched for another program's change, so that a camera plugged in through the
// file wakes a waiting program as a new device node wakes it on a real machine: an inotify
// descriptor on the file's folder (and on the folder of the file a link leads to), since a
// writer replaces the file by a rename, which a watch on the file itself would miss.

#include <filesystem>

#include "platform/os/FileAccess.h"

namespace korvane::v4l2::emulation {

class FileWatch {
 public:
  // 0, or the errno of the failure.
  int Start(const std::filesystem::path& file);
  int Descriptor() const { return fd_.Get(); }
  // Empties what is pending. 0, or the errno of a failed read.
  int Drain();

 private:
  os::UniqueFd fd_;
};

}  // namespace korvane::v4l2::emulation
