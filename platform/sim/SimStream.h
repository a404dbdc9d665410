#pragma once
// The streaming thread of a simulated capture pin: while the filter runs it delivers a frame of
// the test picture at each frame time of the connection's format, one period after the last,
// and drops frames it is late for rather than catch up in a burst. A device unplugged while
// streaming ends the stream: the graph hears of it (device lost, then the error), the filters
// downstream get their end of stream, and the thread ends. Halting wakes the thread at once.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/DirectShow9.h"
#include "platform/graph/MediaSample.h"
#include "platform/sim/SimDriver.h"
#include "platform/sim/TestPicture.h"

namespace korvane::sim {

// What the stream reports to the graph that holds the filter.
using StreamNotify = std::function<void(LONG code, LONG_PTR param1, LONG_PTR param2)>;

// The frame time of a format with none (AvgTimePerFrame 0): 30 frames a second.
inline constexpr REFERENCE_TIME kDefaultFrameTime = 333333;

class SimStream {
 public:
  // Readies a stream for the connection from the device's pin to receiver; fails with
  // VFW_E_INVALIDMEDIATYPE for a type the camera cannot stream.
  static HRESULT Create(SimDriver driver, IBaseFilter& device, IPin& receiver,
                        const AM_MEDIA_TYPE& type, StreamNotify notify,
                        std::unique_ptr<SimStream>* stream);
  ~SimStream();
  SimStream(const SimStream&) = delete;
  SimStream& operator=(const SimStream&) = delete;

  void Start();  // the filter runs
  void Halt();   // the filter pauses or stops: the thread has ended when this returns

 private:
  struct Shared;
  explicit SimStream(std::shared_ptr<Shared> shared);
  static void Stream(const std::shared_ptr<Shared>& shared);

  // The thread's data lives as long as the thread, even if the stream object goes first.
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

}  // namespace korvane::sim
