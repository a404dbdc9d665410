#pragma once
// Counts the heap memory this process holds through operator new, so that a test can tell how
// much a piece of work needed at its peak. Linking AllocationMeter.cpp replaces the global
// operator new and delete of the test program.

#include <cstddef>

namespace korvane::testing {

// The most memory held at any moment since the meter was made, above what was held then.
class PeakMeter {
 public:
  PeakMeter();
  std::size_t Peak() const;

 private:
  std::size_t base_;
};

}  // namespace korvane::testing
