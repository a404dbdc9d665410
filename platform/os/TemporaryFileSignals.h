#pragma once

#include <filesystem>
#include <mutex>

namespace korvane::os {

// While armed, SIGINT, SIGTERM and SIGHUP first remove the temporary file of a save and then
// end the process as they would have, so that a stopped save leaves nothing in the user's
// folder. Only signals whose action is the default are taken over, and only for the object's
// lifetime; one object is armed at a time in the process (others wait for it).
class RemoveOnStopSignal {
 public:
  RemoveOnStopSignal();
  ~RemoveOnStopSignal();
  RemoveOnStopSignal(const RemoveOnStopSignal&) = delete;
  RemoveOnStopSignal& operator=(const RemoveOnStopSignal&) = delete;

  // The file to remove from now on.
  void Arm(const std::filesystem::path& temporary);
  void Disarm();

 private:
  std::unique_lock<std::mutex> lock_;
};

}  // namespace korvane::os
