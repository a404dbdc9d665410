#include <immintrin.h>

#include "platform/graph/Yuy2RowKernel.h"
#include "platform/graph/Yuy2Rows.h"

namespace korvane::graph {
namespace {

struct Avx2 {
  using V = __m256i;
  static V Load(const BYTE* at) { return _mm256_loadu_si256(reinterpret_cast<const V*>(at)); }
  static V Set16(short value) { return _mm256_set1_epi16(value); }
  static V And(V a, V b) { return _mm256_and_si256(a, b); }
  static V Add16(V a, V b) { return _mm256_add_epi16(a, b); }
  static V Sub16(V a, V b) { return _mm256_sub_epi16(a, b); }
  static V AddSaturated16(V a, V b) { return _mm256_adds_epi16(a, b); }
  static V SubSaturated16(V a, V b) { return _mm256_subs_epi16(a, b); }
  static V MulLow16(V a, V b) { return _mm256_mullo_epi16(a, b); }
  template <int Bits>
  static V ShiftRight16(V a) {
    return _mm256_srli_epi16(a, Bits);
  }
  template <int Bits>
  static V ShiftRightSigned16(V a) {
    return _mm256_srai_epi16(a, Bits);
  }
  template <int Order>
  static V Shuffle16(V a) {
    return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(a, Order), Order);
  }
  static V PackUnsigned(V a, V b) { return _mm256_packus_epi16(a, b); }
  static V InterleaveLow8(V a, V b) { return _mm256_unpacklo_epi8(a, b); }
  static V InterleaveLow16(V a, V b) { return _mm256_unpacklo_epi16(a, b); }
  static V InterleaveHigh16(V a, V b) { return _mm256_unpackhi_epi16(a, b); }
  // Each 128-bit lane holds its own eight pixels, the first four in `first` and the last four
  // in `second`; they are stored lane after lane.
  static void StorePixels(BYTE* at, V first, V second) {
    _mm256_storeu_si256(reinterpret_cast<V*>(at), _mm256_permute2x128_si256(first, second, 0x20));
    _mm256_storeu_si256(reinterpret_cast<V*>(at + 32),
                        _mm256_permute2x128_si256(first, second, 0x31));
  }
};

}  // namespace

std::size_t Yuy2PairsToBgraAvx2(const BYTE* source, BYTE* target, std::size_t pairs) {
  return ConvertPairs<Avx2>(source, target, pairs);
}

}  // namespace korvane::graph
