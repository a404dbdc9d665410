#include "tests/cli/ToolRun.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/sim/SimJson.h"

extern char** environ;

namespace korvane::cli::testing {

TToolRun RunTool(const std::filesystem::path& camerasFile,
                 const std::vector<std::string>& arguments) {
  const TScratchFolder outputs;
  const std::string outFile = (outputs / "out").string();
  const std::string errFile = (outputs / "err").string();

  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry) {
    if (std::string_view(*entry).starts_with("KORVANE_CAMERAS=")) continue;
    environment.emplace_back(*entry);
  }
  environment.push_back("KORVANE_CAMERAS=" + camerasFile.string());
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);

  std::string program = KORVANE_CAM;
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
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  TToolRun run;
  run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.Out = ReadText(outFile);
  run.Err = ReadText(errFile);
  return run;
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

}  // namespace korvane::cli::testing
