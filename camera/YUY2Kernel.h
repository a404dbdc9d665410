#pragma once
// The vectorised YUY2 conversion, written once over a vector type and its operations, and
// compiled in one file per instruction set (YUY2ToRGB32Sse2.cpp, YUY2ToRGB32Avx2.cpp).
// Everything here has internal linkage on purpose: a file compiled for a wider instruction
// set must not lend its copy of a shared function to code that runs on any processor.
//
// The chroma values come without tables: for d = c - 128, k × d truncated toward zero is
// sign(d) × (((|d| << 3) × K) >> 16) with the constants below, as a check of every c shows;
// the tables stay the definition and the tests compare the two over every (Y, U, V) triple.
// With |d| <= 128 the factor |d| << 3 fits 16 bits, so one unsigned multiply-high gives the
// value.

#include <cstddef>
#include <cstdint>

#include "camera/YUY2ToRGB32.h"

namespace {

// One 32-bit lane holds a 4-byte group: the U value in its low 16 bits, V in its high 16.
constexpr std::int32_t Pair(std::uint16_t ForU, std::uint16_t ForV) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(ForV) << 16 | ForU);
}
constexpr std::int32_t kBlueRedFactor = Pair(14192, 11229);  // blue from U, red from V
constexpr std::int32_t kGreenFactor = Pair(2765, 5718);      // green from U, green from V

// Ops::V is the vector; Ops::kPixels the pixels of one vector of source (2 bytes each).
// Returns the B, G and R values of those pixels as 16-bit lanes, in pixel order.
template <class Ops>
inline void ChannelsOf(typename Ops::V Source, typename Ops::V& B, typename Ops::V& G,
                       typename Ops::V& R) {
  using V = typename Ops::V;
  const V Y = Ops::And(Source, Ops::Set16(0x00FF));
  // A chroma byte with its top bit flipped is d as a signed byte; its whole 16-bit lane then
  // has the sign of d, or is not negative where d is 0 (and the product is 0 there).
  const V D = Ops::Xor(Source, Ops::Set16(INT16_MIN));
  const V Magnitude = Ops::And(Ops::ShiftRight16(Ops::AbsBytes(D), 5), Ops::Set16(0x07F8));
  const V BlueRed =
      Ops::ApplySign16(Ops::MulHighUnsigned16(Magnitude, Ops::Set32(kBlueRedFactor)), D);
  const V GreenParts =
      Ops::ApplySign16(Ops::MulHighUnsigned16(Magnitude, Ops::Set32(kGreenFactor)), D);
  // Both green parts of a group added: -(green from U + green from V) in each 32-bit lane.
  const V GreenSum = Ops::MulAddPairs16(GreenParts, Ops::Set16(1));

  // Each group's value into both of its pixels' 16-bit lanes.
  const V BlueBoth = Ops::DuplicateEven16(BlueRed);
  const V RedBoth = Ops::DuplicateOdd16(BlueRed);
  const V GreenBoth = Ops::DuplicateEven16(GreenSum);

  B = Ops::Add16(Y, BlueBoth);
  G = Ops::Sub16(Y, GreenBoth);
  R = Ops::Add16(Y, RedBoth);
}

// Converts 2 × Ops::kPixels pixels from Source (which starts at an even pixel) to Destination.
template <class Ops>
inline void ConvertBlock(const BYTE* Source, DWORD* Destination) {
  using V = typename Ops::V;
  V B0, G0, R0, B1, G1, R1;
  ChannelsOf<Ops>(Ops::Load(Source), B0, G0, R0);
  ChannelsOf<Ops>(Ops::Load(Source + sizeof(V)), B1, G1, R1);
  // Packing with unsigned saturation is the clamp to 0 .. 255.
  const V B = Ops::PackUnsigned16(B0, B1);
  const V G = Ops::PackUnsigned16(G0, G1);
  const V R = Ops::PackUnsigned16(R0, R1);
  const V A = Ops::Set16(-1);
  const V BGLow = Ops::UnpackLow8(B, G);
  const V BGHigh = Ops::UnpackHigh8(B, G);
  const V RALow = Ops::UnpackLow8(R, A);
  const V RAHigh = Ops::UnpackHigh8(R, A);
  Ops::StoreInOrder(Destination, Ops::UnpackLow16(BGLow, RALow), Ops::UnpackHigh16(BGLow, RALow),
                    Ops::UnpackLow16(BGHigh, RAHigh), Ops::UnpackHigh16(BGHigh, RAHigh));
}

// The run converter of one instruction set: whole blocks by vector, the odd first pixel and
// the rest by the tables.
template <class Ops>
inline void ConvertRunWith(const BYTE* Source, std::size_t First, std::size_t Count,
                           DWORD* Destination) {
  using korvane::camera::ConvertYUY2RunByTables;
  constexpr std::size_t kBlock = 2 * Ops::kPixels;
  std::size_t Done = 0;
  if ((First & 1) != 0 && Count > 0) {
    ConvertYUY2RunByTables(Source, First, 1, Destination);
    Done = 1;
  }
  for (; Count - Done >= kBlock; Done += kBlock)
    ConvertBlock<Ops>(Source + 2 * (First + Done), Destination + Done);
  if (Done < Count) ConvertYUY2RunByTables(Source, First + Done, Count - Done, Destination + Done);
}

}  // namespace
