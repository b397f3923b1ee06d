// BMP decoding: every row of the conversion table, the worked examples, and files that lie
// about their sizes (run under ASan natively: a read or write outside a buffer fails there).
#include <gtest/gtest.h>

#include "image/decoder.h"
#include "image/record.h"
#include "tests/support/image_fixture.h"

using testpics::BmpSpec;
using testpics::encodeBmp;
using testpics::padRows;

namespace {
const uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

class BmpTest : public ImageLibraryTest {
 protected:
  // Loads the file as image 1 and returns its bitmap; checks the depths the record reports.
  BitmapView load(const Bytes& file, int sourceDepth) {
    EXPECT_NE(Image_LoadMemory(1, file.data(), (uint32_t)file.size()), 0);
    const ImageRecord* record = Image_Record(1);
    EXPECT_NE(record, nullptr);
    if (record) {
      EXPECT_EQ(record->format, FORMAT_BMP);
      EXPECT_EQ(record->depth, 24);
      EXPECT_EQ(record->sourceDepth, sourceDepth);
    }
    return viewOf(1);
  }
};

Bytes bgr(uint32_t rgb) { return {(uint8_t)rgb, (uint8_t)(rgb >> 8), (uint8_t)(rgb >> 16)}; }
Bytes join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Decodes straight into an exactly sized top-down or bottom-up buffer, so that ASan sees any
// write past the picture.
std::vector<uint8_t> decodeInto(const Bytes& file, int32_t width, int32_t rows, uint32_t flags,
                                int32_t* pitch) {
  *pitch = Bitmap_RowBytes(width, 24);
  std::vector<uint8_t> out((size_t)*pitch * rows, 0);
  Bmp_DecodePixels(file.data(), (uint32_t)file.size(), out.data(), *pitch, flags);
  return out;
}

bool allBlack(const BitmapView& view) {
  for (int y = 0; y < view.rows; y++)
    for (int x = 0; x < view.width; x++)
      if (pixelAt(view, x, y) != 0) return false;
  return true;
}
}  // namespace

TEST_F(BmpTest, TwentyFourBitRowsStandUpright) {
  BmpSpec s;
  s.width = 2;
  s.height = 2;
  s.pixels = padRows({join({bgr(kBlue), bgr(kGreen)}), join({bgr(kRed), bgr(kWhite)})});
  BitmapView v = load(encodeBmp(s), 24);
  ASSERT_EQ(v.width, 2);
  ASSERT_EQ(v.rows, 2);
  EXPECT_TRUE(v.bottomUp);
  EXPECT_EQ(pixelAt(v, 0, 0), kRed);
  EXPECT_EQ(pixelAt(v, 1, 0), kWhite);
  EXPECT_EQ(pixelAt(v, 0, 1), kBlue);
  EXPECT_EQ(pixelAt(v, 1, 1), kGreen);
}

TEST_F(BmpTest, WithoutBottomUpFlagTheFirstStoredRowGoesLast) {
  BmpSpec s;
  s.width = 1;
  s.height = 2;
  s.pixels = padRows({bgr(kBlue), bgr(kRed)});
  int32_t pitch;
  std::vector<uint8_t> topDown = decodeInto(encodeBmp(s), 1, 2, 0, &pitch);
  EXPECT_EQ(topDown[0], 0);  // top memory row: red (the second stored row)
  EXPECT_EQ(topDown[2], 0xFF);
  EXPECT_EQ(topDown[pitch], 0xFF);  // bottom memory row: blue
  std::vector<uint8_t> bottomUp = decodeInto(encodeBmp(s), 1, 2, DECODE_BOTTOM_UP, &pitch);
  EXPECT_EQ(bottomUp[0], 0xFF);
  EXPECT_EQ(bottomUp[pitch + 2], 0xFF);
}

TEST_F(BmpTest, OneBitIsBlackAndWhiteWhateverTheTable) {
  BmpSpec s;
  s.width = 10;
  s.height = 1;
  s.bitCount = 1;
  s.colourTable = {kRed, 0xFFFF00};
  s.pixels = padRows({{0xA5, 0x40}});  // 1010 0101 01
  BitmapView v = load(encodeBmp(s), 1);
  const int expected[10] = {1, 0, 1, 0, 0, 1, 0, 1, 0, 1};
  for (int x = 0; x < 10; x++) EXPECT_EQ(pixelAt(v, x, 0), expected[x] ? kWhite : 0u) << x;
}

