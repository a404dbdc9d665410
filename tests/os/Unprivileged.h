#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace korvane::os::testing {

// Runs check() in a forked child and returns its result (or -1 when the child died).
// As root, the child first becomes "nobody", because root ignores permission bits
// and the tests need the system to refuse something.
inline int RunInChild(const std::function<int()>& check, bool unprivileged) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (unprivileged && ::geteuid() == 0) {
      constexpr gid_t kNobody = 65534;
      if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
        ::_exit(100);
      }
    }
    ::_exit(check());
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace korvane::os::testing
