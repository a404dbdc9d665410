#pragma once
// The fixture of the camera component tests: simulated cameras installed for one test, a
// component over them, and the proof at the end of every test that each media type and
// each counted object the test touched was given back.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "camera/FCamera.h"
#include "camera/FDirectShow9.h"
#include "platform/sim/SimCameras.h"

namespace korvane::camera::testing {

using korvane::sim::SimControl;
using korvane::sim::SimDescription;
using korvane::sim::SimDevice;
using korvane::sim::SimFormat;
using korvane::sim::SimKsRecord;

// A camera with every control of both interfaces (value = index, manual), flash and
// stabilization records and one YUY2 format.
inline SimDevice FullCamera(const std::string& name, const std::string& path) {
  SimDevice device;
  device.friendlyName = name;
  device.devicePath = path;
  device.description = name + " description";
  for (LONG index : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13})
    device.videoProcAmp[index] = SimControl{-100, 100, 1, 0, 3, index, 2};
  for (LONG index : {0, 1, 2, 3, 4, 5, 6, 7, 18})
    device.cameraControl[index] = SimControl{-50, 50, 1, 0, 3, 100 + index, 2};
  device.flash = SimKsRecord{1, 2};
  device.stabilization = SimKsRecord{3, 1};
  device.formats.push_back(SimFormat{});
  return device;
}

// A video format of the given kind, 640 × 480 unless told otherwise.
inline SimFormat VideoFormat(GUID subtype, DWORD compression, WORD bitCount, LONG width = 640,
                             LONG height = 480) {
  SimFormat format;
  format.subtype = subtype;
  format.compression = compression;
  format.bitCount = bitCount;
  format.width = width;
  format.height = height;
  return format;
}

// FullCamera "Cam" with this one format.
inline SimDevice CameraWith(SimFormat format) {
  SimDevice device = FullCamera("Cam", "/dev/cam");
  device.formats = {std::move(format)};
  return device;
}

// Runs action and returns the message of the EFCameraError it raised, or a note that it
// raised nothing or something else.
template <class Action>
std::string CameraErrorOf(Action&& action) {
  try {
    std::forward<Action>(action)();
  } catch (const EFCameraError& error) {
    return error.what();
  } catch (const std::exception& error) {
    return std::string("<other error: ") + error.what() + ">";
  }
  return "<no error>";
}

// Runs action and returns the OLE system error it raised; a code of 0 when it raised none.
template <class Action>
EOleSysError OleErrorOf(Action&& action) {
  try {
    std::forward<Action>(action)();
  } catch (const EOleSysError& error) {
    return error;
  } catch (const std::exception& error) {
    return EOleSysError(std::string("<other error: ") + error.what() + ">", 0);
  }
  return EOleSysError("<no error>", 0);
}

class CameraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    blocksBefore_ = korvane::com::OutstandingTaskMemoryBlocks();
    objectsBefore_ = korvane::com::LiveObjectCount();
  }

  void TearDown() override {
    camera_.reset();
    sims_.reset();
    EXPECT_EQ(korvane::com::OutstandingTaskMemoryBlocks(), blocksBefore_) << "task memory leaked";
    EXPECT_EQ(korvane::com::LiveObjectCount(), objectsBefore_) << "counted objects leaked";
  }

  // Installs the devices and creates the component, nothing selected, owned by Owner.
  TFCamera& Install(SimDescription description, TFControl* Owner = nullptr) {
    camera_.reset();
    sims_.reset();
    sims_.emplace(std::move(description));
    camera_.emplace(Owner);
    return *camera_;
  }

  // Installs one camera and selects it by its friendly name.
  TFCamera& Select(SimDevice device, TFControl* Owner = nullptr) {
    const std::string name = device.friendlyName.value_or("");
    Install(SimDescription{{std::move(device)}}, Owner);
    camera_->SetDeviceName(name);
    return *camera_;
  }

  // Changes device `index` behind the component's back, as another program or the user would.
  void ChangeDevice(const std::function<void(SimDevice&)>& change, std::size_t index = 0) {
    ASSERT_TRUE(Store().Modify([&](SimDescription& state) { change(state.devices.at(index)); }));
  }

  SimDevice Device(std::size_t index = 0) { return Store().Read().devices.at(index); }

  korvane::sim::SimStore& Store() { return sims_->Store(); }
  TFCamera& Camera() { return *camera_; }

 private:
  std::size_t blocksBefore_ = 0;
  std::size_t objectsBefore_ = 0;
  std::optional<korvane::sim::ScopedSimCameras> sims_;
  std::optional<TFCamera> camera_;
};

}  // namespace korvane::camera::testing
