#include "cli/RememberCommands.h"

#include <nlohmann/json.hpp>

#include "cli/PrintableText.h"
#include "cli/TextTable.h"
#include "platform/v4l2/V4l2Filter.h"
#include "platform/v4l2/V4l2Listing.h"

namespace korvane::cli {
namespace {

std::string Quoted(std::string_view name) {
  return "'" + std::string(name) + "'";
}

ECliError NotRemembered(const TOpenCamera& camera) {
  return ECliError(TExitCode::SettingsFile,
                   camera.Message("", "has no remembered settings (" + camera.Device().Path + ")"));
}

std::optional<std::size_t> AttachedIndex(const TFVideoCaptureDevices& devices,
                                         const TRememberedCamera& camera) {
  for (std::size_t i = 0; i < devices.size(); ++i) {
    if (IsRememberedAs(camera, devices[i].Path)) return i;
  }
  return std::nullopt;
}

// A Video4Linux2 camera's by-id link and port path, so that it is found by either later.
v4l2::NodeLinks LinksOf(TOpenCamera& camera) {
  const auto device = V4l2DeviceOf(camera);
  if (!device) return {};
  return v4l2::LinksOfNode(device->GetDoor(), device->NodePath());
}

}  // namespace

std::shared_ptr<v4l2::V4l2Device> V4l2DeviceOf(TOpenCamera& camera) {
  const ComPtr<IBaseFilter> filter =
      camera.Call("", [](TFCamera& c) { return c.GetCaptureFilter(); });
  ComPtr<IV4l2DeviceAccess> access;
  if (!filter ||
      FAILED(filter->QueryInterface(IID_IV4l2DeviceAccess, access.ReleaseAndGetVoidAddressOf())) ||
      !access) {
    return nullptr;
  }
  return access->Device();
}

void TRestoreLog::Written(std::string_view name, const std::string& value) {
  FWrites.push_back(std::string(name) + "=" + value);
}

void TRestoreLog::Refused(const ECliError& error) {
  std::string_view message = error.what();
  if (message.starts_with(FCameraPrefix)) message.remove_prefix(FCameraPrefix.size());
  FRefusals.emplace_back(message);
}

void RestoreCamera(TOpenCamera& camera, const TRememberedCamera& remembered, TWriteLog& log,
                   const TMayWrite& mayWrite) {
  // The camera's name may have changed since (a firmware update): the device path is the key.
  if (!remembered.Settings.SectionFound) {
    throw ECliError(TExitCode::SettingsFile,
                    camera.Message("", "the remembered settings file " + remembered.File.string() +
                                           " has no section [" + remembered.Name + "]"));
  }
  ApplySettings(camera, remembered.Settings.Settings, log, mayWrite);
}

std::string RestoredText(const TOpenCamera& camera, const TRestoreLog& log) {
  std::string text = PrintableText(Quoted(camera.Name()) + " (" + camera.Device().Path + "):");
  for (const std::string& write : log.Writes()) text += " " + write;
  if (log.Writes().empty()) text += " nothing to change";
  return text;
}

void RememberCamera(TOpenCamera& camera, bool guarded, std::ostream& out, std::ostream& err) {
  if (camera.Device().Path.empty()) {
    throw ECliError(TExitCode::Unsupported,
                    camera.Message("", "has no device path, so its settings cannot be kept"));
  }
  TUnreadSettings unread;
  const TCameraSettings settings = ReadCameraSettings(camera, &unread);
  const v4l2::NodeLinks links = LinksOf(camera);
  const TRememberedCamera remembered =
      Remember(RememberedFolder(), camera.Device().Path, camera.Name(), settings, links.byId,
               links.byPath, guarded);
  out << PrintableText("Remembered the settings of " + Quoted(camera.Name()) + " (" +
                       remembered.DevicePath + ") in " + remembered.File.string())
      << "\n"
      << std::flush;
  ReportUnread(unread, err);
}

bool ForgetDevicePath(std::string_view devicePath, std::ostream& out) {
  if (!Forget(RememberedFolder(), devicePath)) return false;
  out << "Forgot the settings of " << PrintableText(devicePath) << "\n";
  return true;
}

void ForgetCamera(const TOpenCamera& camera, std::ostream& out) {
  if (camera.Device().Path.empty() || !ForgetDevicePath(camera.Device().Path, out)) {
    throw NotRemembered(camera);
  }
}

void ListRememberedCameras(const TFVideoCaptureDevices& devices, bool json, std::ostream& out) {
  const std::vector<TRememberedCamera> cameras = ListRemembered(RememberedFolder());
  if (json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const TRememberedCamera& camera : cameras) {
      const auto index = AttachedIndex(devices, camera);
      list.push_back({{"path", camera.DevicePath},
                      {"name", camera.Name},
                      {"file", camera.File.string()},
                      {"attached", index ? nlohmann::ordered_json(*index) : nullptr},
                      {"guarded", camera.Guarded}});
    }
    out << list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
    return;
  }
  if (cameras.empty()) {
    out << "No remembered settings.\n";
    return;
  }
  std::vector<std::vector<std::string>> rows{{"Device path", "Name", "Attached", "Guarded"}};
  for (const TRememberedCamera& camera : cameras) {
    const auto index = AttachedIndex(devices, camera);
    rows.push_back({camera.DevicePath, camera.Name,
                    index ? "index " + std::to_string(*index) : "no",
                    camera.Guarded ? "yes" : "no"});
  }
  out << TextTable(rows);
}

void RestoreCameras(const TFVideoCaptureDevices& devices, const std::optional<std::string>& camera,
                    std::ostream& out, std::ostream& err) {
  const std::filesystem::path folder = RememberedFolder();
  std::vector<std::size_t> chosen;
  if (camera) {
    chosen.push_back(SelectCamera(devices, *camera));
  } else {
    for (std::size_t i = 0; i < devices.size(); ++i) {
      if (!devices[i].Path.empty() && FindRemembered(folder, devices[i].Path)) chosen.push_back(i);
    }
    if (chosen.empty()) out << "No attached camera has remembered settings.\n";
  }
  // One camera that fails keeps none of the others from their settings; the exit code is the
  // first failure's.
  std::optional<TExitCode> failure;
  for (const std::size_t index : chosen) {
    try {
      TOpenCamera opened(devices, index);
      const auto remembered = opened.Device().Path.empty()
                                  ? std::nullopt
                                  : FindRemembered(folder, opened.Device().Path);
      if (!remembered) throw NotRemembered(opened);
      TRestoreLog log(opened);
      RestoreCamera(opened, *remembered, log);
      out << RestoredText(opened, log) << "\n" << std::flush;
      for (const std::string& refusal : log.Refusals()) {
        err << ErrorLine(opened.Message("", refusal)) << std::flush;
      }
      if (!log.Refusals().empty() && !failure) failure = TExitCode::DeviceError;
    } catch (const ECliError& error) {
      if (chosen.size() == 1) throw;
      err << ErrorLine(error.what()) << std::flush;
      if (!failure) failure = error.Code();
    }
  }
  if (failure) throw ECliError(*failure, "");
}

}  // namespace korvane::cli
