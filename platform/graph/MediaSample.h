#pragma once
// Media samples and the pools they come from. A producer takes a sample from its pool, fills
// it and delivers it; whoever keeps it (a grabber's buffered sample, a renderer's current
// picture) holds a reference, and the sample goes back to its pool when the last one is
// released. Buffers are reused, so a running stream allocates nothing per frame.

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/DirectShow9.h"
#include "platform/graph/SampleBase.h"

namespace korvane::graph {

class SamplePool;

class MediaSample final : public SampleBase {
 public:
  MediaSample();
  ~MediaSample();
  MediaSample(const MediaSample&) = delete;
  MediaSample& operator=(const MediaSample&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

  BYTE* Data() { return data_; }
  std::size_t Capacity() const { return capacity_; }

 private:
  friend class SamplePool;
  // Readies the sample for a new use: an own buffer of at least bytes, or a view of another
  // sample's bytes that keeps that sample alive.
  void PrepareOwn(std::size_t bytes);
  void PrepareView(IMediaSample* source, BYTE* data, std::size_t length);

  std::atomic<ULONG> references_{0};
  std::shared_ptr<SamplePool> home_;  // set while handed out
  std::vector<BYTE> own_;
  ComPtr<IMediaSample> viewed_;
};

class SamplePool : public std::enable_shared_from_this<SamplePool> {
 public:
  // At most maxSamples samples are out at once; a producer that finds none free drops its data,
  // as a camera drops a frame when no buffer is queued.
  static std::shared_ptr<SamplePool> Create(std::size_t maxSamples);
  ~SamplePool();
  SamplePool(const SamplePool&) = delete;
  SamplePool& operator=(const SamplePool&) = delete;

  // A sample with a buffer of at least bytes (grown only when a reused buffer is smaller), its
  // length set to bytes; nullptr when every sample is out.
  ComPtr<MediaSample> Acquire(std::size_t bytes);
  // A sample whose bytes are length bytes at data inside source, which it keeps alive.
  ComPtr<MediaSample> AcquireView(IMediaSample* source, BYTE* data, std::size_t length);

  // Samples currently handed out.
  std::size_t Outstanding() const;

 private:
  friend class MediaSample;
  explicit SamplePool(std::size_t maxSamples);
  MediaSample* Take();
  void Return(MediaSample* sample);

  const std::size_t maxSamples_;
  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<MediaSample>> all_;
  std::vector<MediaSample*> free_;
};

}  // namespace korvane::graph
