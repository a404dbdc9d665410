#pragma once
// The emulated kernel's camera file as a test changes it: another program plugging cameras in
// and out and changing their controls. Each change is made under the file's advisory lock and
// renamed into place, as the file's documentation asks, so no change of the tool is lost.

#include <filesystem>
#include <functional>
#include <string>

#include <nlohmann/json.hpp>

namespace korvane::cli::testing {

class TEmulatedCameraFile {
 public:
  explicit TEmulatedCameraFile(std::filesystem::path file) : FFile(std::move(file)) {}
  const std::filesystem::path& Path() const { return FFile; }

  void Write(const nlohmann::json& document);
  void Change(const std::function<void(nlohmann::json&)>& change);
  nlohmann::json Read() const;

  // The control's value as the device holds it now.
  int Value(const std::string& camera, const std::string& control) const;
  void SetValue(const std::string& camera, const std::string& control, int value);
  void SetPresent(const std::string& camera, bool present);

  static nlohmann::json& Camera(nlohmann::json& document, const std::string& id);
  // A camera with brightness, contrast, white balance (automatic), exposure (aperture
  // priority) and the power-line frequency (50 Hz), all at their defaults.
  static nlohmann::json TestCamera(const std::string& id, nlohmann::json usb);
  static nlohmann::json& Control(nlohmann::json& camera, const std::string& name);

 private:
  std::filesystem::path FFile;
};

}  // namespace korvane::cli::testing
