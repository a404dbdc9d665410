#include "platform/v4l2/emulation/BufferQueue.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace korvane::v4l2::emulation {
namespace {

constexpr std::uint32_t kMaxBuffers = 32;  // what the UVC driver allows

std::size_t PageAligned(std::size_t length) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return (length + page - 1) / page * page;
}

}  // namespace

std::shared_ptr<BufferMemory> BufferMemory::Create(std::size_t length, int* error) {
  const int fd = ::memfd_create("korvane-v4l2-buffer", MFD_CLOEXEC);
  void* data = MAP_FAILED;
  if (fd >= 0 && ::ftruncate(fd, static_cast<off_t>(length)) == 0) {
    data = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  }
  if (data == MAP_FAILED) {
    *error = errno;
    if (fd >= 0) ::close(fd);
    return nullptr;
  }
  return std::shared_ptr<BufferMemory>(
      new BufferMemory(fd, length, static_cast<unsigned char*>(data)));
}

BufferMemory::~BufferMemory() {
  ::munmap(data_, length_);
  ::close(fd_);
}

int BufferQueue::Access(const void* file, std::uint32_t type) const {
  if (type != type_) return EINVAL;
  if (owner_ == file) return 0;
  return owner_ ? EBUSY : EINVAL;
}

void BufferQueue::Free() {
  buffers_.clear();  // mapped memory lives on in its mappings
  order_.clear();
  streaming_ = false;
  source_ = {};  // the camera stops filming
  owner_ = nullptr;
}

int BufferQueue::Request(const void* file, v4l2_requestbuffers& request, std::size_t bufferSize) {
  if (request.type != type_ || request.memory != V4L2_MEMORY_MMAP) return EINVAL;
  if (OwnedByAnother(file) || streaming_) return EBUSY;
  Free();
  request.capabilities = V4L2_BUF_CAP_SUPPORTS_MMAP | V4L2_BUF_CAP_SUPPORTS_ORPHANED_BUFS;
  request.flags = 0;
  if (request.count == 0) return 0;
  if (Allocate(std::min(request.count, kMaxBuffers), PageAligned(bufferSize)) != 0) {
    Free();
    return ENOMEM;
  }
  request.count = static_cast<std::uint32_t>(buffers_.size());
  owner_ = file;
  return 0;
}

int BufferQueue::Allocate(std::uint32_t count, std::size_t length) {
  std::uint32_t offset = 0;
  if (!buffers_.empty()) {
    offset = buffers_.back().offset + static_cast<std::uint32_t>(buffers_.back().memory->Length());
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    int error = 0;
    auto memory = BufferMemory::Create(length, &error);
    if (!memory) return ENOMEM;
    buffers_.push_back({std::move(memory), offset, false});
    offset += static_cast<std::uint32_t>(length);
  }
  return 0;
}

// As the buffer queue's own helper: a count of 0 only reports where new buffers would start;
// the buffers must hold a frame of the current format.
int BufferQueue::Create(const void* file, v4l2_create_buffers& request, std::size_t bufferSize) {
  if (request.format.type != type_ || request.memory != V4L2_MEMORY_MMAP) return EINVAL;
  if (OwnedByAnother(file)) return EBUSY;
  request.index = static_cast<std::uint32_t>(buffers_.size());
  request.capabilities = V4L2_BUF_CAP_SUPPORTS_MMAP | V4L2_BUF_CAP_SUPPORTS_ORPHANED_BUFS;
  request.flags = 0;
  if (request.count == 0) return 0;
  const std::size_t asked = type_ == V4L2_BUF_TYPE_VIDEO_CAPTURE
                                ? request.format.fmt.pix.sizeimage
                                : request.format.fmt.meta.buffersize;
  if (asked < bufferSize) return EINVAL;
  const std::uint32_t room = kMaxBuffers - static_cast<std::uint32_t>(buffers_.size());
  if (room == 0) return ENOBUFS;
  const std::size_t before = buffers_.size();
  if (Allocate(std::min(request.count, room), PageAligned(asked)) != 0) {
    buffers_.resize(before);
    return ENOMEM;
  }
  request.count = static_cast<std::uint32_t>(buffers_.size() - before);
  owner_ = file;
  return 0;
}

