#include <emmintrin.h>

#include "platform/graph/Yuy2RowKernel.h"
#include "platform/graph/Yuy2Rows.h"

namespace korvane::graph {
namespace {

struct Sse2 {
  using V = __m128i;
  static V Load(const BYTE* at) { return _mm_loadu_si128(reinterpret_cast<const V*>(at)); }
  static V Set16(short value) { return _mm_set1_epi16(value); }
  static V And(V a, V b) { return _mm_and_si128(a, b); }
  static V Add16(V a, V b) { return _mm_add_epi16(a, b); }
  static V Sub16(V a, V b) { return _mm_sub_epi16(a, b); }
  static V AddSaturated16(V a, V b) { return _mm_adds_epi16(a, b); }
  static V SubSaturated16(V a, V b) { return _mm_subs_epi16(a, b); }
  static V MulLow16(V a, V b) { return _mm_mullo_epi16(a, b); }
  template <int Bits>
  static V ShiftRight16(V a) {
    return _mm_srli_epi16(a, Bits);
  }
  template <int Bits>
  static V ShiftRightSigned16(V a) {
    return _mm_srai_epi16(a, Bits);
  }
  template <int Order>
  static V Shuffle16(V a) {
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(a, Order), Order);
  }
  static V PackUnsigned(V a, V b) { return _mm_packus_epi16(a, b); }
  static V InterleaveLow8(V a, V b) { return _mm_unpacklo_epi8(a, b); }
  static V InterleaveLow16(V a, V b) { return _mm_unpacklo_epi16(a, b); }
  static V InterleaveHigh16(V a, V b) { return _mm_unpackhi_epi16(a, b); }
  static void StorePixels(BYTE* at, V first, V second) {
    _mm_storeu_si128(reinterpret_cast<V*>(at), first);
    _mm_storeu_si128(reinterpret_cast<V*>(at + 16), second);
  }
};

}  // namespace

std::size_t Yuy2PairsToBgraSse2(const BYTE* source, BYTE* target, std::size_t pairs) {
  return ConvertPairs<Sse2>(source, target, pairs);
}

}  // namespace korvane::graph
