// A stand-in for another program that uses a camera, as the web browsers built on Chromium do
// when a video call starts: it opens the camera of the emulated kernel (KORVANE_V4L2_EMULATION),
// sets every user and camera control back to its default (automatic modes switched to manual
// first, so that the values can be written, and back to their defaults last), streams for a
// while, and closes the camera.
//
// Usage: korvane-other-program NODE [--seconds S] [--insist ID]
//   --seconds S  how long it streams (default 2)
//   --insist ID  writes the control's default again whenever another program changes it
// SIGTERM ends the stream early, the camera closed as at the end.
// Standard output: "reset done REALTIME" after its last write of the reset (REALTIME in seconds
// since the epoch), "insisted" after each write of --insist, "closed" at the end.
#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "platform/v4l2/Kernel.h"
#include "platform/v4l2/emulation/EmulatedKernel.h"

namespace {

using korvane::v4l2::Door;

// The automatic modes the reset switches to manual first and back to their defaults last.
constexpr std::uint32_t kAutomatic[] = {V4L2_CID_AUTO_WHITE_BALANCE, V4L2_CID_EXPOSURE_AUTO,
                                        V4L2_CID_EXPOSURE_AUTO_PRIORITY, V4L2_CID_FOCUS_AUTO};
constexpr std::int32_t kManual[] = {0, V4L2_EXPOSURE_MANUAL, 0, 0};

[[noreturn]] void Fail(const std::string& what, int error) {
  std::cerr << "korvane-other-program: " << what << ": " << std::strerror(error) << "\n";
  std::exit(1);
}

bool IsAutomatic(std::uint32_t id) {
  for (const std::uint32_t automatic : kAutomatic) {
    if (automatic == id) return true;
  }
  return false;
}

int SetControl(const Door& door, int fd, std::uint32_t id, std::int32_t value) {
  v4l2_control control{id, value};
  return door.Ioctl(fd, VIDIOC_S_CTRL, &control);
}

std::int32_t DefaultOf(const Door& door, int fd, std::uint32_t id, bool* found) {
  v4l2_queryctrl query{};
  query.id = id;
  *found =
      door.Ioctl(fd, VIDIOC_QUERYCTRL, &query) == 0 && !(query.flags & V4L2_CTRL_FLAG_DISABLED);
  return query.default_value;
}

void ResetToDefaults(const Door& door, int fd) {
  for (std::size_t i = 0; i < std::size(kAutomatic); ++i) {
    SetControl(door, fd, kAutomatic[i], kManual[i]);  // a camera without it answers EINVAL
  }
  // Each class in one request, the way a browser sends them.
  for (const std::uint32_t controlClass : {V4L2_CTRL_CLASS_USER, V4L2_CTRL_CLASS_CAMERA}) {
    std::vector<v4l2_ext_control> controls;
    v4l2_queryctrl query{};
    query.id = controlClass | V4L2_CTRL_FLAG_NEXT_CTRL;
    while (door.Ioctl(fd, VIDIOC_QUERYCTRL, &query) == 0 &&
           V4L2_CTRL_ID2CLASS(query.id) == controlClass) {
      const std::uint32_t skipped = V4L2_CTRL_FLAG_DISABLED | V4L2_CTRL_FLAG_READ_ONLY |
                                    V4L2_CTRL_FLAG_WRITE_ONLY | V4L2_CTRL_FLAG_INACTIVE;
      if (query.type != V4L2_CTRL_TYPE_CTRL_CLASS && !(query.flags & skipped) &&
          !IsAutomatic(query.id)) {
        v4l2_ext_control control{};
        control.id = query.id;
        control.value = query.default_value;
        controls.push_back(control);
      }
      query.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
    }
    if (controls.empty()) continue;
    v4l2_ext_controls request{};
    request.which = controlClass;
    request.count = static_cast<std::uint32_t>(controls.size());
    request.controls = controls.data();
    if (const int error = door.Ioctl(fd, VIDIOC_S_EXT_CTRLS, &request); error != 0) {
      std::cerr << "korvane-other-program: reset: " << std::strerror(error) << "\n";
    }
  }
  for (const std::uint32_t id : kAutomatic) {
    bool found = false;
    const std::int32_t value = DefaultOf(door, fd, id, &found);
    if (found) SetControl(door, fd, id, value);
  }
}

struct Mapped {
  void* address;
  std::size_t length;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: korvane-other-program NODE [--seconds S] [--insist ID]\n";
    return 2;
  }
  const std::string node = argv[1];
  double seconds = 2;
  std::uint32_t insist = 0;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--seconds") seconds = std::atof(argv[i + 1]);
    if (option == "--insist")
      insist = static_cast<std::uint32_t>(std::strtoul(argv[i + 1], nullptr, 0));
  }
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigprocmask(SIG_BLOCK, &stop, nullptr);
  const int stopFd = signalfd(-1, &stop, SFD_CLOEXEC);
  bool usable = false;
  const auto kernel = korvane::v4l2::emulation::KernelFromEnvironment(&usable);
  if (!kernel || !usable) {
    std::cerr << "korvane-other-program: needs KORVANE_V4L2_EMULATION\n";
    return 2;
  }
  const Door door(kernel);
  const int fd = door.Open(node, O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) Fail("open " + node, -fd);

  bool insistFound = false;
  const std::int32_t insistValue = insist ? DefaultOf(door, fd, insist, &insistFound) : 0;
  if (insistFound) {
    v4l2_event_subscription subscription{};
    subscription.type = V4L2_EVENT_CTRL;
    subscription.id = insist;
    if (const int error = door.Ioctl(fd, VIDIOC_SUBSCRIBE_EVENT, &subscription); error != 0) {
      Fail("subscribe", error);
    }
  }
  ResetToDefaults(door, fd);
  const double now =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  std::printf("reset done %.6f\n", now);
  std::fflush(stdout);

  v4l2_requestbuffers buffers{};
  buffers.count = 2;
  buffers.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  buffers.memory = V4L2_MEMORY_MMAP;
  if (const int error = door.Ioctl(fd, VIDIOC_REQBUFS, &buffers); error != 0) {
    Fail("REQBUFS", error);
  }
  std::vector<Mapped> mapped;
  for (std::uint32_t index = 0; index < buffers.count; ++index) {
    v4l2_buffer buffer{};
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    buffer.index = index;
    if (const int error = door.Ioctl(fd, VIDIOC_QUERYBUF, &buffer); error != 0) {
      Fail("QUERYBUF", error);
    }
    int error = 0;
    void* address = door.Mmap(buffer.length, PROT_READ, MAP_SHARED, fd, buffer.m.offset, &error);
    if (!address) Fail("mmap", error);
    mapped.push_back({address, buffer.length});
    if (const int failed = door.Ioctl(fd, VIDIOC_QBUF, &buffer); failed != 0) Fail("QBUF", failed);
  }
  int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  if (const int error = door.Ioctl(fd, VIDIOC_STREAMON, &type); error != 0) {
    Fail("STREAMON", error);
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (auto left = end - std::chrono::steady_clock::now(); left.count() > 0;
       left = end - std::chrono::steady_clock::now()) {
    pollfd entries[] = {{fd, POLLIN | POLLPRI, 0}, {stopFd, POLLIN, 0}};
    pollfd& entry = entries[0];
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    if (door.Poll(entries, 2, static_cast<int>(wait)) <= 0) continue;
    if (entries[1].revents) {
      std::cerr << "korvane-other-program: stopped\n";
      break;
    }
    if (entry.revents & (POLLERR | POLLHUP)) {
      std::cerr << "korvane-other-program: the camera is gone\n";
      break;
    }
    if (entry.revents & POLLIN) {
      v4l2_buffer buffer{};
      buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      buffer.memory = V4L2_MEMORY_MMAP;
      if (door.Ioctl(fd, VIDIOC_DQBUF, &buffer) == 0) door.Ioctl(fd, VIDIOC_QBUF, &buffer);
    }
    if (entry.revents & POLLPRI) {
      v4l2_event event{};
      while (door.Ioctl(fd, VIDIOC_DQEVENT, &event) == 0) {
        if (event.id == insist && event.u.ctrl.value != insistValue) {
          SetControl(door, fd, insist, insistValue);
          std::printf("insisted\n");
          std::fflush(stdout);
        }
      }
    }
  }
  door.Ioctl(fd, VIDIOC_STREAMOFF, &type);
  for (const Mapped& buffer : mapped) door.Munmap(buffer.address, buffer.length);
  door.Close(fd);
  std::printf("closed\n");
  return 0;
}
