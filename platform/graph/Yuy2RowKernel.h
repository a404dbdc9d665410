#pragma once
// The renderer's YUY2 conversion written once over a vector type and its operations, and
// compiled in one file per instruction set. Everything here has internal linkage on purpose:
// a file compiled for a wider instruction set must not lend its copy of a shared function to
// code that runs on any processor.
//
// Studio-range YCbCr in fixed point with six fraction bits, so that the sums fit 16-bit lanes:
// R = 1.164 (Y - 16) + 1.596 (V - 128), G = 1.164 (Y - 16) - 0.391 (U - 128) - 0.813 (V - 128),
// B = 1.164 (Y - 16) + 2.018 (U - 128). Sums beyond the 16-bit range saturate, which clamps
// them as well. Every operation works within 128-bit lanes, so a wider vector is several
// narrow ones side by side until the pixels are stored.

#include <cstddef>

#include "platform/com/ComTypes.h"

namespace {

constexpr short kLuma = 75, kRedV = 102, kGreenU = 25, kGreenV = 52, kBlueU = 129, kRound = 32;

template <class Ops>
std::size_t ConvertPairs(const BYTE* source, BYTE* target, std::size_t pairs) {
  using V = typename Ops::V;
  constexpr std::size_t kPairs = sizeof(V) / 4;
  const V lowBytes = Ops::Set16(0x00FF);
  const V black = Ops::Set16(16), middle = Ops::Set16(128);
  const V round = Ops::Set16(kRound), opaque = Ops::Set16(-1);
  std::size_t pair = 0;
  for (; pair + kPairs <= pairs; pair += kPairs) {
    const V packed = Ops::Load(source + 4 * pair);
    const V y = Ops::And(packed, lowBytes);
    const V uv = Ops::Sub16(Ops::template ShiftRight16<8>(packed), middle);  // U0 V0 U1 V1 ...
    // Each pair's U and V for both of its pixels.
    const V u = Ops::template Shuffle16<0xA0>(uv);
    const V v = Ops::template Shuffle16<0xF5>(uv);
    const V luma = Ops::Add16(Ops::MulLow16(Ops::Sub16(y, black), Ops::Set16(kLuma)), round);
    const V blue = Ops::template ShiftRightSigned16<6>(
        Ops::AddSaturated16(luma, Ops::MulLow16(u, Ops::Set16(kBlueU))));
    const V green = Ops::template ShiftRightSigned16<6>(
        Ops::SubSaturated16(Ops::SubSaturated16(luma, Ops::MulLow16(u, Ops::Set16(kGreenU))),
                            Ops::MulLow16(v, Ops::Set16(kGreenV))));
    const V red = Ops::template ShiftRightSigned16<6>(
        Ops::AddSaturated16(luma, Ops::MulLow16(v, Ops::Set16(kRedV))));
    const V blueGreen =
        Ops::InterleaveLow8(Ops::PackUnsigned(blue, blue), Ops::PackUnsigned(green, green));
    const V redAlpha = Ops::InterleaveLow8(Ops::PackUnsigned(red, red), opaque);
    Ops::StorePixels(target + 8 * pair, Ops::InterleaveLow16(blueGreen, redAlpha),
                     Ops::InterleaveHigh16(blueGreen, redAlpha));
  }
  return pair;
}

}  // namespace
