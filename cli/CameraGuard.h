#pragma once
// Keeps one remembered camera at its settings while other programs use it. Idle, it holds
// nothing on the camera but a watch of its node's opens and closes; when another program opens
// the camera, it opens a descriptor of its own, subscribed to the driver's control events, and
// when a remembered control changes it puts the remembered settings back as `load` applies
// them, a quiet moment after the last change. A control that the other program sets again after
// each of a few rounds is left to it until it closes the camera. When the other program closes
// the camera, the descriptor is closed too: an open descriptor keeps a UVC camera powered.

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/RememberCommands.h"
#include "platform/os/Waiting.h"
#include "platform/v4l2/Kernel.h"

namespace korvane::v4l2 {
class ControlEvents;
}

namespace korvane::cli {

class TCameraGuard {
 public:
  using TClock = std::chrono::steady_clock;
  using TLog = std::function<void(const std::string&)>;

  // The time after the last change before the settings go back: a program that starts writes
  // its controls one after another, and is answered once, after the last.
  static constexpr TClock::duration kQuietTime = std::chrono::milliseconds(40);
  // Rounds that each control is put back per session of the other program.
  static constexpr int kRounds = 3;

  // The camera listed under devicePath, whose node (/dev/videoN) is reached through door.
  // Throws ECliError DeviceError when its opens cannot be watched.
  TCameraGuard(std::filesystem::path folder, std::string devicePath, v4l2::Door door,
               std::string nodePath, TLog log);
  ~TCameraGuard();
  TCameraGuard(const TCameraGuard&) = delete;
  TCameraGuard& operator=(const TCameraGuard&) = delete;

  const std::string& NodePath() const { return FNodePath; }
  bool Holding() const { return FSession != nullptr; }

  // What to wait for now: the open watch, and the camera's own descriptor while it is held.
  std::vector<os::WaitEntry> WaitEntries() const;
  std::optional<TClock::time_point> Due() const;
  // Handles what the wait found ready (one flag per entry of WaitEntries) and a restore that is
  // due. False when the camera is gone and the guard is done with.
  bool Serve(const std::vector<bool>& ready);

 private:
  struct TSession;
  void Begin();
  void End();
  void PutBack();

  const std::filesystem::path FFolder;
  const std::string FDevicePath;
  const v4l2::Door FDoor;
  const std::string FNodePath;
  const TLog FLog;
  v4l2::UniqueFd FOpenWatch;
  std::unique_ptr<TSession> FSession;
};

}  // namespace korvane::cli
