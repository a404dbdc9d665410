#pragma once
// The fixture of the Video4Linux2 provider tests: an emulated kernel with the cameras of a JSON
// text, the provider on it in front of device enumeration, a camera component over them, and
// at the end of every test the proof that every media type and counted object was given back.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "camera/FCamera.h"
#include "camera/FDirectShow9.h"
#include "platform/com/ErrorText.h"
#include "platform/com/TaskMemory.h"
#include "platform/devices/DeviceProvider.h"
#include "platform/v4l2/V4l2Filter.h"
#include "platform/v4l2/V4l2Provider.h"
#include "platform/v4l2/emulation/EmulatedKernel.h"

namespace korvane::v4l2::testing {

using emulation::EmulatedKernel;

// Runs action and returns the OLE error it raised (code 0 when none), or its message.
template <class Action>
std::pair<HRESULT, std::string> OleErrorOf(Action&& action) {
  try {
    std::forward<Action>(action)();
  } catch (const EOleSysError& error) {
    return {error.ErrorCode(), error.what()};
  } catch (const std::exception& error) {
    return {0, std::string("<other error: ") + error.what() + ">"};
  }
  return {0, "<no error>"};
}

class V4l2Test : public ::testing::Test {
 protected:
  void SetUp() override {
    blocksBefore_ = com::OutstandingTaskMemoryBlocks();
    objectsBefore_ = com::LiveObjectCount();
  }

  void TearDown() override {
    camera_.reset();
    providers_.reset();
    kernel_.reset();
    EXPECT_EQ(com::OutstandingTaskMemoryBlocks(), blocksBefore_) << "task memory leaked";
    EXPECT_EQ(com::LiveObjectCount(), objectsBefore_) << "counted objects leaked";
  }

  // The cameras of {"cameras": [...]}, installed, with a component over them.
  TFCamera& Install(std::string_view json) {
    camera_.reset();
    providers_.reset();
    std::string error;
    kernel_ = EmulatedKernel::FromJson(json, &error);
    EXPECT_TRUE(kernel_) << error;
    providers_.emplace(devices::ProviderList{MakeV4l2Provider(kernel_)});
    camera_.emplace();
    return *camera_;
  }

  // One camera, selected by its friendly name.
  TFCamera& Select(std::string_view json, const std::string& name) {
    Install(json);
    camera_->SetDeviceName(name);
    return *camera_;
  }

  EmulatedKernel& Kernel() { return *kernel_; }
  const std::shared_ptr<EmulatedKernel>& SharedKernel() { return kernel_; }
  TFCamera& Camera() { return *camera_; }

 private:
  std::size_t blocksBefore_ = 0;
  std::size_t objectsBefore_ = 0;
  std::shared_ptr<EmulatedKernel> kernel_;
  std::optional<devices::ScopedDeviceProviders> providers_;
  std::optional<TFCamera> camera_;
};

}  // namespace korvane::v4l2::testing
