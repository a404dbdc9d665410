#pragma once
// Which program streams a camera of a camera file. Every program that emulates the file has
// the cameras in memory of its own, so the driver's rule that one open file at a time owns the
// stream would hold inside each program alone; a claim that every program on the machine sees
// makes the second program's request fail with EBUSY, as on a real kernel. A claim is an
// abstract socket name bound by the program that streams: nothing to clean up, and gone with
// the program however it ends.

#include <filesystem>
#include <map>
#include <string>

#include "platform/os/FileAccess.h"

namespace korvane::v4l2::emulation {

class StreamClaims {
 public:
  // No file: cameras in memory, which no other program shares.
  explicit StreamClaims(const std::filesystem::path& file);

  // True when this program holds the camera's stream now (it may already have); false when
  // another program holds it.
  bool Hold(const std::string& camera);
  void Release(const std::string& camera);
  bool Holds(const std::string& camera) const { return held_.contains(camera); }

 private:
  std::string file_;
  std::map<std::string, os::UniqueFd> held_;
};

}  // namespace korvane::v4l2::emulation
