#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/os/FileAccess.h"

namespace korvane::os {

// A claim on a name, held by at most one process of the user at a time: an abstract local
// socket bound to the user's id and the name. The kernel lets the name go when its holder
// closes it or ends, however it ends, so no stale lock outlives a crash; the check costs a
// few system calls however many processes run.
class InstanceClaim {
 public:
  // The claim, or nothing when another holder has it (or the system refuses sockets).
  static std::optional<InstanceClaim> Take(std::string_view name);

 private:
  explicit InstanceClaim(UniqueFd socket) : FSocket(std::move(socket)) {}
  UniqueFd FSocket;
};

// Whether another process of this user runs a program of this executable file name. The
// first call claims the name for this process, for the rest of its life; a process that
// holds the claim is never "another".
bool AnotherProcessClaims(std::string_view exeName);

}  // namespace korvane::os
