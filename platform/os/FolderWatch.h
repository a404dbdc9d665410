#pragma once
// A folder watched for files written or renamed into it, or removed: a descriptor for poll(2)
// that turns readable when the folder's files may have changed.

#include <filesystem>

#include "platform/os/FileAccess.h"

namespace korvane::os {

class FolderWatch {
 public:
  // Creates the folder when it is missing. 0, or the errno of the failure.
  int Start(const std::filesystem::path& folder);
  int Descriptor() const { return fd_.Get(); }
  // Takes what is pending.
  void Drain();

 private:
  UniqueFd fd_;
};

}  // namespace korvane::os
