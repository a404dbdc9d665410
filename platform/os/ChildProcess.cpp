#include "platform/os/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>

#include "platform/os/FileAccess.h"

extern char** environ;

namespace korvane::os {
namespace {

constexpr std::size_t kMaxOutput = 64 * 1024;

// The spawn's attributes and file actions, destroyed however the spawn ends.
struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
  }
  ~SpawnSetup() {
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

ProgramRun RunProgram(const std::vector<std::string>& arguments, std::chrono::milliseconds limit) {
  const auto giveUp = std::chrono::steady_clock::now() + limit;
  ProgramRun run;
  if (arguments.empty()) {
    run.NotStarted = "no program given";
    return run;
  }
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    run.NotStarted = ErrnoText(errno);
    return run;
  }
  UniqueFd readEnd(ends[0]);
  UniqueFd writeEnd(ends[1]);

  SpawnSetup setup;
  posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&setup.actions, writeEnd.Get(), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&setup.actions, writeEnd.Get(), STDERR_FILENO);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&setup.attributes, &none);
  posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGMASK);

  std::vector<std::string> copies = arguments;
  std::vector<char*> argv;
  for (std::string& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned =
      ::posix_spawnp(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), environ);
  writeEnd.Close();
  if (spawned != 0) {
    run.NotStarted = ErrnoText(spawned);
    return run;
  }
  run.Started = true;

  std::array<char, 4096> buffer{};
  int status = 0;
  bool ended = false;  // reaped already
  for (;;) {
    // The output ends when the program and everything it started have closed the pipe.
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(giveUp - std::chrono::steady_clock::now());
    pollfd entry{readEnd.Get(), POLLIN, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(std::max<std::int64_t>(0, left.count())));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) {
      // A program that ended but left something of its own holding the pipe has not hung.
      ended = ::waitpid(pid, &status, WNOHANG) == pid;
      if (!ended) {
        run.TimedOut = true;
        ::kill(pid, SIGKILL);
      }
      break;
    }
    const ssize_t got =
        RetryOnInterrupt([&] { return ::read(readEnd.Get(), buffer.data(), buffer.size()); });
    if (got <= 0) break;
    const std::size_t room = kMaxOutput - std::min(kMaxOutput, run.Output.size());
    run.Output.append(buffer.data(), std::min(room, static_cast<std::size_t>(got)));
  }
  if (!ended && RetryOnInterrupt([&] { return ::waitpid(pid, &status, 0); }) < 0) return run;
  run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

}  // namespace korvane::os
