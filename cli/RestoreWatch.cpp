#include "cli/RestoreWatch.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli/CameraGuard.h"
#include "cli/PrintableText.h"
#include "cli/RememberCommands.h"
#include "platform/devices/DeviceProvider.h"
#include "platform/os/FileAccess.h"
#include "platform/os/FolderWatch.h"
#include "platform/os/Waiting.h"
#include "platform/v4l2/UserChanges.h"
#include "platform/v4l2/V4l2Device.h"

namespace korvane::cli {
namespace {

using TClock = std::chrono::steady_clock;

// A camera that has just come may not answer yet: udev gives its node a group and an access
// list and makes its links a moment after the kernel made the node. It is asked again after
// a delay that doubles up to a limit, for a while.
constexpr TClock::duration kFirstDelay = std::chrono::milliseconds(50);
constexpr TClock::duration kLongestDelay = std::chrono::seconds(2);
constexpr TClock::duration kPatience = std::chrono::seconds(20);

struct TPending {
  TClock::time_point NextTry;
  TClock::time_point GiveUp;
  TClock::duration Delay = kFirstDelay;
  // Its node or link came while watching; a camera that was merely remembered at the start and
  // is not attached is not waited for.
  bool Announced = false;
};

class TWatcher {
 public:
  explicit TWatcher(std::ostream& err);
  void Run();

 private:
  void Log(const std::string& line);
  void Want(const std::string& devicePath, bool announced);
  void TryDue();
  // Whether the camera is done with: restored, given up, or gone from the remembered ones.
  bool TryOne(const std::string& devicePath, const TPending& pending,
              const TFVideoCaptureDevices& devices);
  int Timeout() const;
  // Guards the camera just restored, when it is remembered so, and it is a Video4Linux2 one.
  void Guard(TOpenCamera& camera, const TRememberedCamera& remembered);

  std::ostream& FErr;
  os::StopSignals FStop;  // first: no signal may end the process between two steps
  std::vector<std::unique_ptr<devices::DeviceWatch>> FWatches;
  std::filesystem::path FFolder;
  std::map<std::string, TPending> FPending;                      // by device path
  std::map<std::string, std::unique_ptr<TCameraGuard>> FGuards;  // by device path
  // The remembered settings: a camera remembered, remembered again or forgotten while the
  // watcher runs is guarded, or no longer, from then on.
  os::FolderWatch FRememberedChanges;
  void RememberedChanged();
};

TWatcher::TWatcher(std::ostream& err) : FErr(err), FFolder(RememberedFolder()) {
  for (const auto& provider : devices::InstalledDeviceProviders()) {
    int error = 0;
    std::unique_ptr<devices::DeviceWatch> watch = provider->WatchDevices(&error);
    if (watch) {
      FWatches.push_back(std::move(watch));
    } else if (error == ENOTSUP) {
      throw ECliError(TExitCode::Unavailable,
                      "restore --watch: these cameras do not come and go (simulated cameras); "
                      "unset KORVANE_CAMERAS to watch the machine's cameras");
    } else {
      throw ECliError(TExitCode::DeviceError,
                      "restore --watch: cannot watch for cameras: " + os::ErrnoText(error));
    }
  }
}

void TWatcher::Log(const std::string& line) {
  FErr << ErrorLine(line) << std::flush;
}

void TWatcher::Want(const std::string& devicePath, bool announced) {
  const TClock::time_point now = TClock::now();
  TPending& pending = FPending[devicePath];
  pending.NextTry = now;
  pending.GiveUp = now + kPatience;
  pending.Delay = kFirstDelay;
  pending.Announced = pending.Announced || announced;
}

int TWatcher::Timeout() const {
  TClock::time_point next = TClock::time_point::max();
  for (const auto& [path, pending] : FPending) next = std::min(next, pending.NextTry);
  for (const auto& [path, guard] : FGuards) {
    if (const auto due = guard->Due()) next = std::min(next, *due);
  }
  if (next == TClock::time_point::max()) return -1;
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - TClock::now());
  return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(wait.count(), 0, 60000));
}

bool TWatcher::TryOne(const std::string& devicePath, const TPending& pending,
                      const TFVideoCaptureDevices& devices) {
  const auto remembered = FindRemembered(FFolder, devicePath);
  if (!remembered) return true;
  const bool patient = TClock::now() < pending.GiveUp;
  const auto device = std::find_if(devices.begin(), devices.end(),
                                   [&](const auto& d) { return d.Path == devicePath; });
  if (device == devices.end()) {
    if (!pending.Announced) return true;
    if (patient) return false;
    Log(devicePath + ": not restored: no camera is listed under this path");
    return true;
  }
  try {
    TOpenCamera camera(devices, static_cast<std::size_t>(device - devices.begin()));
    TRestoreLog log(camera);
    RestoreCamera(camera, *remembered, log);
    std::string line = "restored " + RestoredText(camera, log);
    for (const std::string& refusal : log.Refusals()) line += "; refused: " + refusal;
    Log(line);
    Guard(camera, *remembered);
    return true;
  } catch (const ECliError& error) {
    // Not answering yet is worth waiting for; a broken settings file is not.
    if (patient && error.Code() != TExitCode::SettingsFile) return false;
    Log(std::string(error.what()) + "; not restored");
    return true;
  }
}

