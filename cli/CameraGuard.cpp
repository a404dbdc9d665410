#include "cli/CameraGuard.h"

#include <poll.h>

#include <algorithm>

#include "cli/PrintableText.h"
#include "platform/os/FileAccess.h"
#include "platform/v4l2/UserChanges.h"
#include "platform/v4l2/V4l2Controls.h"
#include "platform/v4l2/V4l2Device.h"
#include "platform/v4l2/V4l2Events.h"

namespace korvane::cli {
namespace {

using enum v4l2::ControlInterface;

// The driver controls of each property a settings file holds (Roll has none).
struct TDriverProperty {
  std::string_view Name;
  v4l2::ControlInterface Interface;
  LONG Property;
};
constexpr TDriverProperty kDriverProperties[] = {
    {"BacklightCompensation", VideoProcAmp, VideoProcAmp_BacklightCompensation},
    {"Brightness", VideoProcAmp, VideoProcAmp_Brightness},
    {"ColorEnable", VideoProcAmp, VideoProcAmp_ColorEnable},
    {"Contrast", VideoProcAmp, VideoProcAmp_Contrast},
    {"Exposure", CameraControl, CameraControl_Exposure},
    {"Focus", CameraControl, CameraControl_Focus},
    {"Gain", VideoProcAmp, VideoProcAmp_Gain},
    {"Gamma", VideoProcAmp, VideoProcAmp_Gamma},
    {"Hue", VideoProcAmp, VideoProcAmp_Hue},
    {"Iris", CameraControl, CameraControl_Iris},
    {"Pan", CameraControl, CameraControl_Pan},
    {"Saturation", VideoProcAmp, VideoProcAmp_Saturation},
    {"Sharpness", VideoProcAmp, VideoProcAmp_Sharpness},
    {"Tilt", CameraControl, CameraControl_Tilt},
    {"WhiteBalance", VideoProcAmp, VideoProcAmp_WhiteBalance},
    {"Zoom", CameraControl, CameraControl_Zoom},
    {kPowerFrequencyKey, VideoProcAmp, KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY},
};

// The property that a driver control (its value or its automatic companion) belongs to.
std::optional<std::string_view> PropertyOfControl(std::uint32_t id) {
  for (const TDriverProperty& property : kDriverProperties) {
    const v4l2::ControlMapping* mapping =
        v4l2::FindControlMapping(property.Interface, property.Property);
    if (mapping && (mapping->id == id || mapping->autoId == id)) return property.Name;
  }
  return std::nullopt;
}

}  // namespace

// One session of another program: from its open of the camera to its close.
struct TCameraGuard::TSession {
  TSession(TRememberedCamera settings, std::unique_ptr<TOpenCamera> opened,
           std::shared_ptr<v4l2::V4l2Device> device,
           std::unique_ptr<v4l2::UserChangeWatch> userChanges)
      : UserChanges(std::move(userChanges)),
        Remembered(std::move(settings)),
        Camera(std::move(opened)),
        Events(std::move(device)) {}

