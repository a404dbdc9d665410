// The vectorised YUY2 conversion with SSE2, which every x86-64 processor has.

#include <emmintrin.h>

#include "camera/YUY2Kernel.h"

namespace {

struct Sse2 {
  using V = __m128i;
  static constexpr std::size_t kPixels = sizeof(V) / 2;

  static V Load(const BYTE* P) { return _mm_loadu_si128(reinterpret_cast<const V*>(P)); }
  static V Set16(std::int16_t X) { return _mm_set1_epi16(X); }
  static V Set32(std::int32_t X) { return _mm_set1_epi32(X); }
  static V And(V A, V B) { return _mm_and_si128(A, B); }
  static V Add16(V A, V B) { return _mm_add_epi16(A, B); }
  static V Sub16(V A, V B) { return _mm_sub_epi16(A, B); }
  static V ShiftRight16(V A, int N) { return _mm_srli_epi16(A, N); }
  static V Xor(V A, V B) { return _mm_xor_si128(A, B); }
  // Signed bytes to their magnitudes: the smaller of x and -x as unsigned bytes.
  static V AbsBytes(V A) { return _mm_min_epu8(A, _mm_sub_epi8(_mm_setzero_si128(), A)); }
  // sign(D) × T for T >= 0, as (T ^ m) - m with m all ones where D < 0.
  static V ApplySign16(V T, V D) {
    const V Negative = _mm_srai_epi16(D, 15);
    return _mm_sub_epi16(_mm_xor_si128(T, Negative), Negative);
  }
  static V DuplicateEven16(V A) {
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(A, 0xA0), 0xA0);  // lanes 0 0 2 2
  }
  static V DuplicateOdd16(V A) {
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(A, 0xF5), 0xF5);  // lanes 1 1 3 3
  }
  static V MulHighUnsigned16(V A, V B) { return _mm_mulhi_epu16(A, B); }
  static V MulAddPairs16(V A, V B) { return _mm_madd_epi16(A, B); }
  static V PackUnsigned16(V A, V B) { return _mm_packus_epi16(A, B); }
  static V UnpackLow8(V A, V B) { return _mm_unpacklo_epi8(A, B); }
  static V UnpackHigh8(V A, V B) { return _mm_unpackhi_epi8(A, B); }
  static V UnpackLow16(V A, V B) { return _mm_unpacklo_epi16(A, B); }
  static V UnpackHigh16(V A, V B) { return _mm_unpackhi_epi16(A, B); }
  static void StoreInOrder(DWORD* P, V A, V B, V C, V D) {
    auto* Out = reinterpret_cast<V*>(P);
    _mm_storeu_si128(Out, A);
    _mm_storeu_si128(Out + 1, B);
    _mm_storeu_si128(Out + 2, C);
    _mm_storeu_si128(Out + 3, D);
  }
};

}  // namespace

void korvane::camera::ConvertYUY2RunSse2(const BYTE* Source, std::size_t First, std::size_t Count,
                                         DWORD* Destination) {
  ConvertRunWith<Sse2>(Source, First, Count, Destination);
}
