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

HRESULT MediaSample::GetPointer(BYTE** buffer) {
  if (!buffer) return E_POINTER;
  *buffer = data_;
  return S_OK;
}

LONG MediaSample::GetSize() {
  return static_cast<LONG>(capacity_);
}

HRESULT MediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
  if (!start || !end) return E_POINTER;
  if (!timed_) return VFW_E_SAMPLE_TIME_NOT_SET;
  *start = start_;
  *end = end_;
  return S_OK;
}

HRESULT MediaSample::SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
  timed_ = start != nullptr;
  if (start) {
    start_ = *start;
    end_ = end ? *end : *start + 1;
  }
  return S_OK;
}

HRESULT MediaSample::IsSyncPoint() {
  return syncPoint_ ? S_OK : S_FALSE;
}

HRESULT MediaSample::SetSyncPoint(BOOL isSyncPoint) {
  syncPoint_ = isSyncPoint != FALSE;
  return S_OK;
}

LONG MediaSample::GetActualDataLength() {
  return length_;
}

HRESULT MediaSample::SetActualDataLength(LONG length) {
  if (length < 0 || static_cast<std::size_t>(length) > capacity_) return E_INVALIDARG;
  length_ = length;
  return S_OK;
}

void MediaSample::PrepareOwn(std::size_t bytes) {
  if (own_.size() < bytes) own_.resize(bytes);
  data_ = own_.data();
  capacity_ = own_.size();
  length_ = static_cast<LONG>(bytes);
  timed_ = false;
  syncPoint_ = true;
}

void MediaSample::PrepareView(IMediaSample* source, BYTE* data, std::size_t length) {
  viewed_ = ComPtr<IMediaSample>(source);
  data_ = data;
  capacity_ = length;
  length_ = static_cast<LONG>(length);
  timed_ = false;
  syncPoint_ = true;
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
