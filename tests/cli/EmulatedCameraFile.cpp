#include "tests/cli/EmulatedCameraFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

#include "tests/cli/ToolRun.h"

namespace korvane::cli::testing {
namespace {

void Replace(const std::filesystem::path& file, const nlohmann::json& document) {
  const std::filesystem::path temporary = file.string() + ".test-new";
  std::ofstream(temporary, std::ios::binary) << document.dump(2);
  std::filesystem::rename(temporary, file);
}

}  // namespace

void TEmulatedCameraFile::Write(const nlohmann::json& document) {
  Replace(FFile, document);
}

void TEmulatedCameraFile::Change(const std::function<void(nlohmann::json&)>& change) {
  for (;;) {
    const int fd = ::open(FFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("cannot open " + FFile.string());
    struct stat locked = {};
    struct stat current = {};
    const bool same = ::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &locked) == 0 &&
                      ::stat(FFile.c_str(), &current) == 0 && locked.st_ino == current.st_ino &&
                      locked.st_dev == current.st_dev;
    if (same) {
      nlohmann::json document = Read();
      change(document);
      Replace(FFile, document);
    }
    ::close(fd);
    if (same) return;
  }
}

nlohmann::json TEmulatedCameraFile::Read() const {
  return nlohmann::json::parse(ReadText(FFile));
}

int TEmulatedCameraFile::Value(const std::string& camera, const std::string& control) const {
  nlohmann::json document = Read();
  return Control(Camera(document, camera), control).at("value").get<int>();
}

void TEmulatedCameraFile::SetValue(const std::string& camera, const std::string& control,
                                   int value) {
  Change([&](nlohmann::json& document) {
    Control(Camera(document, camera), control)["value"] = value;
  });
}

void TEmulatedCameraFile::SetPresent(const std::string& camera, bool present) {
  Change([&](nlohmann::json& document) { Camera(document, camera)["present"] = present; });
}

nlohmann::json TEmulatedCameraFile::TestCamera(const std::string& id, nlohmann::json usb) {
  return {{"id", id},
          {"usb", std::move(usb)},
          {"controls",
           {{{"name", "brightness"}, {"min", 0}, {"max", 255}, {"default", 128}, {"value", 128}},
            {{"name", "contrast"}, {"min", 0}, {"max", 255}, {"default", 32}, {"value", 32}},
            {{"name", "white_balance_temperature"},
             {"min", 2800},
             {"max", 6500},
             {"step", 10},
             {"default", 4600},
             {"value", 4600}},
            {{"name", "white_balance_automatic"}, {"default", 1}, {"value", 1}},
            {{"name", "auto_exposure"}, {"menu", {1, 3}}, {"default", 3}, {"value", 3}},
            {{"name", "exposure_time_absolute"},
             {"min", 3},
             {"max", 2047},
             {"default", 250},
             {"value", 250}},
            {{"name", "power_line_frequency"}, {"menu", {0, 1, 2}}, {"default", 1}, {"value", 1}}}},
          {"formats",
           {{{"fourcc", "YUYV"},
             {"sizes", {{{"width", 640}, {"height", 480}, {"intervals", {"1/30"}}}}}}}}};
}

nlohmann::json& TEmulatedCameraFile::Camera(nlohmann::json& document, const std::string& id) {
  for (nlohmann::json& camera : document.at("cameras")) {
    if (camera.at("id") == id) return camera;
  }
  throw std::out_of_range("no camera " + id);
}

nlohmann::json& TEmulatedCameraFile::Control(nlohmann::json& camera, const std::string& name) {
  for (nlohmann::json& control : camera.at("controls")) {
    if (control.at("name") == name) return control;
  }
  throw std::out_of_range("no control " + name);
}

}  // namespace korvane::cli::testing
