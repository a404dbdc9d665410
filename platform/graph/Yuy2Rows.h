#pragma once
// The renderer's YUY2 rows to 32-bit pixels in vectors, one instruction set per file
// (Yuy2RowsSse2.cpp, Yuy2RowsAvx2.cpp), chosen at run time by PictureConversion.cpp.

#include <cstddef>

#include "platform/com/ComTypes.h"

namespace korvane::graph {

// Converts the first pixel pairs of a row that fill whole vectors and returns how many it
// converted; the caller converts the rest one pair at a time.
#if defined(__x86_64__)
#define KORVANE_GRAPH_YUY2_X86 1
std::size_t Yuy2PairsToBgraSse2(const BYTE* source, BYTE* target, std::size_t pairs);
std::size_t Yuy2PairsToBgraAvx2(const BYTE* source, BYTE* target, std::size_t pairs);
#endif

}  // namespace korvane::graph
