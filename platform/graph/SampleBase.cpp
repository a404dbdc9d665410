#include "platform/graph/SampleBase.h"

namespace korvane::graph {

HRESULT SampleBase::GetPointer(BYTE** buffer) {
  if (!buffer) return E_POINTER;
  *buffer = data_;
  return S_OK;
}

LONG SampleBase::GetSize() {
  return static_cast<LONG>(capacity_);
}

HRESULT SampleBase::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
  if (!start || !end) return E_POINTER;
  if (!timed_) return VFW_E_SAMPLE_TIME_NOT_SET;
  *start = start_;
  *end = end_;
  return S_OK;
}

HRESULT SampleBase::SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
  timed_ = start != nullptr;
  if (start) {
    start_ = *start;
    end_ = end ? *end : *start + 1;
  }
  return S_OK;
}

HRESULT SampleBase::IsSyncPoint() {
  return syncPoint_ ? S_OK : S_FALSE;
}

HRESULT SampleBase::SetSyncPoint(BOOL isSyncPoint) {
  syncPoint_ = isSyncPoint != FALSE;
  return S_OK;
}

LONG SampleBase::GetActualDataLength() {
  return length_;
}

HRESULT SampleBase::SetActualDataLength(LONG length) {
  if (length < 0 || static_cast<std::size_t>(length) > capacity_) return E_INVALIDARG;
  length_ = length;
  return S_OK;
}

void SampleBase::Use(BYTE* data, std::size_t capacity, std::size_t length) {
  data_ = data;
  capacity_ = capacity;
  length_ = static_cast<LONG>(length);
  timed_ = false;
  syncPoint_ = true;
}

}  // namespace korvane::graph