TEST_F(BmpTest, FourBitWritesExactlyTheWidth) {
  BmpSpec s;
  s.width = 3;
  s.height = 2;
  s.bitCount = 4;
  s.colourTable = {0, kRed, kGreen, kBlue};
  // Stored rows of 4 bytes: 2 bytes of pixels (the last nibble unused) and 2 of padding.
  s.pixels = {0x12, 0x3F, 0xFF, 0xFF, 0x32, 0x1F, 0xFF, 0xFF};
  ASSERT_EQ(s.pixels.size(), 8u);
  int32_t pitch;
  Bytes file = encodeBmp(s);
  std::vector<uint8_t> out((size_t)Bitmap_RowBytes(3, 24) * 2, 0xEE);
  pitch = Bitmap_RowBytes(3, 24);
  Bmp_DecodePixels(file.data(), (uint32_t)file.size(), out.data(), pitch, DECODE_BOTTOM_UP);
  // Row 0 (stored first): red, green, blue; the three bytes after the 9 written stay as they were.
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 9), join({bgr(kRed), bgr(kGreen), bgr(kBlue)}));
  EXPECT_EQ(Bytes(out.begin() + 9, out.begin() + 12), Bytes(3, 0xEE));
  EXPECT_EQ(Bytes(out.begin() + pitch, out.begin() + pitch + 9),
            join({bgr(kBlue), bgr(kGreen), bgr(kRed)}));
}

TEST_F(BmpTest, EightBitIndexesTheTableAndFarIndicesReadBlack) {
  BmpSpec s;
  s.width = 3;
  s.height = 1;
  s.bitCount = 8;
  s.colourTable = {kRed, kGreen};
  // Index 200 points far past the two-entry table and past the end of the file.
  s.pixels = padRows({{1, 0, 200}});
  BitmapView v = load(encodeBmp(s), 8);
  EXPECT_EQ(pixelAt(v, 0, 0), kGreen);
  EXPECT_EQ(pixelAt(v, 1, 0), kRed);
  EXPECT_EQ(pixelAt(v, 2, 0), 0u);
}

TEST_F(BmpTest, SixteenBitFiveFiveFiveAndBitFieldsAsFiveSixFive) {
  BmpSpec s;
  s.width = 1;
  s.height = 1;
  s.bitCount = 16;
  uint16_t v555 = (31 << 10) | (16 << 5) | 1;  // red 31, green 16, blue 1 in 5-5-5
  s.pixels = padRows({{(uint8_t)v555, (uint8_t)(v555 >> 8)}});
  BitmapView plain = load(encodeBmp(s), 16);
  EXPECT_EQ(pixelAt(plain, 0, 0), (uint32_t)(248 << 16 | 128 << 8 | 8));
  s.compression = 3;  // declared 5-5-5 masks are not consulted: read as 5-6-5
  s.colourTable = {0x7C00, 0x03E0, 0x001F};
  BitmapView fields = load(encodeBmp(s), 16);
  // 5-6-5 of 0x7E01: red = 0x7E01 >> 11 = 15, green = (0x7E01 >> 5) & 63 = 48, blue = 1.
  EXPECT_EQ(pixelAt(fields, 0, 0), (uint32_t)(120 << 16 | 192 << 8 | 8));
}

TEST_F(BmpTest, ThirtyTwoBitDropsAlpha) {
  BmpSpec s;
  s.width = 2;
  s.height = 1;
  s.bitCount = 32;
  s.pixels = {1, 2, 3, 0, 4, 5, 6, 200};
  BitmapView v = load(encodeBmp(s), 32);
  EXPECT_EQ(v.bitCount, 24);
  EXPECT_EQ(pixelAt(v, 0, 0), 0x030201u);
  EXPECT_EQ(pixelAt(v, 1, 0), 0x060504u);
}

