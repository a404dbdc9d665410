#pragma once
// The streaming of a Video4Linux2 capture pin: memory-mapped buffers on a descriptor of its
// own, and a thread that waits in poll for the camera's next frame or for the word to stop
// (an event descriptor, so stopping never waits for a frame). Each frame goes downstream as a
// media sample with its time from the start of the stream: the driver's buffer itself, queued
// again when the sample is released, or a copy when every other buffer is held downstream, so
// the driver always has one to fill and a held sample is never written over.
// An unplugged camera ends the stream: the graph hears of it (device lost, then the error) and
// the filter downstream gets its end of stream. Closing the stream frees every buffer and closes
// its descriptor, which gives the camera back: another program can take it at once; a sample
// still held downstream then keeps a copy of its frame.

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/DirectShow9.h"
#include "platform/os/FileAccess.h"
#include "platform/v4l2/Kernel.h"
#include "platform/v4l2/V4l2Formats.h"

namespace korvane::v4l2 {

// What the stream reports to the graph that holds the filter.
using StreamNotify = std::function<void(LONG code, LONG_PTR param1, LONG_PTR param2)>;

class V4l2Stream {
 public:
  // Opens the node, sets the format there and takes its buffers for the connection to
  // receiver: busy when another program streams from the camera (or has set its format).
  static HRESULT Create(const Door& door, const std::string& nodePath, const V4l2Format& format,
                        IBaseFilter& device, IPin& receiver, const AM_MEDIA_TYPE& type,
                        StreamNotify notify, std::unique_ptr<V4l2Stream>* stream);
  ~V4l2Stream();
  V4l2Stream(const V4l2Stream&) = delete;
  V4l2Stream& operator=(const V4l2Stream&) = delete;

  HRESULT Start();  // the filter runs
  void Halt();      // the filter pauses: the thread has ended and the buffers are back

 private:
  struct Shared;
  explicit V4l2Stream(std::shared_ptr<Shared> shared);

  std::shared_ptr<Shared> shared_;
  std::thread thread_;
  // The word to stop for the running thread, which holds it too.
  std::shared_ptr<os::UniqueFd> stop_;
};

}  // namespace korvane::v4l2