void TWatcher::Guard(TOpenCamera& camera, const TRememberedCamera& remembered) {
  const std::string& path = camera.Device().Path;
  if (!remembered.Guarded) {
    FGuards.erase(path);
    return;
  }
  const std::shared_ptr<v4l2::V4l2Device> device = V4l2DeviceOf(camera);
  if (!device) return;
  // Plugged in again, perhaps under another node.
  const auto known = FGuards.find(path);
  if (known != FGuards.end() && known->second->NodePath() == device->NodePath()) return;
  FGuards.erase(path);
  try {
    FGuards[path] =
        std::make_unique<TCameraGuard>(FFolder, path, device->GetDoor(), device->NodePath(),
                                       [this](const std::string& line) { Log(line); });
  } catch (const ECliError& error) {
    FGuards.erase(path);
    Log(error.what());
  }
}

void TWatcher::RememberedChanged() {
  std::set<std::string> guarded;
  for (const TRememberedCamera& camera : ListRemembered(FFolder)) {
    if (!camera.Guarded) continue;
    for (const std::string* path : {&camera.DevicePath, &camera.PortPath, &camera.ByIdPath}) {
      if (!path->empty()) guarded.insert(*path);
    }
  }
  std::erase_if(FGuards, [&](const auto& entry) { return !guarded.contains(entry.first); });
  // A camera attached now is found by its restore, which finds nothing to change when it was
  // just remembered, and then guarded.
  for (const std::string& path : guarded) {
    if (!FGuards.contains(path) && !FPending.contains(path)) Want(path, false);
  }
}

void TWatcher::TryDue() {
  const TClock::time_point now = TClock::now();
  if (std::none_of(FPending.begin(), FPending.end(),
                   [&](const auto& entry) { return entry.second.NextTry <= now; })) {
    return;
  }
  TFVideoCaptureDevices devices;
  try {
    devices = TFCamera().GetDevices();
  } catch (const std::exception& error) {
    Log(std::string("cannot list the cameras: ") + error.what());
  }
  for (auto entry = FPending.begin(); entry != FPending.end();) {
    auto& [path, pending] = *entry;
    if (pending.NextTry > now) {
      ++entry;
    } else if (TryOne(path, pending, devices)) {
      entry = FPending.erase(entry);
    } else {
      pending.NextTry = TClock::now() + pending.Delay;
      pending.Delay = std::min(pending.Delay * 2, kLongestDelay);
      ++entry;
    }
  }
}

void TWatcher::Run() {
  // The cameras attached now are restored before the watch is announced, so a camera plugged in
  // after the announcement is restored once, when its watch reports it, and never also by this
  // first pass.
  // A camera is listed under one of its paths: the one it was remembered under, or its port
  // path or by-id link while another unit shares its serial number or no longer does.
  for (const TRememberedCamera& camera : ListRemembered(FFolder)) {
    for (const std::string* path : {&camera.DevicePath, &camera.PortPath, &camera.ByIdPath}) {
      if (!path->empty()) Want(*path, false);
    }
  }
  TryDue();
  Log("watching for cameras with remembered settings in " + FFolder.string());
  // Without the watch a camera remembered later is guarded from its next plug-in.
  if (const int error = FRememberedChanges.Start(FFolder); error != 0) {
    Log("cannot watch " + FFolder.string() + ": " + os::ErrnoText(error));
  }
  for (;;) {
    TryDue();
    std::vector<os::WaitEntry> descriptors{{FStop.Descriptor(), POLLIN},
                                           {FRememberedChanges.Descriptor(), POLLIN}};
    for (const auto& watch : FWatches) descriptors.push_back({watch->Descriptor(), POLLIN});
    // Each guard's entries by its device path: a guard may be gone by the time they are served.
    struct TGuardEntries {
      std::string Path;
      std::size_t First;
      std::size_t Count;
    };
    std::vector<TGuardEntries> guarded;
    for (const auto& [path, guard] : FGuards) {
      const std::vector<os::WaitEntry> entries = guard->WaitEntries();
      guarded.push_back({path, descriptors.size(), entries.size()});
      descriptors.insert(descriptors.end(), entries.begin(), entries.end());
    }
    const std::vector<bool> ready = os::WaitReady(descriptors, Timeout());
    if (ready[0]) {
      if (const std::string signal = FStop.Take(); !signal.empty()) {
        Log("stopped by " + signal);
        return;
      }
    }
    if (ready[1]) {
      FRememberedChanges.Drain();
      RememberedChanged();
    }
    std::vector<std::string> appeared;
    for (std::size_t i = 0; i < FWatches.size(); ++i) {
      if (!ready[i + 2]) continue;
      if (const int error = FWatches[i]->TakeAppeared(&appeared); error != 0) {
        throw ECliError(TExitCode::DeviceError,
                        "restore --watch: cannot watch for cameras: " + os::ErrnoText(error));
      }
    }
    for (const TGuardEntries& entries : guarded) {
      const auto guard = FGuards.find(entries.Path);
      if (guard == FGuards.end()) continue;
      const auto first = ready.begin() + static_cast<std::ptrdiff_t>(entries.First);
      const std::vector<bool> mine(first, first + static_cast<std::ptrdiff_t>(entries.Count));
      if (!guard->second->Serve(mine)) FGuards.erase(guard);
    }
    if (appeared.empty()) continue;
    // Read afresh: a camera remembered while the watcher runs is watched for from then on.
    std::set<std::string> remembered;
    for (const TRememberedCamera& camera : ListRemembered(FFolder)) {
      for (const std::string* path : {&camera.DevicePath, &camera.PortPath, &camera.ByIdPath}) {
        if (!path->empty()) remembered.insert(*path);
      }
    }
    for (const std::string& path : appeared) {
      if (remembered.contains(path)) Want(path, true);
    }
  }
}

}  // namespace

void WatchAndRestore(std::ostream& err) {
  // What the watcher writes puts remembered settings back; it is not the user's own change.
  v4l2::SetUserChangesNoted(false);
  TWatcher(err).Run();
}

}  // namespace korvane::cli
