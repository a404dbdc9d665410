#pragma once
// The settings each camera keeps: one settings file per camera in the user's configuration
// folder, keyed by the camera's device path (stable for a USB port and serial number) rather
// than by its name, so that two cameras of one model keep settings of their own. Each is a
// settings file of the window's format, with a section [korvane-cam] that notes the device path
// and the camera's name, so the window can load it too.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/CameraSettingsFile.h"

namespace korvane::cli {

struct TRememberedCamera {
  std::string DevicePath;
  std::string Name;  // the camera's name when it was remembered, which names its section
  std::filesystem::path File;
  // The section of Name from the same read of the file as the two above, so that a file
  // replaced meanwhile cannot mix two versions.
  TSettingsFileSection Settings;
  // The camera's by-id link and port path where it has them: units that share a serial number
  // share the by-id link, and are listed by their ports while two of them are attached.
  std::string ByIdPath;
  std::string PortPath;
  // Kept at its settings while other programs use it, not only when it comes.
  bool Guarded = true;
};

// Whether the remembered camera is the one listed with that device path: by the path it was
// remembered under, or by its by-id link or port path.
bool IsRememberedAs(const TRememberedCamera& camera, std::string_view devicePath);

// $XDG_CONFIG_HOME/korvane-cam/cameras, else ~/.config/korvane-cam/cameras. Throws ECliError
// SettingsFile when neither the variable nor a home folder is known.
std::filesystem::path RememberedFolder();

// The file of a device path in the folder: the path with every byte but letters, digits, '-',
// '_' and '.' written as %XX, so no path can leave the folder or meet another's file; a name
// too long for the file system is cut and ends in a hash of the whole path.
std::filesystem::path RememberedFile(const std::filesystem::path& folder,
                                     std::string_view devicePath);

// Every remembered camera in the folder, in the order of their device paths. Files without a
// device path inside are not remembered cameras and are left out.
std::vector<TRememberedCamera> ListRemembered(const std::filesystem::path& folder);

// The remembered camera of that device path, if any: the one remembered under it, else the
// one whose port path or by-id link it is.
std::optional<TRememberedCamera> FindRemembered(const std::filesystem::path& folder,
                                                std::string_view devicePath);

// Stores the settings for the camera, replacing what it had in one step, so that a watcher
// reading at the same time sees the old file or the new one. Throws ECliError SettingsFile.
TRememberedCamera Remember(const std::filesystem::path& folder, const std::string& devicePath,
                           const std::string& name, const TCameraSettings& settings,
                           const std::string& byIdPath = "", const std::string& portPath = "",
                           bool guarded = true);

// Removes the camera's file; false when it had none. Throws ECliError SettingsFile when the file
// cannot be removed.
bool Forget(const std::filesystem::path& folder, std::string_view devicePath);

}  // namespace korvane::cli