TEST_F(BmpTest, Rle8WorkedExample) {
  BmpSpec s;
  s.width = 4;
  s.height = 2;
  s.bitCount = 8;
  s.compression = 1;
  s.colourTable = {0, 0, 0, 0, 0, kBlue};
  s.pixels = {0x03, 0x05, 0x00, 0x00, 0x00, 0x01};
  BitmapView v = load(encodeBmp(s), 8);
  for (int x = 0; x < 4; x++) EXPECT_EQ(pixelAt(v, x, 1), x < 3 ? kBlue : 0u) << x;
  for (int x = 0; x < 4; x++) EXPECT_EQ(pixelAt(v, x, 0), 0u) << x;
}

TEST_F(BmpTest, Rle8AbsoluteRunsDeltasAndClipping) {
  BmpSpec s;
  s.width = 4;
  s.height = 4;
  s.bitCount = 8;
  s.compression = 1;
  s.colourTable = {0, kRed, kGreen, kBlue};
  s.pixels = {
      0x00, 0x03, 1,    2,    3, 0x00,  // odd absolute run with its padding byte: stored row 0
      0x00, 0x00,                       // end of line
      0x00, 0x04, 3,    3,    2, 1,     // even absolute run: no padding byte follows
      0x00, 0x00,                       // end of line -> row 2, col 0
      0x00, 0x02, 0x02, 0x01,           // delta: two columns right, one row up -> (row 3, col 2)
      0x01, 0x01,                       // one red pixel there
      0xFF, 0x02,                       // a run of 255 is clipped to the last column
      0x00, 0x02, 0x00, 0x09,           // delta far past the last row: the decoding ends
      0x05, 0x01,                       // never reached
  };
  int32_t pitch;
  std::vector<uint8_t> out = decodeInto(encodeBmp(s), 4, 4, DECODE_BOTTOM_UP, &pitch);
  auto row = [&](int k) { return Bytes(out.begin() + k * pitch, out.begin() + k * pitch + 12); };
  EXPECT_EQ(row(0), join({bgr(kRed), bgr(kGreen), bgr(kBlue), bgr(0)}));
  EXPECT_EQ(row(1), join({bgr(kBlue), bgr(kBlue), bgr(kGreen), bgr(kRed)}));
  EXPECT_EQ(row(2), Bytes(12, 0));
  EXPECT_EQ(row(3), join({bgr(0), bgr(0), bgr(kRed), bgr(kGreen)}));
}

TEST_F(BmpTest, Rle8WithoutEndMarkStopsAtTheEndOfData) {
  BmpSpec s;
  s.width = 2;
  s.height = 2;
  s.bitCount = 8;
  s.compression = 1;
  s.colourTable = {0, kRed};
  // A run, an end of line, then an absolute run of 5 of which only one byte is there.
  s.pixels = {0x02, 0x01, 0x00, 0x00, 0x00, 0x05, 1};
  int32_t pitch;
  std::vector<uint8_t> out = decodeInto(encodeBmp(s), 2, 2, 0, &pitch);
  // Without the bottom-up flag stored row 0 is the last memory row.
  EXPECT_EQ(Bytes(out.begin() + pitch, out.begin() + pitch + 6), join({bgr(kRed), bgr(kRed)}));
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 6), Bytes(6, 0));
}

