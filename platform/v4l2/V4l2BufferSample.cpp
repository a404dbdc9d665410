#include "platform/v4l2/V4l2BufferSample.h"

#include <utility>

#include "platform/com/Unknown.h"

namespace korvane::v4l2 {

BufferSample::BufferSample(std::uint32_t index, const BYTE* data, std::size_t capacity)
    : index_(index), data_(const_cast<BYTE*>(data)), capacity_(capacity) {
  com::detail::CountObjectCreated();
}

BufferSample::~BufferSample() {
  com::detail::CountObjectDestroyed();
}

HRESULT BufferSample::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid != IID_IUnknown && iid != IID_IMediaSample) return E_NOINTERFACE;
  *object = static_cast<IMediaSample*>(this);
  AddRef();
  return S_OK;
}

ULONG BufferSample::AddRef() {
  return ++references_;
}

ULONG BufferSample::Release() {
  const ULONG left = --references_;
  if (left == 0) {
    // The owner holds this object and may end with this call; nothing of it is touched after.
    std::shared_ptr<BufferOwner> owner = std::move(owner_);
    owner->Returned(index_);
  }
  return left;
}

HRESULT BufferSample::GetPointer(BYTE** buffer) {
  if (!buffer) return E_POINTER;
  *buffer = data_;
  return S_OK;
}

LONG BufferSample::GetSize() {
  return static_cast<LONG>(capacity_);
}

HRESULT BufferSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
  if (!start || !end) return E_POINTER;
  if (!timed_) return VFW_E_SAMPLE_TIME_NOT_SET;
  *start = start_;
  *end = end_;
  return S_OK;
}

HRESULT BufferSample::SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
  timed_ = start != nullptr;
  if (start) {
    start_ = *start;
    end_ = end ? *end : *start + 1;
  }
  return S_OK;
}

HRESULT BufferSample::IsSyncPoint() {
  return syncPoint_ ? S_OK : S_FALSE;
}

HRESULT BufferSample::SetSyncPoint(BOOL isSyncPoint) {
  syncPoint_ = isSyncPoint != FALSE;
  return S_OK;
}

LONG BufferSample::GetActualDataLength() {
  return length_;
}

HRESULT BufferSample::SetActualDataLength(LONG length) {
  if (length < 0 || static_cast<std::size_t>(length) > capacity_) return E_INVALIDARG;
  length_ = length;
  return S_OK;
}

IMediaSample* BufferSample::HandOut(std::shared_ptr<BufferOwner> owner, std::size_t length) {
  owner_ = std::move(owner);
  length_ = static_cast<LONG>(length);
  timed_ = false;
  syncPoint_ = true;
  references_ = 1;
  return this;
}

void BufferSample::KeepOwnCopy() {
  if (!own_.empty() && data_ == own_.data()) return;
  own_.assign(data_, data_ + length_);
  data_ = own_.data();
  capacity_ = own_.size();
}

}  // namespace korvane::v4l2
