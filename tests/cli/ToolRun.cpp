#include "tests/cli/ToolRun.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/sim/SimJson.h"

extern char** environ;

namespace korvane::cli::testing {
namespace {

// Far beyond what the tool waits for itself (at most 20 s for a camera that does not answer).
constexpr auto kPatience = std::chrono::seconds(60);

pid_t Spawn(const std::string& program, const TEnvironment& changes,
            const std::vector<std::string>& arguments, const std::string& outFile,
            const std::string& errFile) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry) {
    const std::string_view text(*entry);
    bool changed = false;
    for (const auto& [name, value] : changes) changed = changed || text.starts_with(name + "=");
    if (!changed) environment.emplace_back(text);
  }
  for (const auto& [name, value] : changes) {
    if (value) environment.push_back(name + "=" + *value);
  }
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);

  std::vector<std::string> args{program};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  const int spawned =
      posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot start " + program);
  return pid;
}

int WaitForEnd(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

TToolRun RunTool(const std::filesystem::path& camerasFile,
                 const std::vector<std::string>& arguments) {
  return RunTool(TEnvironment{{"KORVANE_CAMERAS", camerasFile.string()}}, arguments);
}

TToolRun RunTool(const TEnvironment& environment, const std::vector<std::string>& arguments) {
  const TScratchFolder outputs;
  return RunTool(environment, arguments, (outputs / "out").string());
}

TToolRun RunTool(const TEnvironment& environment, const std::vector<std::string>& arguments,
                 const std::string& outFile) {
  const TScratchFolder outputs;
  const std::string errFile = (outputs / "err").string();
  TToolRun run;
  run.ExitCode = WaitForEnd(Spawn(KORVANE_CAM, environment, arguments, outFile, errFile));
  run.Out = outFile.starts_with("/dev/") ? std::string() : ReadText(outFile);
  run.Err = ReadText(errFile);
  return run;
}

TBackgroundTool::TBackgroundTool(const TEnvironment& environment,
                                 const std::vector<std::string>& arguments,
                                 const std::string& program)
    : FPid(Spawn(program.empty() ? KORVANE_CAM : program, environment, arguments,
                 (FOutputs / "out").string(), (FOutputs / "err").string())) {}

std::string TBackgroundTool::Out() const {
  return ReadText(FOutputs / "out");
}

bool TBackgroundTool::WaitForOut(const std::string& text, int count) const {
  return WaitUntil([&] { return Occurrences(Out(), text) >= count; });
}

int TBackgroundTool::Wait() {
  const int code = WaitForEnd(FPid);
  FPid = -1;
  return code;
}

std::string OtherProgramPath() {
  return KORVANE_OTHER_PROGRAM;
}

bool WaitUntil(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

TBackgroundTool::~TBackgroundTool() {
  if (FPid > 0) Stop(SIGKILL);
}

std::string TBackgroundTool::Err() const {
  return ReadText(FOutputs / "err");
}

bool TBackgroundTool::WaitForErr(const std::string& text, int count) const {
  return WaitUntil([&] { return Occurrences(Err(), text) >= count; });
}

int TBackgroundTool::Stop(int signal) {
  ::kill(FPid, signal);
  const int code = WaitForEnd(FPid);
  FPid = -1;
  return code;
}

TScratchFolder::TScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "korvane-cli-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  FPath = pattern;
}

TScratchFolder::~TScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(FPath, ignored);
}

void WriteCameraFile(const std::filesystem::path& file, const sim::SimDescription& cameras) {
  std::ofstream(file, std::ios::binary) << sim::ToJson(cameras);
}

sim::SimDescription ReadCameraFile(const std::filesystem::path& file) {
  return sim::ParseSimDescription(ReadText(file));
}

std::string ReadText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int Occurrences(const std::string& haystack, const std::string& text) {
  int count = 0;
  for (std::size_t at = haystack.find(text); at != std::string::npos;
       at = haystack.find(text, at + text.size())) {
    ++count;
  }
  return count;
}

}  // namespace korvane::cli::testing
