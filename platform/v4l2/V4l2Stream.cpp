#include "platform/v4l2/V4l2Stream.h"

#include <linux/videodev2.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/graph/MediaSample.h"
#include "platform/graph/MediaType.h"
#include "platform/os/FileAccess.h"
#include "platform/v4l2/V4l2BufferSample.h"
#include "platform/v4l2/V4l2Device.h"
#include "platform/v4l2/V4l2Errors.h"

namespace korvane::v4l2 {
namespace {

// Buffers the driver fills in turn: one being filled, one being delivered, one the renderer keeps
// as its current picture, and room for a late frame without a drop.
constexpr std::uint32_t kBuffers = 4;
// Copies out at once downstream, made only while every other buffer is held there (a grabber's
// buffered sample, a renderer's current picture, a snapshot being taken).
constexpr std::size_t kPoolSamples = 6;
// The frame time of a format that does not tell its own: 30 frames a second.
constexpr REFERENCE_TIME kDefaultFrameTime = 333333;

// One buffer of the driver mapped into this process; unmapped through the same door.
class Mapping {
 public:
  Mapping(Door door, void* address, std::size_t length)
      : door_(std::move(door)), address_(address), length_(length) {}
  ~Mapping() { door_.Munmap(address_, length_); }
  Mapping(const Mapping&) = delete;
  Mapping& operator=(const Mapping&) = delete;

  const BYTE* Data() const { return static_cast<const BYTE*>(address_); }
  std::size_t Length() const { return length_; }

 private:
  Door door_;
  void* address_;
  std::size_t length_;
};

v4l2_buffer CaptureBuffer(std::uint32_t index = 0) {
  v4l2_buffer buffer{};
  buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  buffer.memory = V4L2_MEMORY_MMAP;
  buffer.index = index;
  return buffer;
}

REFERENCE_TIME Microseconds(const timeval& time) {
  return static_cast<REFERENCE_TIME>(time.tv_sec) * 1'000'000 + time.tv_usec;
}

}  // namespace

struct V4l2Stream::Shared final : BufferOwner, std::enable_shared_from_this<V4l2Stream::Shared> {
  explicit Shared(Door d) : door(std::move(d)) {}
  ~Shared() override { Close(); }
  Shared(const Shared&) = delete;
  Shared& operator=(const Shared&) = delete;

  // Where each buffer of the driver is.
  enum class Place { kFree, kQueued, kDequeued, kDownstream };
  struct Buffer {
    std::unique_ptr<Mapping> mapping;
    std::unique_ptr<BufferSample> sample;
    Place place = Place::kFree;
  };

  Door door;
  UniqueFd fd;                    // closed last: it holds the buffers
  std::vector<Buffer> buffers;    // by the driver's index
  IBaseFilter* device = nullptr;  // the filter owns the stream
  ComPtr<IPin> receiverPin;
  ComPtr<IMemInputPin> receiver;
  std::shared_ptr<graph::SamplePool> pool;
  StreamNotify notify;
  REFERENCE_TIME frameTime = kDefaultFrameTime;

  std::mutex mutex;  // guards what follows, and the places of the buffers
  bool streaming = false;
  bool closed = false;
  std::size_t queued = 0;  // buffers the driver holds to fill