  // First, so that the claim goes last, after the camera is closed.
  std::unique_ptr<v4l2::UserChangeWatch> UserChanges;
  TRememberedCamera Remembered;
  std::unique_ptr<TOpenCamera> Camera;
  v4l2::ControlEvents Events;
  std::optional<TClock::time_point> Due;
  std::map<std::string, int, std::less<>> Rounds;  // by property name
  std::set<std::string, std::less<>> LeftAlone;
};

TCameraGuard::TCameraGuard(std::filesystem::path folder, std::string devicePath, v4l2::Door door,
                           std::string nodePath, TLog log)
    : FFolder(std::move(folder)),
      FDevicePath(std::move(devicePath)),
      FDoor(std::move(door)),
      FNodePath(std::move(nodePath)),
      FLog(std::move(log)) {
  const int watch = FDoor.WatchOpens(FNodePath);
  if (watch < 0) {
    throw ECliError(TExitCode::DeviceError, FDevicePath + ": cannot watch who opens " + FNodePath +
                                                ": " + os::ErrnoText(-watch) +
                                                "; restored when plugged in only");
  }
  FOpenWatch = v4l2::UniqueFd(FDoor, watch, &v4l2::Door::CloseOpenWatch);
  // Another program may hold the camera already.
  Serve({true});
}

TCameraGuard::~TCameraGuard() = default;

std::vector<os::WaitEntry> TCameraGuard::WaitEntries() const {
  std::vector<os::WaitEntry> entries{{FOpenWatch.Get(), POLLIN}};
  if (FSession) {
    entries.push_back({FSession->Events.Descriptor(), FSession->Events.PollEvents()});
    if (FSession->UserChanges->Descriptor() >= 0) {
      entries.push_back({FSession->UserChanges->Descriptor(), POLLIN});
    }
  }
  return entries;
}

std::optional<TCameraGuard::TClock::time_point> TCameraGuard::Due() const {
  return FSession ? FSession->Due : std::nullopt;
}

bool TCameraGuard::Serve(const std::vector<bool>& ready) {
  if (!ready.empty() && ready[0]) {
    int others = 0;
    if (FDoor.ReadOpenWatch(FOpenWatch.Get(), &others) != 0) {
      End();
      return false;
    }
    if (others > 0 && !FSession) Begin();
    if (others == 0 && FSession) End();
  }
  // The user's own changes first: the change event that follows each is then not fought.
  if (FSession && ready.size() > 2 && ready[2]) {
    std::vector<std::uint32_t> ids;
    FSession->UserChanges->Take(&ids);
    for (const std::uint32_t id : ids) {
      if (const auto name = PropertyOfControl(id)) FSession->LeftAlone.emplace(*name);
    }
  }
  if (FSession && ready.size() > 1 && ready[1]) {
    std::vector<std::uint32_t> changed;
    if (FSession->Events.Take(&changed) != 0) {
      // Gone: the device watch brings it back when it is plugged in again.
      End();
      return false;
    }
    if (!changed.empty()) FSession->Due = TClock::now() + kQuietTime;
  }
  if (FSession && FSession->Due && *FSession->Due <= TClock::now()) {
    FSession->Due.reset();
    try {
      PutBack();
    } catch (const ECliError& error) {
      FLog(std::string(error.what()) + "; not put back");
      End();
      return false;
    }
  }
  return true;
}

void TCameraGuard::Begin() {
  const auto remembered = FindRemembered(FFolder, FDevicePath);
  if (!remembered || !remembered->Guarded) return;
  // Claimed first: when another watcher guards the camera, this one opens nothing.
  auto userChanges = std::make_unique<v4l2::UserChangeWatch>();
  if (const int error = userChanges->Start(FDoor, FNodePath); error == EBUSY) {
    return;
  } else if (error != 0 && error != ENOTSUP) {
    // Without the notes folder the user's changes are fought like any other program's.
    FLog(PrintableText(FDevicePath) +
         ": cannot tell the user's own changes: " + os::ErrnoText(error));
  }
  try {
    const TFVideoCaptureDevices devices = TFCamera().GetDevices();
    const auto device = std::find_if(devices.begin(), devices.end(),
                                     [&](const auto& d) { return d.Path == FDevicePath; });
    if (device == devices.end()) return;
    auto camera =
        std::make_unique<TOpenCamera>(devices, static_cast<std::size_t>(device - devices.begin()));
    std::shared_ptr<v4l2::V4l2Device> v4l2Device = V4l2DeviceOf(*camera);
    if (!v4l2Device) return;
    auto session = std::make_unique<TSession>(*remembered, std::move(camera), std::move(v4l2Device),
                                              std::move(userChanges));
    if (const int error = session->Events.Subscribe(v4l2::WindowControlIds()); error != 0) {
      FLog(PrintableText(FDevicePath) + ": cannot follow its controls: " + os::ErrnoText(error));
      return;
    }
    // What the other program changed before the subscription is looked at too.
    session->Due = TClock::now() + kQuietTime;
    FSession = std::move(session);
  } catch (const std::exception& error) {
    FLog(std::string(error.what()) + "; not guarded");
  }
}

void TCameraGuard::End() {
  FSession.reset();
}

void TCameraGuard::PutBack() {
  TSession& session = *FSession;
  TRestoreLog log(*session.Camera);
  std::vector<std::string> givenUp;
  RestoreCamera(*session.Camera, session.Remembered, log, [&](std::string_view name) {
    if (session.LeftAlone.contains(name)) return false;
    const auto rounds = session.Rounds.find(name);
    if (rounds == session.Rounds.end() || rounds->second < kRounds) return true;
    session.LeftAlone.emplace(name);
    givenUp.emplace_back(name);
    return false;
  });
  const std::string camera =
      PrintableText("'" + session.Camera->Name() + "' (" + session.Camera->Device().Path + ")");
  std::set<std::string, std::less<>> written;
  for (const std::string& write : log.Writes()) written.insert(write.substr(0, write.find('=')));
  for (const std::string& name : written) ++session.Rounds[name];
  if (!log.Writes().empty()) {
    // The program that changed it, when one alone holds the camera besides this one.
    std::vector<int> holders;
    std::string name;
    if (FDoor.OpenWatchHolders(FOpenWatch.Get(), &holders) == 0 && holders.size() == 1) {
      name = os::ProgramName(holders.front());
    }
    std::string line = "put back on " + camera +
                       (name.empty() ? " after another program's change:"
                                     : PrintableText(" after a change by " + name + " (pid " +
                                                     std::to_string(holders.front()) + "):"));
    for (const std::string& write : log.Writes()) line += " " + write;
    for (const std::string& refusal : log.Refusals()) line += "; refused: " + refusal;
    FLog(line);
  }
  for (const std::string& name : givenUp) {
    FLog(camera + ": " + name + " is set again by the other program after each of " +
         std::to_string(kRounds) + " rounds; left to it until it closes the camera");
  }
}

}  // namespace korvane::cli
