#pragma once
// Waiting without spinning: a long-running command sleeps in poll(2) on its descriptors, and
// SIGINT, SIGTERM and SIGHUP arrive as one more readable descriptor, so that the command ends
// cleanly between two steps instead of in the middle of one.

#include <memory>
#include <string>
#include <vector>

namespace korvane::os {

// Blocks SIGINT, SIGTERM and SIGHUP for its lifetime (in the calling thread: create it before any
// other thread) and hands them out through a descriptor. Throws std::system_error when it cannot.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  int Descriptor() const { return fd_; }
  // The name of a signal that arrived ("SIGTERM"), taken; empty when none is pending.
  std::string Take();

 private:
  struct PreviousMask;
  std::unique_ptr<PreviousMask> previous_;  // put back at the end
  int fd_ = -1;
};

// Waits until one of the descriptors is readable (or has hung up), or until timeoutMs
// passes; a negative timeout waits without limit. Gives for each descriptor whether it is
// ready; all false after the time-out. Throws std::system_error when poll fails.
std::vector<bool> WaitReadable(const std::vector<int>& descriptors, int timeoutMs);

// The same with the events to wait for given per descriptor (poll(2)'s POLLIN, POLLPRI, ...).
struct WaitEntry {
  int descriptor;
  short events;
};
std::vector<bool> WaitReady(const std::vector<WaitEntry>& descriptors, int timeoutMs);

}  // namespace korvane::os
