#include "base/Bytes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace rssvane {

size_t CopyUpToNul(char* to, const char* from, size_t n) noexcept {
  size_t i = 0;
#if defined(__SSE2__)
  // 64 bytes a step: their smallest byte is zero only if one of them is.
  const __m128i zero = _mm_setzero_si128();
  for (; n - i >= 64; i += 64) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 16));
    __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 32));
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 48));
    __m128i least = _mm_min_epu8(_mm_min_epu8(a, b), _mm_min_epu8(c, d));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(least, zero)) != 0) break;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), a);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 16), b);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 32), c);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 48), d);
  }
#endif
  const void* nul = std::memchr(from + i, 0, n - i);
  size_t end = nul ? static_cast<size_t>(static_cast<const char*>(nul) - from) : n;
  std::memcpy(to + i, from + i, end - i);
  return end;
}

}  // namespace rssvane
