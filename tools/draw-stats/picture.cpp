// draw-stats: the histogram picture, drawn as bars into an RGB buffer and written with libpng.
#include "tools/draw-stats/picture.h"

#include <math.h>
#include <stdio.h>

#include <vector>

#include "tools/common/png_encode.h"

namespace drawstats {

namespace {

constexpr int kWidth = 960;
constexpr int kHeight = 440;
constexpr int kTopBase = 200;     // baseline of the count bars
constexpr int kTopHeight = 180;   // height of 1.25 x the expected count
constexpr int kZeroLine = 320;    // the expected count in the lower band
constexpr int kPixelsPerSigma = 20;
constexpr int kLabelY = 412;

struct Rgb { uint8_t r, g, b; };
constexpr Rgb kBackground = {255, 255, 255};
constexpr Rgb kBall = {52, 101, 164};
constexpr Rgb kStar = {204, 153, 0};
constexpr Rgb kExpected = {204, 0, 0};
constexpr Rgb kGuide = {170, 170, 170};
constexpr Rgb kInk = {40, 40, 40};

struct Canvas {
  std::vector<uint8_t> rgb = std::vector<uint8_t>((size_t)kWidth * kHeight * 3, 255);
  void fill(int x0, int y0, int x1, int y1, Rgb c) {  // [x0, x1) x [y0, y1), clipped
    if (x0 > x1) { int t = x0; x0 = x1; x1 = t; }
    if (y0 > y1) { int t = y0; y0 = y1; y1 = t; }
    for (int y = y0 < 0 ? 0 : y0; y < y1 && y < kHeight; ++y)
      for (int x = x0 < 0 ? 0 : x0; x < x1 && x < kWidth; ++x) {
        uint8_t* p = &rgb[((size_t)y * kWidth + x) * 3];
        p[0] = c.r; p[1] = c.g; p[2] = c.b;
      }
  }
  // Decimal number in a 3 x 5 pixel font at twice its size, centred on x.
  void number(int x, int y, int value) {
    static const uint16_t glyphs[10] = {0x7B6F, 0x2C97, 0x73E7, 0x73CF, 0x5BC9,
                                        0x79CF, 0x79EF, 0x7249, 0x7BEF, 0x7BCF};
    char digits[12];
    int n = snprintf(digits, sizeof digits, "%d", value);
    int left = x - (n * 8 - 2) / 2;
    for (int i = 0; i < n; ++i)
      for (int bit = 0; bit < 15; ++bit)
        if (glyphs[digits[i] - '0'] & (0x4000 >> bit))
          fill(left + i * 8 + bit % 3 * 2, y + bit / 3 * 2, left + i * 8 + bit % 3 * 2 + 2,
               y + bit / 3 * 2 + 2, kInk);
  }
};

// One group of values (balls or stars) in the columns starting at x0.
void draw_group(Canvas& canvas, int x0, int barWidth, const uint64_t* counts, int values,
                int drawn, uint64_t draws, Rgb colour, int labelStep) {
  double p = (double)drawn / values;
  double expected = (double)draws * p;
  double sigma = sqrt((double)draws * p * (1 - p));
  int x1 = x0 + values * barWidth;
  for (int v = 0; v < values; ++v) {
    int left = x0 + v * barWidth + 1, right = left + barWidth - 2;
    double height = expected > 0 ? counts[v] / (1.25 * expected) * kTopHeight : 0;
    canvas.fill(left, kTopBase - (int)lround(height > kTopHeight + 10 ? kTopHeight + 10 : height),
                right, kTopBase, colour);
    double z = sigma > 0 ? (counts[v] - expected) / sigma : 0;
    if (z > 5) z = 5;
    if (z < -5) z = -5;
    canvas.fill(left, kZeroLine, right, kZeroLine - (int)lround(z * kPixelsPerSigma), colour);
    if (v % labelStep == 0 || v == values - 1) canvas.number(left + (barWidth - 2) / 2, kLabelY, v);
  }
  int expectedY = kTopBase - (int)lround(kTopHeight / 1.25);
  canvas.fill(x0 - 4, expectedY, x1 + 4, expectedY + 2, kExpected);
  canvas.fill(x0 - 4, kTopBase, x1 + 4, kTopBase + 1, kInk);
  for (int sign = -1; sign <= 1; sign += 2) {
    int y = kZeroLine - sign * 2 * kPixelsPerSigma;
    for (int x = x0 - 4; x < x1 + 4; x += 6) canvas.fill(x, y, x + 3, y + 1, kGuide);
  }
  canvas.fill(x0 - 4, kZeroLine, x1 + 4, kZeroLine + 1, kExpected);
}

}  // namespace

bool write_picture(const char* path, const Analysis& analysis, uint64_t draws) {
  Canvas canvas;
  canvas.fill(0, 0, kWidth, kHeight, kBackground);
  draw_group(canvas, 40, 12, analysis.ballCount, kBallValues, kBallsDrawn, draws, kBall, 5);
  draw_group(canvas, 700, 20, analysis.starCount, kStarValues, kStarsDrawn, draws, kStar, 1);
  Bytes png = pngenc::encodePixels(kWidth, kHeight, false, canvas.rgb.data());
  return !png.empty() && pngenc::writeFile(path, png);
}

}  // namespace drawstats
