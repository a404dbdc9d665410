#pragma once
// A buffer of the driver handed downstream as the sample itself, so a frame is not copied on its
// way out of the driver. While a sample is held the driver cannot fill its buffer; when the last
// holder releases it, its owner (the stream) queues the buffer again. A stream that ends while a
// sample is still held gives the holder a copy of the bytes first, since the buffer goes back.
// The bytes are the driver's: read them, do not write them.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/DirectShow9.h"
#include "platform/graph/SampleBase.h"

namespace korvane::v4l2 {

class BufferOwner {
 public:
  virtual ~BufferOwner() = default;
  // The sample of buffer `index` was released by its last holder.
  virtual void Returned(std::uint32_t index) = 0;
};

class BufferSample final : public graph::SampleBase {
 public:
  BufferSample(std::uint32_t index, const BYTE* data, std::size_t capacity);
  ~BufferSample();
  BufferSample(const BufferSample&) = delete;
  BufferSample& operator=(const BufferSample&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // Hands the sample out with one reference, holding the frame's first `length` bytes; the owner
  // is told when the last reference goes.
  IMediaSample* HandOut(std::shared_ptr<BufferOwner> owner, std::size_t length);
  // The buffer goes back to the driver while the sample is held: the sample keeps a copy of
  // its bytes from now on.
  void KeepOwnCopy();

 private:
  const std::uint32_t index_;
  std::atomic<ULONG> references_{0};
  std::shared_ptr<BufferOwner> owner_;  // set while handed out
  std::vector<BYTE> own_;
};

}  // namespace korvane::v4l2
