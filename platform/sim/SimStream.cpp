#include "platform/sim/SimStream.h"

#include <algorithm>
#include <chrono>

#include "platform/graph/MediaType.h"

namespace korvane::sim {
namespace {

using Clock = std::chrono::steady_clock;

// Frames in flight at once: the one being delivered and those kept downstream (a grabber's
// buffered sample, a renderer's current picture, a snapshot being taken).
constexpr std::size_t kPoolSamples = 6;
// A camera that sends a frame every few seconds still notices an unplug this soon.
constexpr auto kPresenceCheck = std::chrono::milliseconds(250);
// The shortest frame time a stream keeps to; shorter ones would only spin the thread.
constexpr REFERENCE_TIME kShortestFrameTime = 10'000;

}  // namespace

struct SimStream::Shared {
  explicit Shared(SimDriver camera) : driver(std::move(camera)) {}

  SimDriver driver;
  IBaseFilter* device = nullptr;  // the filter owns the stream, so a plain pointer
  ComPtr<IPin> receiverPin;
  ComPtr<IMemInputPin> receiver;
  std::unique_ptr<TestPicture> picture;
  std::shared_ptr<graph::SamplePool> pool;
  StreamNotify notify;
  REFERENCE_TIME frameTime = kDefaultFrameTime;

  std::mutex mutex;
  std::condition_variable wake;
  bool halted = true;
  std::uint64_t generation = 0;  // of the thread that may stream; an older one ends
  std::uint64_t nextFrame = 0;   // the frame number the next run starts with

  bool Ended(std::uint64_t mine) const { return halted || generation != mine; }
};

HRESULT SimStream::Create(SimDriver driver, IBaseFilter& device, IPin& receiver,
                          const AM_MEDIA_TYPE& type, StreamNotify notify,
                          std::unique_ptr<SimStream>* stream) {
  auto shared = std::make_shared<Shared>(std::move(driver));
  shared->picture = TestPicture::For(type);
  if (!shared->picture) return VFW_E_INVALIDMEDIATYPE;
  if (FAILED(receiver.QueryInterface(IID_IMemInputPin,
                                     shared->receiver.ReleaseAndGetVoidAddressOf()))) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  const auto picture = graph::VideoPictureOf(type);
  shared->frameTime = picture && picture->frameTime > 0
                          ? std::max(picture->frameTime, kShortestFrameTime)
                          : kDefaultFrameTime;
  shared->device = &device;
  shared->receiverPin = ComPtr<IPin>(&receiver);
  shared->pool = graph::SamplePool::Create(kPoolSamples);
  shared->notify = std::move(notify);
  stream->reset(new SimStream(std::move(shared)));
  return S_OK;
}

SimStream::SimStream(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}

SimStream::~SimStream() {
  Halt();
}

void SimStream::Start() {
  std::uint64_t mine = 0;
  {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->halted) return;
    shared_->halted = false;
    mine = ++shared_->generation;
  }
  if (thread_.joinable()) thread_.join();  // an earlier thread that already ended
  thread_ = std::thread([shared = shared_, mine] {
    // The number the thread starts with is the one the last run ended at.
    std::uint64_t first = 0;
    {
      std::lock_guard lock(shared->mutex);
      first = shared->nextFrame;
    }
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds(shared->frameTime * 100));
    const auto begun = Clock::now();
    std::uint64_t frame = first;
    for (;;) {
      const Clock::time_point due = begun + period * static_cast<Clock::rep>(frame - first + 1);
      {
        std::unique_lock lock(shared->mutex);
        const Clock::time_point wakeAt =
            std::min<Clock::time_point>(due, Clock::now() + kPresenceCheck);
        if (shared->wake.wait_until(lock, wakeAt, [&] { return shared->Ended(mine); })) break;
      }
      if (!shared->driver.Peek().device) {
        std::lock_guard lock(shared->mutex);
        if (shared->Ended(mine)) break;
        shared->notify(EC_DEVICE_LOST,
                       reinterpret_cast<LONG_PTR>(static_cast<IUnknown*>(shared->device)), 0);
        shared->notify(EC_ERRORABORT, HRESULT_ERROR_DEVICE_NOT_CONNECTED, 0);
        shared->receiverPin->EndOfStream();
        break;
      }
      const auto now = Clock::now();
      if (now < due) continue;  // only a look whether the device is still there
      // A frame comes when it is due; those missed while the thread was late are dropped.
      const auto elapsed = static_cast<std::uint64_t>((now - begun) / period);
      frame = std::max(frame, first + elapsed - 1);
      HRESULT delivered = S_OK;
      if (const ComPtr<graph::MediaSample> sample =
              shared->pool->Acquire(shared->picture->FrameBytes())) {
        const std::size_t length = shared->picture->Draw(frame, sample->Data(), sample->Capacity());
        sample->SetActualDataLength(static_cast<LONG>(length));
        REFERENCE_TIME start = static_cast<REFERENCE_TIME>(frame) * shared->frameTime;
        REFERENCE_TIME end = start + shared->frameTime;
        sample->SetTime(&start, &end);
        if (length > 0) delivered = shared->receiver->Receive(sample.Get());
      }
      ++frame;
      std::lock_guard lock(shared->mutex);
      if (shared->Ended(mine)) break;
      if (delivered == S_FALSE) break;  // the filter downstream wants no more
      if (FAILED(delivered)) {
        shared->notify(EC_ERRORABORT, delivered, 0);
        shared->receiverPin->EndOfStream();
        break;
      }
    }
    std::lock_guard lock(shared->mutex);
    if (shared->generation == mine) shared->nextFrame = frame;
  });
}

void SimStream::Halt() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->halted = true;
  }
  shared_->wake.notify_all();
  if (!thread_.joinable()) return;
  // Stopped from its own thread (by a frame handler): the thread ends as soon as that call
  // returns, and holds what it uses itself.
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

}  // namespace korvane::sim
