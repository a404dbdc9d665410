#pragma once
// The simulated camera provider: where the device state lives (memory or a JSON file shared
// with other processes), how it is put in front of device enumeration, and the demo set.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/sim/SimDescription.h"

namespace korvane::devices {
class ScopedDeviceProviders;
}

namespace korvane::sim {

// Where the device state lives: memory or a JSON file.
class SimStore {
 public:
  virtual ~SimStore() = default;
  // The current state (file: re-parsed only when it changed).
  virtual SimDescription Read() = 0;
  // A write (file: atomic, written back). False when the change could not be stored.
  virtual bool Modify(const std::function<void(SimDescription&)>& change) = 0;

  // The current state without copying it; the simulated driver reads it on every call. The
  // snapshot never changes: a later write produces a new one.
  virtual std::shared_ptr<const SimDescription> Snapshot() = 0;

  // Whether the state could be read: false for a file that is missing or malformed.
  virtual bool Usable() { return true; }

  // Driver calls made so far, keys as in faults ("IAMVideoProcAmp::Set"); a call with a
  // property index counts under both "IAMVideoProcAmp::Set" and "IAMVideoProcAmp::Set#9".
  std::size_t CallCount(std::string_view call) const;
  void ResetCallCounts();
  // The simulated driver records each call here.
  void CountCall(std::string_view call, std::optional<LONG> index = std::nullopt);

 private:
  struct CallCounts {
    std::size_t total = 0;
    std::map<LONG, std::size_t> byIndex;
  };
  mutable std::mutex countMutex_;
  // Keyed by the call without its index: counting, once per driver call, then allocates
  // nothing after a call's first time.
  std::map<std::string, CallCounts, std::less<>> callCounts_;
};

// The state kept in this process only.
std::shared_ptr<SimStore> MakeMemoryStore(SimDescription description);
// The state kept in a JSON file that other processes may read and write too.
std::shared_ptr<SimStore> MakeFileStore(const std::filesystem::path& file);

// Makes the described cameras what device enumeration (CLSID_SystemDeviceEnum) sees, for the
// object's lifetime; restores the previous provider afterwards. Tests use it.
class ScopedSimCameras {
 public:
  explicit ScopedSimCameras(SimDescription description);         // in memory
  explicit ScopedSimCameras(const std::filesystem::path& file);  // file-backed
  ~ScopedSimCameras();
  ScopedSimCameras(const ScopedSimCameras&) = delete;
  ScopedSimCameras& operator=(const ScopedSimCameras&) = delete;

  SimStore& Store();

 private:
  explicit ScopedSimCameras(std::shared_ptr<SimStore> store);
  std::shared_ptr<SimStore> store_;
  std::unique_ptr<devices::ScopedDeviceProviders> installation_;
};

// The built-in demo set.
SimDescription DemoCameras();
// The file format (tests write fixture files with it).
std::string ToJson(const SimDescription& description);  // SimJson.h has its reader too

// KORVANE_CAMERAS: "demo" -> demo set, a path -> that file, unset/empty -> nothing installed
// here (Video4Linux2 comes later). Returns false (after one line on stderr) when the file is
// unusable.
bool InstallCamerasFromEnvironment();

}  // namespace korvane::sim