  void DeviceLost() {
    notify(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(static_cast<IUnknown*>(device)), 0);
    notify(EC_ERRORABORT, HRESULT_ERROR_DEVICE_NOT_CONNECTED, 0);
    EndOfStream();
  }
  void Failed(HRESULT result) {
    notify(EC_ERRORABORT, result, 0);
    EndOfStream();
  }
  void EndOfStream() {
    ComPtr<IPin> pin;
    {
      std::lock_guard lock(mutex);
      pin = receiverPin;
    }
    if (pin) pin->EndOfStream();
  }
  // Gives a buffer to the driver to fill while streaming; otherwise it waits for the next
  // start. The mutex is held.
  void QueueLocked(std::uint32_t index) {
    Buffer& buffer = buffers[index];
    buffer.place = Place::kFree;
    if (!streaming || closed) return;
    v4l2_buffer queue = CaptureBuffer(index);
    // A failure here is the camera going away, which the next wait for a frame reports.
    if (door.Ioctl(fd.Get(), VIDIOC_QBUF, &queue) != 0) return;
    buffer.place = Place::kQueued;
    ++queued;
  }
  void Returned(std::uint32_t index) override {
    std::lock_guard lock(mutex);
    if (closed || index >= buffers.size()) return;
    QueueLocked(index);
  }
  // The frame in buffer as a sample downstream: S_OK, S_FALSE when no more are wanted, or the
  // failure of the filter downstream.
  HRESULT Deliver(const v4l2_buffer& buffer, REFERENCE_TIME firstMicroseconds);
  // The thread's loop until stop is signalled or the stream ends.
  void Run(int stop);
  // Every buffer back to the driver and the descriptor closed; a sample still held keeps a copy.
  void Close();
};

HRESULT V4l2Stream::Shared::Deliver(const v4l2_buffer& buffer, REFERENCE_TIME firstMicroseconds) {
  const std::uint32_t index = buffer.index;
  if (index >= buffers.size()) return S_OK;
  Buffer& own = buffers[index];
  bool copy = false;
  ComPtr<IMemInputPin> to;
  {
    std::lock_guard lock(mutex);
    if (closed) return S_FALSE;  // stopped from a frame handler: nothing goes downstream
    to = receiver;
    own.place = Place::kDequeued;
    if (queued > 0) --queued;
    if ((buffer.flags & V4L2_BUF_FLAG_ERROR) || buffer.bytesused == 0 ||
        buffer.bytesused > own.mapping->Length()) {
      QueueLocked(index);
      return S_OK;  // a damaged frame is dropped, as a camera's driver marks it
    }
    // The buffer itself goes downstream unless the driver would be left with none to fill:
    // then the frame is copied and the buffer goes back at once.
    copy = queued == 0;
    if (!copy) own.place = Place::kDownstream;
  }
  ComPtr<IMediaSample> sample;
  if (copy) {
    const ComPtr<graph::MediaSample> copied = pool->Acquire(buffer.bytesused);
    if (copied) std::memcpy(copied->Data(), own.mapping->Data(), buffer.bytesused);
    {
      std::lock_guard lock(mutex);
      QueueLocked(index);
    }
    if (!copied) return S_OK;  // every copy is still held downstream: this frame is dropped
    sample = copied;
  } else {
    sample =
        ComPtr<IMediaSample>::Attach(own.sample->HandOut(shared_from_this(), buffer.bytesused));
  }
  REFERENCE_TIME start = (Microseconds(buffer.timestamp) - firstMicroseconds) * 10;
  REFERENCE_TIME end = start + frameTime;
  sample->SetTime(&start, &end);
  return to->Receive(sample.Get());
}

void V4l2Stream::Shared::Run(int stop) {
  bool first = true;
  REFERENCE_TIME firstMicroseconds = 0;
  for (;;) {
    pollfd waits[2] = {{fd.Get(), POLLIN, 0}, {stop, POLLIN, 0}};
    const int ready = door.Poll(waits, 2, -1);
    if (waits[1].revents != 0) return;
    if (ready < 0) {
      Failed(ResultFromErrno(-ready, CallKind::Other));
      return;
    }
    if (waits[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
      DeviceLost();  // the camera went away while streaming
      return;
    }
    if (!(waits[0].revents & POLLIN)) continue;
    v4l2_buffer buffer = CaptureBuffer();
    if (const int error = door.Ioctl(fd.Get(), VIDIOC_DQBUF, &buffer); error != 0) {
      if (error == EAGAIN) continue;
      if (NodeIsGoingAway(door, fd.Get(), error)) {
        DeviceLost();
      } else {
        Failed(ResultFromErrno(error, CallKind::Other));
      }
      return;
    }
    if (first) {
      first = false;
      firstMicroseconds = Microseconds(buffer.timestamp);
    }
    const HRESULT delivered = Deliver(buffer, firstMicroseconds);
    if (delivered == S_FALSE) return;  // the filter downstream wants no more
    if (FAILED(delivered)) {
      Failed(delivered);
      return;
    }
  }
}

void V4l2Stream::Shared::Close() {
  // The filter downstream may keep a sample, which holds this: let go of it, outside the lock,
  // since releasing it may release a sample.
  ComPtr<IPin> pin;
  ComPtr<IMemInputPin> input;
  std::lock_guard lock(mutex);
  if (closed) return;
  closed = true;
  pin = receiverPin;
  input = receiver;
  receiverPin = nullptr;
  receiver = nullptr;
  // The unmapping and freeing come before the descriptor closes, which gives the stream's
  // privileges back on every kernel line.
  for (Buffer& buffer : buffers) {
    if (buffer.place == Place::kDownstream) buffer.sample->KeepOwnCopy();
    buffer.mapping.reset();
  }
  if (!fd) return;
  v4l2_requestbuffers none{};
  none.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  none.memory = V4L2_MEMORY_MMAP;
  door.Ioctl(fd.Get(), VIDIOC_REQBUFS, &none);
  fd.Reset();
}

HRESULT V4l2Stream::Create(const Door& door, const std::string& nodePath, const V4l2Format& format,
                           IBaseFilter& device, IPin& receiver, const AM_MEDIA_TYPE& type,
                           StreamNotify notify, std::unique_ptr<V4l2Stream>* stream) {
  auto shared = std::make_shared<Shared>(door);
  if (FAILED(receiver.QueryInterface(IID_IMemInputPin,
                                     shared->receiver.ReleaseAndGetVoidAddressOf()))) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  const int fd = door.Open(nodePath, DeviceOpenFlags());
  if (fd < 0) return ResultFromErrno(-fd, CallKind::Open);
  shared->fd = UniqueFd(door, fd);
  // EBUSY here: another program streams from the camera or has set its format.
  if (const HRESULT applied = ApplyFormat(door, fd, format); FAILED(applied)) return applied;

  v4l2_requestbuffers request{};
  request.count = kBuffers;
  request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  request.memory = V4L2_MEMORY_MMAP;
  if (const int error = door.Ioctl(fd, VIDIOC_REQBUFS, &request); error != 0) {
    return ResultFromErrno(error, CallKind::Other);  // EBUSY: another program streams
  }
  if (request.count == 0) return E_OUTOFMEMORY;
  for (std::uint32_t index = 0; index < request.count; ++index) {
    v4l2_buffer buffer = CaptureBuffer(index);
    if (const int error = door.Ioctl(fd, VIDIOC_QUERYBUF, &buffer); error != 0) {
      return ResultFromErrno(error, CallKind::Other);
    }
    int error = 0;
    void* address = door.Mmap(buffer.length, PROT_READ, MAP_SHARED, fd,
                              static_cast<off_t>(buffer.m.offset), &error);
    if (!address) return ResultFromErrno(error, CallKind::Other);
    Shared::Buffer own;
    own.mapping = std::make_unique<Mapping>(door, address, buffer.length);
    own.sample = std::make_unique<BufferSample>(index, own.mapping->Data(), buffer.length);
    shared->buffers.push_back(std::move(own));
  }
  const auto picture = graph::VideoPictureOf(type);
  if (picture && picture->frameTime > 0) shared->frameTime = picture->frameTime;
  shared->device = &device;
  shared->receiverPin = ComPtr<IPin>(&receiver);
  shared->pool = graph::SamplePool::Create(kPoolSamples);
  shared->notify = std::move(notify);
  stream->reset(new V4l2Stream(std::move(shared)));
  return S_OK;
}

V4l2Stream::V4l2Stream(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}

V4l2Stream::~V4l2Stream() {
  Halt();
  shared_->Close();
}

HRESULT V4l2Stream::Start() {
  std::lock_guard lock(shared_->mutex);
  if (shared_->streaming) return S_OK;
  const Door& door = shared_->door;
  const int fd = shared_->fd.Get();
  // A buffer still held downstream (the picture a paused renderer shows) is queued when it
  // comes back.
  for (std::uint32_t index = 0; index < shared_->buffers.size(); ++index) {
    if (shared_->buffers[index].place != Shared::Place::kFree) continue;
    v4l2_buffer buffer = CaptureBuffer(index);
    if (const int error = door.Ioctl(fd, VIDIOC_QBUF, &buffer); error != 0) {
      return ResultFromErrno(error, CallKind::Other);
    }
    shared_->buffers[index].place = Shared::Place::kQueued;
    ++shared_->queued;
  }
  int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  if (const int error = door.Ioctl(fd, VIDIOC_STREAMON, &type); error != 0) {
    return ResultFromErrno(error, CallKind::Other);
  }
  auto stop = std::make_shared<os::UniqueFd>(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!stop->Valid()) {
    const int error = errno;
    door.Ioctl(fd, VIDIOC_STREAMOFF, &type);
    return ResultFromErrno(error, CallKind::Other);
  }
  if (thread_.joinable()) thread_.join();  // an earlier thread that already ended
  shared_->streaming = true;
  stop_ = stop;
  thread_ = std::thread([shared = shared_, stop] { shared->Run(stop->Get()); });
  return S_OK;
}

void V4l2Stream::Halt() {
  std::shared_ptr<os::UniqueFd> stop;
  {
    std::lock_guard lock(shared_->mutex);
    if (!shared_->streaming) return;
    shared_->streaming = false;
    stop = std::move(stop_);
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(stop->Get(), &one, sizeof one);
  if (thread_.joinable()) {
    // Halted from its own thread (by a frame handler): the thread ends as soon as that call
    // returns, and holds what it uses itself.
    if (thread_.get_id() == std::this_thread::get_id()) {
      thread_.detach();
    } else {
      thread_.join();
    }
  }
  // Every queued buffer comes back from the driver; the next start queues them again.
  std::lock_guard lock(shared_->mutex);
  int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  shared_->door.Ioctl(shared_->fd.Get(), VIDIOC_STREAMOFF, &type);
  for (Shared::Buffer& buffer : shared_->buffers) {
    if (buffer.place == Shared::Place::kQueued) buffer.place = Shared::Place::kFree;
  }
  shared_->queued = 0;
}

}  // namespace korvane::v4l2
