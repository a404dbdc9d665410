#pragma once
// What every media sample of this platform answers the same way, whoever owns its bytes (a pool's
// buffer, a view of another sample, a driver's buffer): the pointer and size, the stream times,
// the sync point and the length in use. A sample class adds its counting and where its bytes go
// when it is released.

#include <cstddef>

#include "platform/DirectShow9.h"

namespace korvane::graph {

class SampleBase : public IMediaSample {
 public:
  HRESULT GetPointer(BYTE** buffer) override;
  LONG GetSize() override;
  HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
  HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
  HRESULT IsSyncPoint() override;
  HRESULT SetSyncPoint(BOOL isSyncPoint) override;
  LONG GetActualDataLength() override;
  HRESULT SetActualDataLength(LONG length) override;

 protected:
  SampleBase() = default;
  ~SampleBase() = default;
  // Readies the sample for a new use over capacity bytes at data, length of them in use, with
  // no times and as a sync point.
  void Use(BYTE* data, std::size_t capacity, std::size_t length);

  BYTE* data_ = nullptr;
  std::size_t capacity_ = 0;
  LONG length_ = 0;

 private:
  bool timed_ = false;
  REFERENCE_TIME start_ = 0, end_ = 0;
  bool syncPoint_ = true;
};

}  // namespace korvane::graph
