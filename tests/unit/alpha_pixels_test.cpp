// The pixel work of the alpha operations, on plain buffers.
#include <gtest/gtest.h>
#include <string.h>

#include <set>
#include <vector>

#include "image/alpha.h"
#include "image/resample.h"
#include "tests/support/runtime_fixture.h"

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

// Resampling straight-alpha pixels: properties that hold whatever the filter's exact weights.
class Resample : public RuntimeCoreTest {
 protected:
  // A w x h picture of pixels (4 bytes, rows w * 4 apart) from a small generator.
  static std::vector<uint8_t> picture(int w, int h, uint32_t seed) {
    std::vector<uint8_t> p((size_t)w * h * 4);
    for (size_t i = 0; i < p.size(); i += 4) {
      seed = seed * 1103515245 + 12345;
      p[i + 3] = (uint8_t)(seed >> 24);
      for (int c = 0; c < 3; ++c) p[i + c] = (uint8_t)((seed >> (8 * c)) % (p[i + 3] + 1u));
    }
    return p;
  }
  static std::vector<uint8_t> resampled(const std::vector<uint8_t>& src, int w, int h, int dw,
                                        int dh) {
    std::vector<uint8_t> dst((size_t)dw * dh * 4, 0xEE);
    EXPECT_TRUE(pixels::resample(src.data(), w, h, w * 4, dst.data(), dw, dh, dw * 4, 4));
    return dst;
  }
};

TEST_F(Resample, SameSizeExactFlatStaysFlatAndAStepBecomesASlope) {
  std::vector<uint8_t> src = picture(9, 7, 1);
  EXPECT_EQ(resampled(src, 9, 7, 9, 7), src);
  std::vector<uint8_t> flat(10 * 10 * 4);
  for (size_t i = 0; i < flat.size(); i += 4) memcpy(&flat[i], "\x28\x50\x78\xC8", 4);
  for (int side : {15, 20, 5, 3})
    for (size_t i = 0; i < (size_t)side * side * 4; i += 4)
      ASSERT_EQ(memcmp(&resampled(flat, 10, 10, side, side)[i], "\x28\x50\x78\xC8", 4), 0) << side;
  // Enlarged, a step between two pixels becomes a slope in each direction, not two blocks.
  std::vector<uint8_t> step = {0, 0, 0, 255, 255, 255, 255, 255};
  for (bool across : {true, false}) {
    std::vector<uint8_t> out =
        resampled(step, across ? 2 : 1, across ? 1 : 2, across ? 8 : 1, across ? 1 : 8);
    std::set<uint8_t> greys;
    for (size_t i = 0; i < out.size(); i += 4) greys.insert(out[i]);
    EXPECT_GE(greys.size(), 5u) << (across ? "across" : "down");
  }
}

TEST_F(Resample, NoDarkFringeAndAHalfShrinkIsTheAlphaWeightedMeanOfFour) {
  // Opaque white beside clear black: every pixel that is partly covered is still white, at
  // 150 % and 200 %: the clear pixels' colour weighs nothing.
  std::vector<uint8_t> half(8 * 8 * 4, 0);
  for (int y = 0; y < 8; ++y) memset(&half[y * 32], 0xFF, 16);
  for (int side : {12, 16}) {
    std::vector<uint8_t> out = resampled(half, 8, 8, side, side);
    for (size_t i = 0; i < out.size(); i += 4)
      for (int c = 0; c < 3 && out[i + 3]; ++c) ASSERT_GE(out[i + c], 254) << side << " " << i;
  }
  // Alpha is the mean of the four, each colour their mean weighted by alpha.
  std::vector<uint8_t> src = picture(8, 6, 2), out = resampled(src, 8, 6, 4, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      for (int c = 0; c < 4; ++c) {
        double sum = 0, weights = 0;
        for (int k = 0; k < 4; ++k) {
          const uint8_t* p = &src[((2 * y + k / 2) * 8 + 2 * x + k % 2) * 4];
          double weight = c == 3 ? 1 : p[3];
          sum += p[c] * weight;
          weights += weight;
        }
        double mean = weights ? sum / weights : 0;
        ASSERT_NEAR(out[(y * 4 + x) * 4 + c], mean, 0.51) << x << "," << y << " channel " << c;
      }
  // Sizes that cannot be, and a pitch too short for its row, are refused before any write.
  std::vector<uint8_t> dst(16, 0xEE);
  EXPECT_FALSE(pixels::resample(src.data(), 0, 6, 32, dst.data(), 2, 2, 8, 4));
  EXPECT_FALSE(pixels::resample(src.data(), 8, 6, 31, dst.data(), 2, 2, 8, 4));
  EXPECT_FALSE(pixels::resample(src.data(), 8, 6, 32, dst.data(), 2, 2, 7, 4));
  EXPECT_EQ(dst, std::vector<uint8_t>(16, 0xEE));
}
