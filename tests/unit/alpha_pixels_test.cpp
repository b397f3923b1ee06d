// The pixel work of the alpha operations, on plain buffers.
#include <gtest/gtest.h>

#include "image/alpha.h"

namespace {
uint32_t bgra(uint32_t b, uint32_t g, uint32_t r, uint32_t a) {
  return a << 24 | r << 16 | g << 8 | b;
}
}  // namespace

TEST(AlphaPixels, PremultiplyByShiftOfEight) {
  struct Case {
    uint32_t before, after;
  } cases[] = {
      {bgra(200, 100, 50, 128), bgra(100, 50, 25, 128)},
      {bgra(255, 255, 255, 0), bgra(0, 0, 0, 0)},            // clear: black
      {bgra(12, 34, 56, 255), bgra(12, 34, 56, 255)},        // opaque: untouched
      {bgra(255, 255, 255, 254), bgra(253, 253, 253, 254)},  // 255 * 254 >> 8, not / 255
      {bgra(1, 2, 3, 1), bgra(0, 0, 0, 1)},
      {bgra(255, 128, 7, 2), bgra(1, 1, 0, 2)},
      {bgra(255, 255, 255, 128), bgra(127, 127, 127, 128)},
  };
  const size_t n = sizeof cases / sizeof cases[0];
  // Nine pixels: two groups of four for a vector path and one left to the scalar path. Every
  // case takes every position once among its neighbours, and once fills the whole buffer.
  for (size_t shift = 0; shift < n; shift++) {
    uint32_t p[9], expected[9];
    for (size_t i = 0; i < 9; i++) {
      const Case& c = cases[(i + shift) % n];
      p[i] = c.before;
      expected[i] = c.after;
    }
    pixels::premultiply(p, 9);
    for (size_t i = 0; i < 9; i++)
      EXPECT_EQ(p[i], expected[i]) << "shift " << shift << ", pixel " << i;
  }
  for (const Case& c : cases) {
    uint32_t p[9];
    for (uint32_t& q : p) q = c.before;
    pixels::premultiply(p, 9);
    for (uint32_t q : p) EXPECT_EQ(q, c.after);
  }
}

TEST(AlphaPixels, ScanStopsAtRowWidthAndSeesAnyAlpha) {
  // Two rows of two pixels, rows 12 bytes apart; the padding word carries alpha that must not
  // count.
  uint8_t rows[24] = {};
  rows[8 + 3] = 0xFF;
  rows[20 + 3] = 0xFF;
  EXPECT_FALSE(pixels::anyAlpha(rows, 2, 2, 12));
  rows[12 + 4 + 3] = 1;  // second row, second pixel
  EXPECT_TRUE(pixels::anyAlpha(rows, 2, 2, 12));
  EXPECT_FALSE(pixels::anyAlpha(rows, 2, 1, 12));
  EXPECT_FALSE(pixels::anyAlpha(rows, 0, 0, 12));
}