// Every converted layout, 2 x 2, after info headers of 40, 108 and 124 bytes (the colour table
// follows the header, whatever its size), decoded into both destination row orders; a
// negative height decodes only RLE8, into the same row order as a positive one.
TEST_F(BmpTest, EveryLayoutInBothRowOrders) {
  struct Layout {
    uint16_t bitCount;
    uint32_t compression;
    Bytes pixels;
    uint32_t stored[2][2];  // 0xRRGGBB of stored rows 0 and 1
  };
  auto le16 = [](std::initializer_list<uint16_t> values) {
    Bytes out;
    for (uint16_t v : values) out.insert(out.end(), {(uint8_t)v, (uint8_t)(v >> 8)});
    return out;
  };
  const Layout layouts[] = {
      {1, 0, padRows({{0x80}, {0x40}}), {{kWhite, 0}, {0, kWhite}}},
      {4, 0, padRows({{0x12}, {0x30}}), {{kGreen, kBlue}, {kWhite, kRed}}},
      {8, 0, padRows({{1, 2}, {3, 0}}), {{kGreen, kBlue}, {kWhite, kRed}}},
      {8, 1, {1, 1, 1, 2, 0, 0, 1, 3, 1, 0, 0, 1}, {{kGreen, kBlue}, {kWhite, kRed}}},
      {16,
       0,
       padRows({le16({0x7C00, 0x001F}), le16({0x03E0, 0x7FFF})}),
       {{0xF80000, 0x0000F8}, {0x00F800, 0xF8F8F8}}},
      {16,
       3,
       padRows({le16({0xF800, 0x07E0}), le16({0x001F, 0xFFFF})}),
       {{0xF80000, 0x00FC00}, {0x0000F8, 0xF8FCF8}}},
      {24,
       0,
       padRows({join({bgr(kRed), bgr(kGreen)}), join({bgr(kBlue), bgr(kWhite)})}),
       {{kRed, kGreen}, {kBlue, kWhite}}},
      {32,
       0,
       {0, 0, 0xFF, 0x80, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x10},
       {{kRed, kGreen}, {kBlue, kWhite}}},
  };
  for (uint32_t headerSize : {40u, 108u, 124u}) {
    for (const Layout& l : layouts) {
      for (int32_t height : {2, -2}) {
        SCOPED_TRACE(testing::Message() << l.bitCount << "/" << l.compression << ", header "
                                        << headerSize << ", height " << height);
        BmpSpec s;
        s.width = 2;
        s.height = height;
        s.bitCount = l.bitCount;
        s.compression = l.compression;
        s.infoHeaderSize = headerSize;
        s.colourTable = {kRed, kGreen, kBlue, kWhite};
        s.pixels = l.pixels;
        bool decoded = height > 0 || l.compression == 1;
        for (uint32_t flags : {DECODE_BOTTOM_UP, 0u}) {
          int32_t pitch;
          std::vector<uint8_t> out = decodeInto(encodeBmp(s), 2, 2, flags, &pitch);
          for (int k = 0; k < 2; k++) {
            int memoryRow = flags == DECODE_BOTTOM_UP ? k : 1 - k;
            Bytes expected =
                decoded ? join({bgr(l.stored[k][0]), bgr(l.stored[k][1])}) : Bytes(6, 0);
            EXPECT_EQ(Bytes(out.begin() + memoryRow * pitch, out.begin() + memoryRow * pitch + 6),
                      expected)
                << "stored row " << k << ", flags " << flags;
          }
        }
      }
    }
  }
}

TEST_F(BmpTest, LayoutsNotConvertedLoadBlack) {
  struct Case {
    uint16_t bitCount;
    uint32_t compression;
  } cases[] = {{4, 2}, {16, 2}, {2, 0}, {0, 0}, {7, 0}, {64, 0}};
  for (const Case& c : cases) {
    BmpSpec s;
    s.width = 5;
    s.height = 3;
    s.bitCount = c.bitCount;
    s.compression = c.compression;
    s.colourTable = {kWhite, kWhite};
    s.pixels = Bytes(64, 0x11);
    BitmapView v = load(encodeBmp(s), c.bitCount);
    EXPECT_EQ(v.width, 5);
    EXPECT_EQ(v.rows, 3);
    EXPECT_TRUE(allBlack(v)) << c.bitCount << "/" << c.compression;
  }
}

