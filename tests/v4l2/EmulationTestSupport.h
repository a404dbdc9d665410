#pragma once
// What the emulated-kernel tests share: kernels from JSON, small camera texts, and the calls
// of the door spelt out once.

#include <fcntl.h>
#include <linux/videodev2.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/v4l2/Kernel.h"
#include "platform/v4l2/emulation/EmulatedKernel.h"

namespace korvane::v4l2::emulation::testing {

inline std::filesystem::path ExampleFile() {
  return std::filesystem::path(KORVANE_SOURCE_DIR) / "docs/examples/emulated-uvc-cameras.json";
}

inline std::string ReadText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::shared_ptr<EmulatedKernel> KernelOf(const std::string& json) {
  std::string error;
  auto kernel = EmulatedKernel::FromJson(json, &error);
  EXPECT_TRUE(kernel) << error;
  return kernel;
}

// One camera ("cam", nodes 0 and 1) with the given controls (a JSON list body), formats and
// further camera fields.
inline std::string Camera(const std::string& controls, const std::string& more = "") {
  return R"({"id":"cam","node":0,"card":"Test Cam","usb":{"vendor":"1234","product":"5678"},
    "controls":[)" +
         controls + R"(],
    "formats":[{"fourcc":"YUYV","sizes":[{"width":640,"height":480,"intervals":["1/30"]}]}])" +
         more + "}";
}

inline std::string Cameras(const std::string& cameras) {
  return R"({"cameras":[)" + cameras + "]}";
}

// A white balance pair, a focus pair and an exposure pair, all automatic.
inline std::string AutoPairs() {
  return R"({"name":"white_balance_temperature","min":2800,"max":6500,"step":10,"default":4600},
    {"name":"white_balance_automatic","default":1},
    {"name":"focus_absolute","min":0,"max":250,"step":5,"default":0},
    {"name":"focus_automatic_continuous","default":1},
    {"name":"exposure_time_absolute","min":3,"max":2047,"default":250},
    {"name":"auto_exposure","menu":[1,3],"default":3},
    {"name":"brightness","min":0,"max":255,"default":128})";
}

// The calls a test makes, through a door: each gives 0 or the errno.
class Caller {
 public:
  explicit Caller(std::shared_ptr<Kernel> kernel) : door_(std::move(kernel)) {}

  const Door& door() const { return door_; }

  // A descriptor, or -errno.
  int Open(const std::string& path) const { return door_.Open(path, O_RDWR | O_NONBLOCK); }

  template <class T>
  int Ioctl(int fd, unsigned long request, T* argument) const {
    return door_.Ioctl(fd, request, argument);
  }

  int SetControl(int fd, std::uint32_t id, std::int32_t* value) const {
    v4l2_control control{id, *value};
    const int error = door_.Ioctl(fd, VIDIOC_S_CTRL, &control);
    *value = control.value;
    return error;
  }
  int SetControl(int fd, std::uint32_t id, std::int32_t value) const {
    return SetControl(fd, id, &value);
  }
  int GetControl(int fd, std::uint32_t id, std::int32_t* value) const {
    v4l2_control control{id, 0};
    const int error = door_.Ioctl(fd, VIDIOC_G_CTRL, &control);
    *value = control.value;
    return error;
  }
  int QueryControl(int fd, std::uint32_t id, v4l2_queryctrl* query) const {
    *query = v4l2_queryctrl{};
    query->id = id;
    return door_.Ioctl(fd, VIDIOC_QUERYCTRL, query);
  }
  // S_EXT_CTRLS (or another request) of the given controls; their stored values come back.
  int ExtControls(int fd, unsigned long request, std::vector<v4l2_ext_control>* controls,
                  std::uint32_t* errorIndex = nullptr) const {
    v4l2_ext_controls all{};
    all.which = V4L2_CTRL_WHICH_CUR_VAL;
    all.count = static_cast<std::uint32_t>(controls->size());
    all.controls = controls->data();
    const int error = door_.Ioctl(fd, request, &all);
    if (errorIndex) *errorIndex = all.error_idx;
    return error;
  }
  int Subscribe(int fd, std::uint32_t id, std::uint32_t flags = 0) const {
    v4l2_event_subscription subscription{};
    subscription.type = V4L2_EVENT_CTRL;
    subscription.id = id;
    subscription.flags = flags;
    return door_.Ioctl(fd, VIDIOC_SUBSCRIBE_EVENT, &subscription);
  }
  int DequeueEvent(int fd, v4l2_event* event) const {
    *event = v4l2_event{};
    return door_.Ioctl(fd, VIDIOC_DQEVENT, event);
  }
  // The events poll reports for one descriptor right now.
  short PollNow(int fd, short events) const {
    pollfd entry{fd, events, 0};
    return door_.Poll(&entry, 1, 0) < 0 ? short(-1) : entry.revents;
  }
  void Close(int fd) const { door_.Close(fd); }

 private:
  Door door_;
};

inline v4l2_pix_format Pix(std::uint32_t width, std::uint32_t height, std::uint32_t fourcc) {
  v4l2_pix_format pix{};
  pix.width = width;
  pix.height = height;
  pix.pixelformat = fourcc;
  return pix;
}

inline v4l2_ext_control Ext(std::uint32_t id, std::int32_t value) {
  v4l2_ext_control control{};
  control.id = id;
  control.value = value;
  return control;
}

}  // namespace korvane::v4l2::emulation::testing
