#include "cli/Emulate.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "cli/CliErrors.h"
#include "platform/v4l2/emulation/EmulatedKernel.h"

namespace korvane::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kLibrary = "libkorvane-v4l2-emulation.so";

// Installed beside the tool (its folder relative to the tool's), else where the build made it.
fs::path PreloadLibrary() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (!error) {
    const fs::path installed = self.parent_path() / KORVANE_PRELOAD_RELATIVE / kLibrary;
    if (fs::is_regular_file(installed, error)) return installed.lexically_normal();
  }
  const fs::path built = KORVANE_PRELOAD_BUILT;
  if (!built.empty() && fs::is_regular_file(built, error)) return built;
  throw ECliError(TExitCode::Unavailable,
                  std::string("emulate: the preload library ") + kLibrary + " is not installed");
}

}  // namespace

void RunEmulated(const std::string& file, const std::vector<std::string>& program,
                 std::ostream& out) {
  // The file is checked here, so that a broken one is told before the program starts.
  std::string fault;
  if (!v4l2::emulation::EmulatedKernel::FromFile(file, &fault)) {
    throw ECliError(TExitCode::DeviceError, "emulate: " + fault);
  }
  const fs::path library = PreloadLibrary();
  std::error_code error;
  const fs::path camera = fs::absolute(file, error);
  // The program may change its folder; the library finds the file by its full path.
  ::setenv("KORVANE_V4L2_EMULATION", (error ? fs::path(file) : camera).c_str(), 1);
  const char* earlier = std::getenv("LD_PRELOAD");
  std::string preload = library.string();
  if (earlier && *earlier) preload += std::string(":") + earlier;
  ::setenv("LD_PRELOAD", preload.c_str(), 1);
  // The simulated cameras would hide the emulated ones from this tool and the window.
  ::unsetenv("KORVANE_CAMERAS");

  std::vector<char*> arguments;
  for (const std::string& argument : program)
    arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);
  out.flush();
  ::execvp(arguments.front(), arguments.data());
  const int reason = errno;
  // As a shell answers: 127 for a program it cannot find, 126 for one it cannot run.
  throw ECliError(reason == ENOENT ? TExitCode::ProgramNotFound : TExitCode::ProgramNotRun,
                  "emulate: cannot run " + program.front() + ": " + std::strerror(reason));
}

}  // namespace korvane::cli