TEST_F(BmpTest, NegativeHeightMakesATopDownPictureBlackButForRle8) {
  BmpSpec s;
  s.width = 2;
  s.height = -3;
  s.pixels = Bytes(24, 0xFF);
  BitmapView v = load(encodeBmp(s), 24);
  EXPECT_EQ(Image_Height(1), -3);
  EXPECT_EQ(v.rows, 3);
#ifndef _WIN32
  EXPECT_FALSE(v.bottomUp);  // GDI reports a DIB section's height as positive either way
#endif
  EXPECT_TRUE(allBlack(v));

  // RLE8 is decoded all the same: the first stored row lands in the first memory row, which
  // is the top of a top-down bitmap.
  s.bitCount = 8;
  s.compression = 1;
  s.colourTable = {0, kRed, kGreen};
  s.pixels = {2, 1, 0, 0, 1, 2, 0, 1};
  v = load(encodeBmp(s), 8);
  EXPECT_EQ(Image_Height(1), -3);
  ASSERT_EQ(v.rows, 3);
  EXPECT_EQ(Bytes(v.bits, v.bits + 6), join({bgr(kRed), bgr(kRed)}));
  EXPECT_EQ(Bytes(v.bits + v.pitch, v.bits + v.pitch + 6), join({bgr(kGreen), bgr(0)}));
  EXPECT_EQ(Bytes(v.bits + 2 * v.pitch, v.bits + 2 * v.pitch + 6), Bytes(6, 0));
}

TEST_F(BmpTest, ProbeRefusals) {
  BmpSpec s;
  s.pixels = padRows({bgr(kRed)});
  Bytes good = encodeBmp(s);
  EXPECT_EQ(ImageDecoder_Find(good.data(), (uint32_t)good.size()), FORMAT_BMP);
  ImageDecoder_Close();

  Bytes reserved = good;
  reserved[7] = 1;
  EXPECT_EQ(ImageDecoder_Find(reserved.data(), (uint32_t)reserved.size()), 0u);
  Bytes reserved2 = good;
  reserved2[8] = 1;
  EXPECT_EQ(ImageDecoder_Find(reserved2.data(), (uint32_t)reserved2.size()), 0u);

  // A 12-byte core header keeps its fields elsewhere: refused rather than misread.
  Bytes core = good;
  core[14] = 12;
  EXPECT_EQ(ImageDecoder_Find(core.data(), (uint32_t)core.size()), 0u);

  // Every prefix of the two headers is refused without reading past it.
  for (uint32_t n = 0; n < 54; n++) {
    Bytes cut(good.begin(), good.begin() + n);
    EXPECT_EQ(ImageDecoder_Find(cut.data(), n), 0u) << n;
  }

  s.width = 0x7FFFFFFF;  // no bitmap can be made of it
  Bytes huge = encodeBmp(s);
  EXPECT_EQ(ImageDecoder_Find(huge.data(), (uint32_t)huge.size()), 0u);
  s.width = 4;
  s.height = 0;
  Bytes flat = encodeBmp(s);
  EXPECT_EQ(ImageDecoder_Find(flat.data(), (uint32_t)flat.size()), 0u);
}

TEST_F(BmpTest, FilesCutShortDecodeWhatTheyHold) {
  BmpSpec s;
  s.width = 2;
  s.height = 3;
  s.pixels = padRows({join({bgr(kRed), bgr(kRed)}), join({bgr(kGreen), bgr(kGreen)}),
                      join({bgr(kBlue), bgr(kBlue)})});
  Bytes file = encodeBmp(s);
  file.resize(file.size() - 10);  // the third stored row is incomplete
  BitmapView v = load(file, 24);
  EXPECT_EQ(pixelAt(v, 1, 2), kRed);  // bottom: stored row 0
  EXPECT_EQ(pixelAt(v, 1, 1), kGreen);
  EXPECT_EQ(pixelAt(v, 0, 0), 0u);  // never stored in full: black

  // A pixel offset past the end of the data: nothing to read, all black.
  Bytes distant = encodeBmp(s);
  distant[10] = 0xF0;
  distant[11] = 0xFF;
  distant[12] = 0xFF;
  distant[13] = 0x7F;
  EXPECT_TRUE(allBlack(load(distant, 24)));
}

TEST_F(BmpTest, WideHeaderOnlyPictureReadsBackSixteenBits) {
  BmpSpec s;
  s.width = 40000;
  s.height = 1;
  Bytes file = encodeBmp(s);  // no pixels at all
  EXPECT_NE(Image_LoadMemory(2, file.data(), (uint32_t)file.size()), 0);
  EXPECT_EQ(Image_Width(2), -25536);
  EXPECT_EQ(Image_Height(2), 1);
  EXPECT_EQ(viewOf(2).width, 40000);
}
