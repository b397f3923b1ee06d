// The pixel work of the alpha operations, on plain buffers.
#include <gtest/gtest.h>

#include "image/alpha.h"

namespace {
uint32_t bgra(uint32_t b, uint32_t g, uint32_t r, uint32_t a) { return a << 24 | r << 16 | g << 8 | b; }
}  // namespace

TEST(AlphaPixels, PremultiplyByShiftOfEight) {
  uint32_t p[] = {bgra(200, 100, 50, 128), bgra(255, 255, 255, 0), bgra(12, 34, 56, 255),
                  bgra(255, 255, 255, 254), bgra(1, 2, 3, 1)};
  pixels::premultiply(p, 5);
  EXPECT_EQ(p[0], bgra(100, 50, 25, 128));
  EXPECT_EQ(p[1], bgra(0, 0, 0, 0));           // clear: black
  EXPECT_EQ(p[2], bgra(12, 34, 56, 255));      // opaque: untouched
  EXPECT_EQ(p[3], bgra(253, 253, 253, 254));   // 255 * 254 >> 8, not / 255
  EXPECT_EQ(p[4], bgra(0, 0, 0, 1));
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
