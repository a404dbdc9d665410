#pragma once
// Runs the real korvane-cam as its own process against a simulated camera file, as a script
// would, and hands back what it printed and how it ended.

#include <filesystem>
#include <string>
#include <vector>

#include "platform/sim/SimDescription.h"

namespace korvane::cli::testing {

struct TToolRun {
  int ExitCode = -1;
  std::string Out;
  std::string Err;
};

// KORVANE_CAMERAS=camerasFile; the rest of the environment as this process has it.
TToolRun RunTool(const std::filesystem::path& camerasFile,
                 const std::vector<std::string>& arguments);

// A fresh folder, removed with its content.
class TScratchFolder {
 public:
  TScratchFolder();
  ~TScratchFolder();
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;
  std::filesystem::path operator/(const std::string& name) const { return FPath / name; }

 private:
  std::filesystem::path FPath;
};

void WriteCameraFile(const std::filesystem::path& file, const sim::SimDescription& cameras);
sim::SimDescription ReadCameraFile(const std::filesystem::path& file);
std::string ReadText(const std::filesystem::path& file);

}  // namespace korvane::cli::testing
