#include "platform/v4l2/V4l2BufferSample.h"

#include <utility>

#include "platform/com/Unknown.h"

namespace korvane::v4l2 {

BufferSample::BufferSample(std::uint32_t index, const BYTE* data, std::size_t capacity)
    : index_(index) {
  Use(const_cast<BYTE*>(data), capacity, 0);
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

IMediaSample* BufferSample::HandOut(std::shared_ptr<BufferOwner> owner, std::size_t length) {
  owner_ = std::move(owner);
  Use(data_, capacity_, length);
  references_ = 1;
  return this;
}

void BufferSample::KeepOwnCopy() {
  if (!own_.empty() && data_ == own_.data()) return;
  own_.assign(data_, data_ + length_);
  data_ = own_.data();
  capacity_ = own_.size();  // the times and the length in use stay
}

}  // namespace korvane::v4l2
