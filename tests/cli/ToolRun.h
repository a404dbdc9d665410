#pragma once
// Runs the real korvane-cam as its own process against a simulated camera file, as a script
// would, and hands back what it printed and how it ended.

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/SimDescription.h"

namespace korvane::cli::testing {

struct TToolRun {
  int ExitCode = -1;
  std::string Out;
  std::string Err;
};

// Variables set (a value) or removed (nullopt) on top of this process's environment.
using TEnvironment = std::vector<std::pair<std::string, std::optional<std::string>>>;

// KORVANE_CAMERAS=camerasFile; the rest of the environment as this process has it.
TToolRun RunTool(const std::filesystem::path& camerasFile,
                 const std::vector<std::string>& arguments);
TToolRun RunTool(const TEnvironment& environment, const std::vector<std::string>& arguments);
// Standard output into outFile ("/dev/full"), which Out then holds unless it is a device.
TToolRun RunTool(const TEnvironment& environment, const std::vector<std::string>& arguments,
                 const std::string& outFile);

// A fresh folder, removed with its content.
class TScratchFolder {
 public:
  TScratchFolder();
  ~TScratchFolder();
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;
  std::filesystem::path operator/(const std::string& name) const { return FPath / name; }
  const std::filesystem::path& Path() const { return FPath; }

 private:
  std::filesystem::path FPath;
};

// korvane-cam (or another program) running beside the test, its output gathered; killed at the
// end of the object if it still runs.
class TBackgroundTool {
 public:
  TBackgroundTool(const TEnvironment& environment, const std::vector<std::string>& arguments,
                  const std::string& program = "");
  ~TBackgroundTool();
  TBackgroundTool(const TBackgroundTool&) = delete;
  TBackgroundTool& operator=(const TBackgroundTool&) = delete;

  pid_t Pid() const { return FPid; }
  std::string Err() const;
  std::string Out() const;
  bool WaitForOut(const std::string& text, int count = 1) const;
  // Waits for the end on its own: the exit code as Stop gives it.
  int Wait();
  // Waits until standard error holds the text at least count times; false after a limit far
  // beyond any wait the tool means to make, so a slow machine passes and a hang fails.
  bool WaitForErr(const std::string& text, int count = 1) const;
  // Sends the signal and waits for the end: the exit code, 128 + the signal for a killed one.
  int Stop(int signal);

 private:
  TScratchFolder FOutputs;
  pid_t FPid = -1;
};

// The stand-in for another program on an emulated camera (OtherProgram.cpp).
std::string OtherProgramPath();

// Waits until the condition holds; false after the same patience.
bool WaitUntil(const std::function<bool()>& condition);

void WriteCameraFile(const std::filesystem::path& file, const sim::SimDescription& cameras);
sim::SimDescription ReadCameraFile(const std::filesystem::path& file);
std::string ReadText(const std::filesystem::path& file);
// How often text occurs in haystack.
int Occurrences(const std::string& haystack, const std::string& text);

}  // namespace korvane::cli::testing
