// The vectorised YUY2 conversion with AVX2. This file alone is compiled for AVX2, and its
// path is chosen only on a processor that has it.

#include <immintrin.h>

#include "camera/YUY2Kernel.h"

namespace {

struct Avx2 {
  using V = __m256i;
  static constexpr std::size_t kPixels = sizeof(V) / 2;

  static V Load(const BYTE* P) { return _mm256_loadu_si256(reinterpret_cast<const V*>(P)); }
  static V Set16(std::int16_t X) { return _mm256_set1_epi16(X); }
  static V Set32(std::int32_t X) { return _mm256_set1_epi32(X); }
  static V And(V A, V B) { return _mm256_and_si256(A, B); }
  static V Add16(V A, V B) { return _mm256_add_epi16(A, B); }
  static V Sub16(V A, V B) { return _mm256_sub_epi16(A, B); }
  static V ShiftRight16(V A, int N) { return _mm256_srli_epi16(A, N); }
  static V Xor(V A, V B) { return _mm256_xor_si256(A, B); }
  static V AbsBytes(V A) { return _mm256_abs_epi8(A); }
  static V ApplySign16(V T, V D) { return _mm256_sign_epi16(T, D); }  // T is 0 where D is
  // The byte shuffle indexes within each 128-bit half.
  static V DuplicateEven16(V A) {
    return _mm256_shuffle_epi8(A, _mm256_set_epi64x(0x0D0C0D0C09080908, 0x0504050401000100,
                                                    0x0D0C0D0C09080908, 0x0504050401000100));
  }
  static V DuplicateOdd16(V A) {
    return _mm256_shuffle_epi8(A, _mm256_set_epi64x(0x0F0E0F0E0B0A0B0A, 0x0706070603020302,
                                                    0x0F0E0F0E0B0A0B0A, 0x0706070603020302));
  }
  static V MulHighUnsigned16(V A, V B) { return _mm256_mulhi_epu16(A, B); }
  static V MulAddPairs16(V A, V B) { return _mm256_madd_epi16(A, B); }
  static V PackUnsigned16(V A, V B) { return _mm256_packus_epi16(A, B); }
  static V UnpackLow8(V A, V B) { return _mm256_unpacklo_epi8(A, B); }
  static V UnpackHigh8(V A, V B) { return _mm256_unpackhi_epi8(A, B); }
  static V UnpackLow16(V A, V B) { return _mm256_unpacklo_epi16(A, B); }
  static V UnpackHigh16(V A, V B) { return _mm256_unpackhi_epi16(A, B); }
  // Packing and unpacking work within each 128-bit half, so A holds pixels 0-3 and 8-11,
  // B 4-7 and 12-15, C 16-19 and 24-27, D 20-23 and 28-31.
  static void StoreInOrder(DWORD* P, V A, V B, V C, V D) {
    auto* Out = reinterpret_cast<V*>(P);
    _mm256_storeu_si256(Out, _mm256_permute2x128_si256(A, B, 0x20));
    _mm256_storeu_si256(Out + 1, _mm256_permute2x128_si256(A, B, 0x31));
    _mm256_storeu_si256(Out + 2, _mm256_permute2x128_si256(C, D, 0x20));
    _mm256_storeu_si256(Out + 3, _mm256_permute2x128_si256(C, D, 0x31));
  }
};

}  // namespace

void korvane::camera::ConvertYUY2RunAvx2(const BYTE* Source, std::size_t First, std::size_t Count,
                                         DWORD* Destination) {
  ConvertRunWith<Avx2>(Source, First, Count, Destination);
}
