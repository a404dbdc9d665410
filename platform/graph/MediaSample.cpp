#include "platform/graph/MediaSample.h"

#include <limits>
#include <utility>

namespace korvane::graph {

MediaSample::MediaSample() {
  com::detail::CountObjectCreated();
}
MediaSample::~MediaSample() {
  com::detail::CountObjectDestroyed();
}

HRESULT MediaSample::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid != IID_IUnknown && iid != IID_IMediaSample) return E_NOINTERFACE;
  *object = static_cast<IMediaSample*>(this);
  AddRef();
  return S_OK;
}

ULONG MediaSample::AddRef() {
  return ++references_;
}

ULONG MediaSample::Release() {
  const ULONG left = --references_;
  if (left == 0) {
    viewed_ = nullptr;
    // The pool may end with this call (the last sample of a stopped producer); nothing of this
    // object is touched after it.
    std::shared_ptr<SamplePool> home = std::move(home_);
    home->Return(this);
  }
  return left;
}

void MediaSample::PrepareOwn(std::size_t bytes) {
  if (own_.size() < bytes) own_.resize(bytes);
  Use(own_.data(), own_.size(), bytes);
}

void MediaSample::PrepareView(IMediaSample* source, BYTE* data, std::size_t length) {
  viewed_ = ComPtr<IMediaSample>(source);
  Use(data, length, length);
}

std::shared_ptr<SamplePool> SamplePool::Create(std::size_t maxSamples) {
  return std::shared_ptr<SamplePool>(new SamplePool(maxSamples));
}

SamplePool::SamplePool(std::size_t maxSamples) : maxSamples_(maxSamples) {}

SamplePool::~SamplePool() = default;

MediaSample* SamplePool::Take() {
  std::lock_guard lock(mutex_);
  MediaSample* sample = nullptr;
  if (!free_.empty()) {
    sample = free_.back();
    free_.pop_back();
  } else if (all_.size() < maxSamples_) {
    all_.push_back(std::make_unique<MediaSample>());
    sample = all_.back().get();
  } else {
    return nullptr;
  }
  sample->references_ = 1;
  return sample;
}

ComPtr<MediaSample> SamplePool::Acquire(std::size_t bytes) {
  if (bytes > static_cast<std::size_t>(std::numeric_limits<LONG>::max())) return nullptr;
  MediaSample* sample = Take();
  if (!sample) return nullptr;
  sample->home_ = shared_from_this();
  sample->PrepareOwn(bytes);
  return ComPtr<MediaSample>::Attach(sample);
}

ComPtr<MediaSample> SamplePool::AcquireView(IMediaSample* source, BYTE* data, std::size_t length) {
  if (length > static_cast<std::size_t>(std::numeric_limits<LONG>::max())) return nullptr;
  MediaSample* sample = Take();
  if (!sample) return nullptr;
  sample->home_ = shared_from_this();
  sample->PrepareView(source, data, length);
  return ComPtr<MediaSample>::Attach(sample);
}

void SamplePool::Return(MediaSample* sample) {
  std::lock_guard lock(mutex_);
  free_.push_back(sample);
}

std::size_t SamplePool::Outstanding() const {
  std::lock_guard lock(mutex_);
  return all_.size() - free_.size();
}

}  // namespace korvane::graph
