#include "cli/RememberedCameras.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "cli/CliErrors.h"
#include "platform/os/DocumentsFolder.h"
#include "platform/os/FileAccess.h"
#include "platform/os/ProfileSnapshot.h"
#include "platform/os/WholeFileSave.h"

namespace korvane::cli {
namespace {

constexpr std::string_view kSection = "korvane-cam";
constexpr std::string_view kDevicePathKey = "DevicePath";
constexpr std::string_view kCameraKey = "Camera";
constexpr std::string_view kByIdPathKey = "ByIdPath";
constexpr std::string_view kPortPathKey = "PortPath";
// "0" for a camera restored when it comes only; missing (as in files remembered before) or
// anything else guards it.
constexpr std::string_view kGuardKey = "Guard";
constexpr std::string_view kExtension = ".kcs";
// File names stay well within the 255 bytes of common file systems.
constexpr std::size_t kMaxStem = 200;

std::string Hex(std::uint64_t value, int digits) {
  char text[17];
  std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(value));
  return text;
}

// FNV-1a: a short, stable name for a path too long to be spelt out.
std::uint64_t PathHash(std::string_view text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

std::string Encoded(std::string_view devicePath) {
  std::string stem;
  for (const char c : devicePath) {
    const auto u = static_cast<unsigned char>(c);
    const bool plain = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                       u == '-' || u == '_' || (u == '.' && !stem.empty());
    stem += plain ? std::string(1, c) : "%" + Hex(u, 2);
  }
  return stem;
}

ECliError FileError(const std::string& text) {
  return ECliError(TExitCode::SettingsFile, text);
}

std::optional<TRememberedCamera> ReadRemembered(const std::filesystem::path& file) {
  const auto read = os::ReadProfileSnapshot(file);
  const auto* profile = std::get_if<os::ProfileSnapshot>(&read);
  if (profile == nullptr) return std::nullopt;
  TRememberedCamera camera;
  camera.DevicePath = profile->ReadString(kSection, kDevicePathKey, "");
  if (camera.DevicePath.empty()) return std::nullopt;
  camera.Name = profile->ReadString(kSection, kCameraKey, "");
  camera.ByIdPath = profile->ReadString(kSection, kByIdPathKey, "");
  camera.PortPath = profile->ReadString(kSection, kPortPathKey, "");
  camera.Guarded = profile->ReadString(kSection, kGuardKey, "1") != "0";
  camera.File = file;
  camera.Settings = CameraSettingsFile::Section(*profile, camera.Name);
  return camera;
}

}  // namespace

std::filesystem::path RememberedFolder() {
  const std::string config = os::ConfigFolder();
  if (config.empty()) {
    throw FileError("no folder for remembered settings: neither XDG_CONFIG_HOME nor HOME is set");
  }
  return std::filesystem::path(config) / "korvane-cam" / "cameras";
}

std::filesystem::path RememberedFile(const std::filesystem::path& folder,
                                     std::string_view devicePath) {
  std::string stem = Encoded(devicePath);
  // A lone '%' is no encoded byte, so it names the empty path alone, and not ".kcs".
  if (stem.empty()) stem = "%";
  if (stem.size() > kMaxStem) stem = stem.substr(0, kMaxStem) + "~" + Hex(PathHash(devicePath), 16);
  return folder / (stem + std::string(kExtension));
}

std::vector<TRememberedCamera> ListRemembered(const std::filesystem::path& folder) {
  std::vector<TRememberedCamera> cameras;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    if (entry->path().extension() != kExtension) continue;
    if (auto camera = ReadRemembered(entry->path())) cameras.push_back(std::move(*camera));
  }
  std::sort(cameras.begin(), cameras.end(),
            [](const auto& a, const auto& b) { return a.DevicePath < b.DevicePath; });
  return cameras;
}

bool IsRememberedAs(const TRememberedCamera& camera, std::string_view devicePath) {
  return !devicePath.empty() && (camera.DevicePath == devicePath || camera.PortPath == devicePath ||
                                 camera.ByIdPath == devicePath);
}

std::optional<TRememberedCamera> FindRemembered(const std::filesystem::path& folder,
                                                std::string_view devicePath) {
  auto camera = ReadRemembered(RememberedFile(folder, devicePath));
  // A file that names another path is no answer: its name was made, or changed, by hand.
  if (camera && camera->DevicePath == devicePath) return camera;
  // A camera remembered alone under its by-id link is listed by its port while a unit with the
  // same serial number is attached, and the other way round.
  for (TRememberedCamera& other : ListRemembered(folder)) {
    if (IsRememberedAs(other, devicePath)) return std::move(other);
  }
  return std::nullopt;
}

TRememberedCamera Remember(const std::filesystem::path& folder, const std::string& devicePath,
                           const std::string& name, const TCameraSettings& settings,
                           const std::string& byIdPath, const std::string& portPath, bool guarded) {
  TRememberedCamera camera;
  camera.DevicePath = devicePath;
  camera.Name = name;
  camera.File = RememberedFile(folder, devicePath);
  camera.ByIdPath = byIdPath;
  camera.PortPath = portPath;
  camera.Guarded = guarded;
  std::vector<TSettingsFileKey> keys{
      {std::string(kSection), std::string(kDevicePathKey), devicePath},
      {std::string(kSection), std::string(kCameraKey), name}};
  if (!byIdPath.empty())
    keys.push_back({std::string(kSection), std::string(kByIdPathKey), byIdPath});
  if (!portPath.empty())
    keys.push_back({std::string(kSection), std::string(kPortPathKey), portPath});
  if (!guarded) keys.push_back({std::string(kSection), std::string(kGuardKey), "0"});
  std::string text;
  try {
    text = CameraSettingsFile::Text(name, settings, keys);
  } catch (const ESettingsFileError& error) {
    throw FileError("cannot remember the settings of '" + name + "': " + error.what());
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw FileError("cannot create " + folder.string() + ": " + error.message());
  // The whole file is new; the save still takes the lock, so that two remembers of one camera
  // end with one of them whole.
  if (std::string failure = os::SaveWholeFile(
          camera.File, os::kMaxProfileFileBytes, "a settings file",
          [&](const std::string*) -> std::variant<std::string, os::EditRefusal> { return text; });
      !failure.empty()) {
    throw FileError("Unable to write to " + camera.File.string() + ": " + failure);
  }
  return camera;
}

bool Forget(const std::filesystem::path& folder, std::string_view devicePath) {
  const auto camera = FindRemembered(folder, devicePath);
  if (!camera) return false;
  std::error_code error;
  if (!std::filesystem::remove(camera->File, error) && error) {
    throw FileError("cannot remove " + camera->File.string() + ": " + error.message());
  }
  return true;
}

}  // namespace korvane::cli
