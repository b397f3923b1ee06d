// PNG decoding through the loader: layouts, depths and the worked examples, with pictures
// written by libpng's writer from samples chosen here.
#include <gtest/gtest.h>
#include <png.h>
#include <string.h>
#include <zlib.h>

#include "image/decoder.h"
#include "image/record.h"
#include "tests/support/image_fixture.h"

using testpics::encodePng;
using testpics::PngSpec;

namespace {
class PngTest : public ImageLibraryTest {
 protected:
  BitmapView load(const Bytes& file, int depth, int sourceDepth) {
    EXPECT_NE(Image_LoadMemory(3, file.data(), (uint32_t)file.size()), 0);
    const ImageRecord* record = Image_Record(3);
    EXPECT_NE(record, nullptr);
    if (record) {
      EXPECT_EQ(record->format, FORMAT_PNG);
      EXPECT_EQ(record->depth, depth);
      EXPECT_EQ(record->sourceDepth, sourceDepth);
    }
    return viewOf(3);
  }
  void expectRefused(const Bytes& file) {
    ASSERT_NE(Image_LoadMemory(3, lastGood_.data(), (uint32_t)lastGood_.size()), 0);
    EXPECT_EQ(Image_LoadMemory(3, file.data(), (uint32_t)file.size()), 0);
    EXPECT_EQ(Image_Handle(3), 0);
    EXPECT_EQ(Image_Width(3), 0);
    EXPECT_EQ(Image_Height(3), 0);
  }
  Bytes lastGood_ = rgb3x2();

 public:
  static Bytes rgb3x2() {
    PngSpec s;
    s.width = 3;
    s.height = 2;
    s.rows = {{255, 0, 0, 0, 255, 0, 0, 0, 255}, {10, 20, 30, 40, 50, 60, 70, 80, 90}};
    return encodePng(s);
  }
};

// Deterministic sample bytes for the larger pictures.
Bytes noise(size_t n, uint32_t seed) {
  Bytes out(n);
  for (size_t i = 0; i < n; i++) {
    seed = seed * 1103515245u + 12345u;
    out[i] = (uint8_t)(seed >> 16);
  }
  return out;
}
}  // namespace

TEST_F(PngTest, RgbRowsAreBottomUpBlueGreenRed) {
  BitmapView v = load(rgb3x2(), 24, 24);
  ASSERT_EQ(v.width, 3);
  ASSERT_EQ(v.rows, 2);
  ASSERT_TRUE(v.bottomUp);
  // The last memory row holds the picture's top row, as blue, green, red bytes.
  const uint8_t* last = v.bits + (size_t)v.pitch;
  EXPECT_EQ(Bytes(last, last + 9), Bytes({0, 0, 255, 0, 255, 0, 255, 0, 0}));
  EXPECT_EQ(Bytes(v.bits, v.bits + 9), Bytes({30, 20, 10, 60, 50, 40, 90, 80, 70}));
}

TEST_F(PngTest, InterlacedMatchesItsNonInterlacedTwin) {
  PngSpec s;
  s.width = 13;
  s.height = 11;
  s.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
  for (int y = 0; y < s.height; y++) s.rows.push_back(noise(4 * s.width, y + 1));
  BitmapView plain = load(encodePng(s), 32, 32);
  std::vector<uint32_t> expected;
  for (int y = 0; y < 11; y++)
    for (int x = 0; x < 13; x++) expected.push_back(pixelAt(plain, x, y));
  const Bytes& top = s.rows[0];
  EXPECT_EQ(expected[0], (uint32_t)top[3] << 24 | top[0] << 16 | top[1] << 8 | top[2]);
  s.interlace = true;
  BitmapView twin = load(encodePng(s), 32, 32);
  for (int y = 0; y < 11; y++)
    for (int x = 0; x < 13; x++)
      ASSERT_EQ(pixelAt(twin, x, y), expected[y * 13 + x]) << x << "," << y;
}

TEST_F(PngTest, PaletteWithTrnsCarriesEachEntrysAlpha) {
  PngSpec s;
  s.width = 4;
  s.height = 1;
  s.colourType = PNG_COLOR_TYPE_PALETTE;
  s.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 8, 7};
  s.paletteAlpha = {0, 128};  // entries 2 and 3 lie beyond the list: opaque
  s.rows = {{0, 1, 2, 3}};
  BitmapView v = load(encodePng(s), 32, 32);
  EXPECT_EQ(pixelAt(v, 0, 0), 0x00FF0000u);
  EXPECT_EQ(pixelAt(v, 1, 0), 0x8000FF00u);
  EXPECT_EQ(pixelAt(v, 2, 0), 0xFF0000FFu);
  EXPECT_EQ(pixelAt(v, 3, 0), 0xFF090807u);
}

TEST_F(PngTest, SixteenBitGreyKeepsTheHighByte) {
  PngSpec s;
  s.width = 2;
  s.height = 1;
  s.colourType = PNG_COLOR_TYPE_GRAY;
  s.bitDepth = 16;
  s.rows = {{0x12, 0xFF, 0xAB, 0x01}};
  BitmapView v = load(encodePng(s), 24, 16);
  EXPECT_EQ(pixelAt(v, 0, 0), 0x121212u);
  EXPECT_EQ(pixelAt(v, 1, 0), 0xABABABu);
}