void BufferQueue::Fill(std::uint32_t index, v4l2_buffer& buffer) const {
  const Buffer& b = buffers_[index];
  buffer = v4l2_buffer{};
  buffer.index = index;
  buffer.type = type_;
  buffer.flags = V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC | V4L2_BUF_FLAG_TSTAMP_SRC_SOE |
                 (b.queued ? V4L2_BUF_FLAG_QUEUED : 0) |
                 (b.memory.use_count() > 1 ? V4L2_BUF_FLAG_MAPPED : 0);
  buffer.field = V4L2_FIELD_NONE;
  buffer.memory = V4L2_MEMORY_MMAP;
  buffer.m.offset = b.offset;
  buffer.length = static_cast<std::uint32_t>(b.memory->Length());
}

// Any open file may look at the buffers: where the driver has privileges, it asks for them
// before the queue sees the call.
int BufferQueue::Query(const void*, v4l2_buffer& buffer) const {
  if (buffer.type != type_ || buffer.index >= buffers_.size()) return EINVAL;
  Fill(buffer.index, buffer);
  return 0;
}

int BufferQueue::Queue(const void* file, v4l2_buffer& buffer) {
  if (const int error = Access(file, buffer.type)) return error;
  if (buffer.memory != V4L2_MEMORY_MMAP || buffer.index >= buffers_.size() ||
      buffers_[buffer.index].queued) {
    return EINVAL;
  }
  buffers_[buffer.index].queued = true;
  order_.push_back(buffer.index);
  Fill(buffer.index, buffer);
  return 0;
}

std::optional<std::chrono::steady_clock::time_point> BufferQueue::NextFrameAt() const {
  if (!streaming_ || order_.empty() || !source_.draw || source_.period.count() <= 0) {
    return std::nullopt;
  }
  return streamStart_ + source_.period * static_cast<std::int64_t>(framesDone_ + 1);
}

// The oldest queued buffer gets the newest frame that is due; frames whose time passed while
// no buffer was queued, or while the caller was late, are dropped, and the sequence number
// shows the gap as the driver's does.
int BufferQueue::Dequeue(const void* file, v4l2_buffer& buffer) {
  if (const int error = Access(file, buffer.type)) return error;
  if (!streaming_) return EINVAL;
  const auto next = NextFrameAt();
  const auto now = std::chrono::steady_clock::now();
  if (!next || now < *next) return EAGAIN;
  const auto due = static_cast<std::uint64_t>((now - streamStart_) / source_.period);
  const std::uint64_t sequence = due - 1;
  framesDone_ = due;
  const std::uint32_t index = order_.front();
  order_.pop_front();
  Buffer& b = buffers_[index];
  b.queued = false;
  const FilmedFrame frame = source_.draw(sequence, b.memory->Data(), b.memory->Length());
  // A dequeued buffer is the caller's again: vb2_dqbuf clears the DONE flag it was filled with.
  Fill(index, buffer);
  if (frame.damaged) buffer.flags |= V4L2_BUF_FLAG_ERROR;
  buffer.bytesused = static_cast<std::uint32_t>(frame.bytes);
  buffer.sequence = static_cast<std::uint32_t>(sequence);
  const auto sinceBoot = std::chrono::duration_cast<std::chrono::microseconds>(
      (streamStart_ + source_.period * static_cast<std::int64_t>(due)).time_since_epoch());
  buffer.timestamp.tv_sec = static_cast<time_t>(sinceBoot.count() / 1'000'000);
  buffer.timestamp.tv_usec = static_cast<suseconds_t>(sinceBoot.count() % 1'000'000);
  return 0;
}

int BufferQueue::StreamOn(const void* file, std::uint32_t type, FrameSource source) {
  if (const int error = Access(file, type)) return error;
  if (streaming_) return 0;
  streaming_ = true;
  source_ = std::move(source);
  streamStart_ = std::chrono::steady_clock::now();
  framesDone_ = 0;
  return 0;
}

// Stopping a queue that has no buffers is no error, as with the buffer queue's own helper.
int BufferQueue::StreamOff(const void* file, std::uint32_t type) {
  if (type != type_) return EINVAL;
  if (OwnedByAnother(file)) return EBUSY;
  streaming_ = false;
  source_ = {};
  order_.clear();
  for (Buffer& buffer : buffers_) buffer.queued = false;
  return 0;
}

void BufferQueue::Release(const void* file) {
  if (owner_ == file) Free();
}

std::shared_ptr<BufferMemory> BufferQueue::MemoryAt(std::uint32_t offset) const {
  for (const Buffer& buffer : buffers_) {
    if (buffer.offset == offset) return buffer.memory;
  }
  return nullptr;
}

}  // namespace korvane::v4l2::emulation
