// The pixel work behind the alpha operations, over plain 32-bit pixel buffers.
// Platform-free.
#include "image/alpha.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {
// One pixel: colours times alpha shifted down by 8; opaque pixels stay.
void premultiplyScalar(uint32_t* pixels, size_t count) {
  for (size_t i = 0; i < count; i++) {
    uint32_t p = pixels[i];
    uint32_t a = p >> 24;
    if (a == 255) continue;
    // A shift by 8 (a division by 256, not 255): cheap, and at most one step darker.
    uint32_t b = ((p & 0xFF) * a) >> 8;
    uint32_t g = (((p >> 8) & 0xFF) * a) >> 8;
    uint32_t r = (((p >> 16) & 0xFF) * a) >> 8;
    pixels[i] = a << 24 | r << 16 | g << 8 | b;
  }
}
}  // namespace

void pixels::premultiply(uint32_t* pixels, size_t count) {
  size_t done = 0;
#ifdef __SSE2__
  // Four pixels at a time, with exactly the scalar arithmetic: each colour byte widened to 16
  // bits, times its pixel's alpha (at most 255 x 255, so the 16-bit product is exact), shifted
  // down by 8. Runs of opaque pixels are left alone and runs of clear ones become 0, which
  // is what the arithmetic gives them; pictures are mostly made of both.
  const __m128i zero = _mm_setzero_si128();
  const __m128i alphaMask = _mm_set1_epi32((int)0xFF000000u);
  for (; done + 4 <= count; done += 4) {
    __m128i* at = (__m128i*)(pixels + done);
    __m128i p = _mm_loadu_si128(at);
    __m128i alpha = _mm_and_si128(p, alphaMask);
    __m128i opaque = _mm_cmpeq_epi32(alpha, alphaMask);
    if (_mm_movemask_epi8(opaque) == 0xFFFF) continue;
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(alpha, zero)) == 0xFFFF) {
      _mm_storeu_si128(at, zero);
      continue;
    }
    __m128i lo = _mm_unpacklo_epi8(p, zero);
    __m128i hi = _mm_unpackhi_epi8(p, zero);
    __m128i alphaLo = _mm_shufflehi_epi16(_mm_shufflelo_epi16(lo, 0xFF), 0xFF);
    __m128i alphaHi = _mm_shufflehi_epi16(_mm_shufflelo_epi16(hi, 0xFF), 0xFF);
    lo = _mm_srli_epi16(_mm_mullo_epi16(lo, alphaLo), 8);
    hi = _mm_srli_epi16(_mm_mullo_epi16(hi, alphaHi), 8);
    __m128i q = _mm_or_si128(_mm_andnot_si128(alphaMask, _mm_packus_epi16(lo, hi)), alpha);
    _mm_storeu_si128(at, _mm_or_si128(_mm_and_si128(opaque, p), _mm_andnot_si128(opaque, q)));
  }
#endif
  premultiplyScalar(pixels + done, count - done);
}

bool pixels::anyAlpha(const uint8_t* rows, int32_t width, int32_t height, int32_t pitch) {
  for (int32_t y = 0; y < height; y++) {
    const uint8_t* row = rows + (size_t)y * (size_t)pitch;
    for (int32_t x = 0; x < width; x++)
      if (row[4 * x + 3]) return true;
  }
  return false;
}
