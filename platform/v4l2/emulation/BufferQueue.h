#pragma once
// The buffer queue of one device node, with the driver's rule of one owner: the open file
// that requested buffers owns the queue until it frees them or is released, and the others
// get EBUSY for what would touch it. Buffers are memory files the caller maps; a mapping keeps
// its buffer's memory alive after the queue let it go, as the kernel orphans mapped buffers.

#include <linux/videodev2.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace korvane::v4l2::emulation {

class BufferMemory {
 public:
  // nullptr with *error set when the memory cannot be had.
  static std::shared_ptr<BufferMemory> Create(std::size_t length, int* error);
  ~BufferMemory();
  BufferMemory(const BufferMemory&) = delete;
  BufferMemory& operator=(const BufferMemory&) = delete;

  int Fd() const { return fd_; }
  std::size_t Length() const { return length_; }
  // The driver's own view of the memory, where it writes the frames.
  unsigned char* Data() const { return data_; }

 private:
  BufferMemory(int fd, std::size_t length, unsigned char* data)
      : fd_(fd), length_(length), data_(data) {}
  int fd_;
  std::size_t length_;
  unsigned char* data_;
};

// One frame as the camera handed it over: its bytes, and whether the driver flags it damaged.
struct FilmedFrame {
  std::size_t bytes = 0;
  bool damaged = false;
};

// What a streaming capture queue films: a frame every period, drawn by `draw` (frame number,
// memory, capacity).
struct FrameSource {
  std::chrono::nanoseconds period{0};
  std::function<FilmedFrame(std::uint64_t, unsigned char*, std::size_t)> draw;
};

class BufferQueue {
 public:
  explicit BufferQueue(std::uint32_t type) : type_(type) {}

  // Each takes the open file asking (its identity only) and returns 0 or the ioctl's errno.
  int Request(const void* file, v4l2_requestbuffers& request, std::size_t bufferSize);
  // Adds buffers of the size the request's format asks, at least bufferSize.
  int Create(const void* file, v4l2_create_buffers& request, std::size_t bufferSize);
  int Query(const void* file, v4l2_buffer& buffer) const;
  int Queue(const void* file, v4l2_buffer& buffer);
  int Dequeue(const void* file, v4l2_buffer& buffer);
  // With no source the queue streams but never fills a buffer (a metadata node here).
  int StreamOn(const void* file, std::uint32_t type, FrameSource source = {});
  int StreamOff(const void* file, std::uint32_t type);
  // The owner's file is released: its buffers are freed.
  void Release(const void* file);

  bool Allocated() const { return !buffers_.empty(); }
  bool Streaming() const { return streaming_; }
  bool OwnedByAnother(const void* file) const { return owner_ && owner_ != file; }
  // When the next frame is due while streaming with a buffer queued; nullopt when no frame can
  // come until the caller queues a buffer or starts the stream.
  std::optional<std::chrono::steady_clock::time_point> NextFrameAt() const;
  // The memory of the buffer at that mapping offset; nullptr when none.
  std::shared_ptr<BufferMemory> MemoryAt(std::uint32_t offset) const;

 private:
  struct Buffer {
    std::shared_ptr<BufferMemory> memory;
    std::uint32_t offset = 0;
    bool queued = false;
  };
  int Access(const void* file, std::uint32_t type) const;
  void Fill(std::uint32_t index, v4l2_buffer& buffer) const;
  void Free();
  // Appends up to count buffers of length bytes; 0 or ENOMEM.
  int Allocate(std::uint32_t count, std::size_t length);

  std::uint32_t type_;
  const void* owner_ = nullptr;
  std::vector<Buffer> buffers_;
  std::deque<std::uint32_t> order_;  // the queued buffers, in the order they were queued
  bool streaming_ = false;
  FrameSource source_;
  std::chrono::steady_clock::time_point streamStart_;
  std::uint64_t framesDone_ = 0;  // frame times passed that were filled or dropped
};

}  // namespace korvane::v4l2::emulation
