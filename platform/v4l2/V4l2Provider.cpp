#include "platform/v4l2/V4l2Provider.h"

#include <utility>

#include "platform/DirectShow9.h"
#include "platform/v4l2/V4l2Filter.h"
#include "platform/v4l2/V4l2Listing.h"

namespace korvane::v4l2 {
namespace {

class V4l2DeviceEntry final : public devices::DeviceEntry {
 public:
  V4l2DeviceEntry(Door door, CameraNode camera)
      : door_(std::move(door)), camera_(std::move(camera)) {}

  HRESULT ReadProperties(devices::DeviceProperties* properties) override {
    properties->friendlyName = camera_.friendlyName;
    properties->devicePath = camera_.devicePath;
    properties->description = camera_.description;
    return S_OK;
  }

  // The node opens with the filter's first call, so a camera the user may not open still binds
  // and every call then says why it fails.
  HRESULT BindToObject(REFIID iid, void** object) override {
    return CreateV4l2Filter(std::make_shared<V4l2Device>(door_, camera_.nodePath),
                            camera_.friendlyName, iid, object);
  }

 private:
  const Door door_;
  const CameraNode camera_;
};

// A camera's node and links coming, as the kernel tells them.
class V4l2DeviceWatch final : public devices::DeviceWatch {
 public:
  V4l2DeviceWatch(Door door, int fd)
      : door_(door), fd_(std::move(door), fd, &Door::CloseDeviceWatch) {}

  int Descriptor() const override { return fd_.Get(); }
  int TakeAppeared(std::vector<std::string>* paths) override {
    return door_.ReadDeviceWatch(fd_.Get(), paths);
  }

 private:
  const Door door_;
  const UniqueFd fd_;
};

class V4l2Provider final : public devices::DeviceProvider {
 public:
  explicit V4l2Provider(std::shared_ptr<Kernel> kernel) : door_(std::move(kernel)) {}

  std::vector<std::shared_ptr<devices::DeviceEntry>> Enumerate(const GUID& category) override {
    std::vector<std::shared_ptr<devices::DeviceEntry>> entries;
    if (category != CLSID_VideoInputDeviceCategory) return entries;
    for (CameraNode& camera : ListCameras(door_)) {
      entries.push_back(std::make_shared<V4l2DeviceEntry>(door_, std::move(camera)));
    }
    return entries;
  }

  std::unique_ptr<devices::DeviceWatch> WatchDevices(int* error) override {
    const int fd = door_.WatchDevices();
    if (fd < 0) {
      *error = -fd;
      return nullptr;
    }
    *error = 0;
    return std::make_unique<V4l2DeviceWatch>(door_, fd);
  }

 private:
  const Door door_;
};

}  // namespace

std::shared_ptr<devices::DeviceProvider> MakeV4l2Provider(std::shared_ptr<Kernel> kernel) {
  return std::make_shared<V4l2Provider>(std::move(kernel));
}

}  // namespace korvane::v4l2
