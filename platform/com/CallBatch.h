#pragma once
// A batch of driver calls made in one go, such as the re-read of every control of a camera.
//
// A provider whose device state another process may change, and that has to ask something
// slow to learn whether it did (the simulated cameras' shared file: a stat), may ask once per
// batch instead of once per call: the first call of a batch looks, the later ones answer from
// what it found. A change made before a batch opens is therefore always seen by that batch; a
// change made while it runs is seen by the next batch or the next call outside one. Outside
// any batch every call looks afresh.
//
// A batch belongs to the thread that opened it; calls from other threads are not part of it.
// Batches nest (the outermost one counts) and should be short: opened around a run of calls
// and closed before the thread waits for anything else.

#include <cstdint>

namespace korvane::com {

class ScopedCallBatch {
 public:
  ScopedCallBatch();
  ~ScopedCallBatch();
  ScopedCallBatch(const ScopedCallBatch&) = delete;
  ScopedCallBatch& operator=(const ScopedCallBatch&) = delete;
};

// The batch the calling thread is in: 0 outside any, else a number that no other batch, of
// any thread, ever had.
std::uint64_t CurrentCallBatch();

}  // namespace korvane::com
