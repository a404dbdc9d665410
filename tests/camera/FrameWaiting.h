#pragma once
// Waiting for frames in the camera tests: a frame handler that counts, and a wait for a
// condition with a generous limit, so the tests pass on a slow, shared machine.

#include <atomic>
#include <chrono>
#include <sstream>
#include <thread>

#include "camera/FCamera.h"

namespace korvane::camera::testing {

// Polls Condition until it holds or Seconds have passed; whether it held.
template <class Condition>
bool WaitFor(Condition&& Holds, double Seconds = 20) {
  const auto Limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(Seconds);
  while (!Holds()) {
    if (std::chrono::steady_clock::now() > Limit) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Counts the frames the component announces; it can be told to raise on every call.
struct FrameCounter {
  std::atomic<int> Frames{0};
  std::atomic<double> LastSampleTime{-1};
  std::atomic<std::thread::id> HandlerThread{};
  bool Raises = false;

  void ImageAvailable(TFCamera&, double SampleTime) {
    LastSampleTime = SampleTime;
    HandlerThread = std::this_thread::get_id();
    ++Frames;
    if (Raises) throw EFCameraError("a handler that fails on every frame");
  }
  TFImageAvailableEvent Event() {
    return TFImageAvailableEvent::Of<&FrameCounter::ImageAvailable>(*this);
  }
  // Waits for Count more frames than have been seen.
  bool WaitForMore(int Count) {
    const int Target = Frames + Count;
    return WaitFor([&] { return Frames >= Target; });
  }
};

}  // namespace korvane::camera::testing