TEST_F(PngTest, OneBitGreyIsBlackAndWhite) {
  PngSpec s;
  s.width = 9;
  s.height = 1;
  s.colourType = PNG_COLOR_TYPE_GRAY;
  s.bitDepth = 1;
  s.rows = {{0xB1, 0x80}};  // 1011 0001 1
  BitmapView v = load(encodePng(s), 24, 1);
  const int expected[9] = {1, 0, 1, 1, 0, 0, 0, 1, 1};
  for (int x = 0; x < 9; x++) EXPECT_EQ(pixelAt(v, x, 0), expected[x] ? 0xFFFFFFu : 0u) << x;
}

TEST_F(PngTest, RgbWithTrnsMakesExactlyThatColourClear) {
  PngSpec s;
  s.width = 3;
  s.height = 1;
  s.hasTransparentColour = true;
  s.transparentRed = 10;
  s.transparentGreen = 20;
  s.transparentBlue = 30;
  s.rows = {{10, 20, 30, 10, 20, 31, 0, 0, 0}};
  BitmapView v = load(encodePng(s), 32, 32);
  EXPECT_EQ(pixelAt(v, 0, 0), 0x000A141Eu);
  EXPECT_EQ(pixelAt(v, 1, 0), 0xFF0A141Fu);
  EXPECT_EQ(pixelAt(v, 2, 0), 0xFF000000u);
}

TEST_F(PngTest, DepthsByColourType) {
  struct Case {
    int colourType, bitDepth;
    bool trns;
    int depth, sourceDepth;
  } cases[] = {
      {PNG_COLOR_TYPE_GRAY, 2, false, 24, 2},         {PNG_COLOR_TYPE_GRAY, 2, true, 32, 8},
      {PNG_COLOR_TYPE_GRAY, 16, true, 32, 16},        {PNG_COLOR_TYPE_RGB, 16, false, 24, 24},
      {PNG_COLOR_TYPE_PALETTE, 4, false, 24, 4},      {PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, 32, 8},
      {PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, 32, 16}, {PNG_COLOR_TYPE_RGB_ALPHA, 16, false, 32, 32},
  };
  for (const Case& c : cases) {
    PngSpec s;
    s.width = 2;
    s.height = 2;
    s.colourType = c.colourType;
    s.bitDepth = c.bitDepth;
    int channels = c.colourType == PNG_COLOR_TYPE_RGB          ? 3
                   : c.colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                   : c.colourType == PNG_COLOR_TYPE_RGB_ALPHA  ? 4
                                                               : 1;
    size_t rowBytes = ((size_t)s.width * channels * c.bitDepth + 7) / 8;
    if (c.colourType == PNG_COLOR_TYPE_PALETTE) s.palette = {1, 2, 3};
    s.hasTransparentColour = c.trns;
    s.rows = {Bytes(rowBytes, 0), Bytes(rowBytes, 0)};
    SCOPED_TRACE(testing::Message() << "colour type " << c.colourType << " depth " << c.bitDepth);
    BitmapView v = load(encodePng(s), c.depth, c.sourceDepth);
    EXPECT_EQ(v.bitCount, c.depth);
    if (c.trns) {
      EXPECT_EQ(pixelAt(v, 0, 0), 0u);  // grey 0 is the transparent colour
    }
  }
}

TEST_F(PngTest, BrokenFilesFailAndEmptyTheNumber) {
  Bytes good = rgb3x2();
  expectRefused(Bytes(good.begin(), good.begin() + 8));  // the signature alone
  expectRefused(Bytes());
  // Cut anywhere up to the last byte of the image data (the CRC of the IDAT chunk included).
  for (size_t cut : {good.size() - 13, good.size() - 16, good.size() / 2, (size_t)33, (size_t)20})
    expectRefused(Bytes(good.begin(), good.begin() + cut));
  // The end chunk is never read: without it the rows are complete and the picture loads.
  Bytes noEnd(good.begin(), good.end() - 12);
  EXPECT_NE(Image_LoadMemory(3, noEnd.data(), (uint32_t)noEnd.size()), 0);

  // Image data that is no zlib stream: find the IDAT chunk and spoil its first bytes.
  Bytes spoiled = good;
  for (size_t i = 8; i + 8 < spoiled.size(); i++) {
    if (memcmp(&spoiled[i], "IDAT", 4) == 0) {
      spoiled[i + 4] = 0xFF;
      spoiled[i + 5] = 0xFF;
      // Keep the CRC right so that only the zlib stream is at fault.
      uint32_t length = (uint32_t)spoiled[i - 4] << 24 | spoiled[i - 3] << 16 |
                        spoiled[i - 2] << 8 | spoiled[i - 1];
      uint32_t crc = (uint32_t)crc32(0, &spoiled[i], length + 4);
      size_t at = i + 4 + length;
      spoiled[at] = (uint8_t)(crc >> 24);
      spoiled[at + 1] = (uint8_t)(crc >> 16);
      spoiled[at + 2] = (uint8_t)(crc >> 8);
      spoiled[at + 3] = (uint8_t)crc;
      break;
    }
  }
  expectRefused(spoiled);
}

TEST_F(PngTest, ProbeReportsSizeAndCloseIsOnce) {
  Bytes good = rgb3x2();
  ASSERT_EQ(ImageDecoder_Find(good.data(), (uint32_t)good.size()), FORMAT_PNG);
  EXPECT_EQ(ImageDecoder_Context()->width, 3);
  EXPECT_EQ(ImageDecoder_Context()->height, 2);
  EXPECT_EQ(ImageDecoder_Context()->frameCount, 1);
  ImageDecoder_Close();
  ImageDecoder_Close();  // a second close finds nothing to destroy
}
