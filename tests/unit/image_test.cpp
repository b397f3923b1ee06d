// Image objects and the load path: the decoder table, row sizes, loading from memory and from
// files, numbers in use, dynamic numbers, freeing, and the icon directory choice.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "image/bitmap.h"
#include "image/decoder.h"
#include "image/icon.h"
#include "image/image.h"
#include "image/record.h"
#include "runtime/accounting.h"
#include "runtime/registry.h"
#include "tests/support/image_fixture.h"

using testpics::BmpSpec;
using testpics::encodeBmp;

namespace {
Bytes smallBmp(int32_t width, int32_t height) {
  BmpSpec s;
  s.width = width;
  s.height = height;
  s.pixels = Bytes((size_t)Bitmap_RowBytes(width, 24) * (height < 0 ? -height : height), 0x40);
  return encodeBmp(s);
}

// Refusing decoders that note their probes: 'a' and 'b' stand between the real ones, 'x' after.
std::string probeLog;
int refuseA(DecodeContext*) { return probeLog += 'a', 0; }
int refuseB(DecodeContext*) { return probeLog += 'b', 0; }
int refuseAll(DecodeContext*) { return probeLog += 'x', 0; }
int noDecode(DecodeContext*, uint8_t*, int32_t, uint32_t) { return 0; }
void noClose(DecodeContext*) {}
// Accepts data that begins with 'Z' as a 1 x 1 picture; closing it twice would be a fault.
int closes;
int acceptZ(DecodeContext* c) {
  c->width = c->height = 1;
  c->outputDepth = 24;
  return c->size && c->data[0] == 'Z';
}
void closeOnce(DecodeContext*) { closes++; }
}  // namespace

TEST(RowBytes, PaddingByBitCount) {
  struct Case {
    int32_t width, bits, bytes;
  } cases[] = {{1, 1, 4},   {32, 1, 4}, {33, 1, 8}, {7, 4, 4},  {9, 4, 8},   {3, 8, 4},
               {5, 8, 8},   {1, 16, 4}, {3, 15, 8}, {1, 24, 4}, {3, 24, 12}, {5, 24, 16},
               {3, 32, 12}, {3, 7, 12}, {0, 24, 0}, {-1, 24, 0}};
  for (const Case& c : cases)
    EXPECT_EQ(Bitmap_RowBytes(c.width, c.bits), c.bytes) << c.width << " x " << c.bits;
}

TEST(RowBytes, PictureBytesRejectsAbsurdSizes) {
  int32_t pitch = -1;
  size_t total = 0;
  EXPECT_TRUE(image_detail::pictureBytes(3, -2, 24, &pitch, &total));
  EXPECT_EQ(pitch, 12);
  EXPECT_EQ(total, 24u);
  EXPECT_FALSE(image_detail::pictureBytes(0, 5, 24, &pitch, &total));
  EXPECT_FALSE(image_detail::pictureBytes(5, 0, 24, &pitch, &total));
  EXPECT_FALSE(image_detail::pictureBytes(-5, 5, 24, &pitch, &total));
  EXPECT_FALSE(image_detail::pictureBytes(IMAGE_MAX_SIDE + 1, 1, 24, &pitch, &total));
  EXPECT_FALSE(image_detail::pictureBytes(1, INT32_MIN, 24, &pitch, &total));
  EXPECT_FALSE(image_detail::pictureBytes(100000, 100000, 32, &pitch, &total));
  EXPECT_TRUE(image_detail::pictureBytes(40000, 1, 24, &pitch, &total));
}

class DecoderTableTest : public ImageLibraryTest {};

TEST_F(DecoderTableTest, BmpIsProbedBeforePngAndTheTableIsBounded) {
  // BMP then PNG, as the start sequence registers them; registering again changes nothing.
  EXPECT_EQ(ImageDecoder_Count(), 2);
  PngDecoder_Register();
  BmpDecoder_Register();
  EXPECT_EQ(ImageDecoder_Count(), 2);

  // Probes run in registration order and stop at the first decoder that accepts.
  ImageDecoder_Start();
  static const ImageDecoder a = {refuseA, noDecode, noClose, 0x41414141};
  static const ImageDecoder b = {refuseB, noDecode, noClose, 0x42424242};
  ImageDecoder_Register(&a);
  BmpDecoder_Register();
  ImageDecoder_Register(&b);
  PngDecoder_Register();
  static ImageDecoder extra[DECODER_TABLE_SIZE];
  int stored = 0;
  for (ImageDecoder& d : extra) {
    d = ImageDecoder{refuseAll, noDecode, noClose, 0x58585858};
    stored += ImageDecoder_Register(&d);
  }
  EXPECT_EQ(stored, DECODER_TABLE_SIZE - 4);  // the table is full after 30
  EXPECT_EQ(ImageDecoder_Count(), DECODER_TABLE_SIZE);
  Bytes bmp = smallBmp(1, 1);
  probeLog.clear();
  EXPECT_EQ(ImageDecoder_Find(bmp.data(), (uint32_t)bmp.size()), FORMAT_BMP);
  ImageDecoder_Close();
  EXPECT_EQ(probeLog, "a");
  Bytes png = testpics::samplePng(2, 8, false, false, 1, 1);
  probeLog.clear();
  EXPECT_EQ(ImageDecoder_Find(png.data(), (uint32_t)png.size()), FORMAT_PNG);
  ImageDecoder_Close();
  EXPECT_EQ(probeLog, "ab");
  Bytes text = {'h', 'e', 'l', 'l', 'o'};
  probeLog.clear();
  EXPECT_EQ(ImageDecoder_Find(text.data(), (uint32_t)text.size()), 0u);
  EXPECT_EQ(probeLog, "ab" + std::string(DECODER_TABLE_SIZE - 4, 'x'));
}

TEST_F(DecoderTableTest, ClosingForgetsTheDecoder) {
  static const ImageDecoder z = {acceptZ, noDecode, closeOnce, 0x5A5A5A5A};
  ASSERT_EQ(ImageDecoder_Register(&z), 1);
  Bytes data = {'Z'};
  closes = 0;
  ASSERT_EQ(ImageDecoder_Find(data.data(), 1), 0x5A5A5A5Au);
  ImageDecoder_Close();
  ImageDecoder_Close();
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(Image_LoadMemory(3, data.data(), 1), 0);  // its decode fails: closed once more
  EXPECT_EQ(closes, 2);
}

class LoaderTest : public ImageLibraryTest {
 protected:
  void SetUp() override {
    ImageLibraryTest::SetUp();
    folder_ = testpics::tempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  std::string file(const std::string& name, const Bytes& bytes) {
    std::string path = folder_ + name;
    EXPECT_TRUE(testpics::writeFile(path, bytes));
    return path;
  }
  std::string folder_;
};

TEST_F(LoaderTest, ResultIsTheHandleAndNumberInUseIsReplaced) {
  std::string a = file("a.bmp", smallBmp(3, 2));
  std::string b = file("b.bmp", smallBmp(5, 4));
  int64_t liveBefore = Account_Live(ACCOUNT_BITMAP);
  intptr_t first = Image_Load(4, path16(a).c_str(), 0);
  ASSERT_NE(first, 0);
  EXPECT_NE(first, 1);
  EXPECT_EQ(first, Image_Handle(4));
  EXPECT_EQ(Image_Width(4), 3);
  EXPECT_EQ(Image_Height(4), 2);
  intptr_t second = Image_Load(4, path16(b).c_str(), 0);
  ASSERT_NE(second, 0);
  EXPECT_EQ(second, Image_Handle(4));
  EXPECT_EQ(Image_Width(4), 5);
  EXPECT_EQ(Image_Height(4), 4);
  // The old bitmap went before the new one came: one bitmap is alive, not two.
  EXPECT_EQ(Account_Live(ACCOUNT_BITMAP), liveBefore + 1);
  Image_Free(4);
  EXPECT_EQ(Account_Live(ACCOUNT_BITMAP), liveBefore);
  EXPECT_EQ(Image_Handle(4), 0);
}

TEST_F(LoaderTest, MissingFileKeepsTheOldImage) {
  std::string a = file("a.bmp", smallBmp(7, 6));
  intptr_t handle = Image_Load(0, path16(a).c_str(), 0);
  ASSERT_NE(handle, 0);
  EXPECT_EQ(Image_Load(0, path16(folder_ + "missing.png").c_str(), 0), 0);
  EXPECT_EQ(Image_Handle(0), handle);
  EXPECT_EQ(Image_Width(0), 7);
  EXPECT_EQ(Image_Height(0), 6);
}

TEST_F(LoaderTest, UndecodableFilesEmptyTheNumber) {
  std::string good = file("good.bmp", smallBmp(2, 2));
  std::string text = file("text.png", Bytes({'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'}));
  std::string empty = file("empty.png", Bytes());
  for (const std::string& bad : {text, empty}) {
    ASSERT_NE(Image_Load(5, path16(good).c_str(), 0), 0);
    int64_t live = Account_Live(ACCOUNT_BITMAP);
    EXPECT_EQ(Image_Load(5, path16(bad).c_str(), 0), 0) << bad;
    EXPECT_EQ(Image_Handle(5), 0);
    EXPECT_EQ(Image_Width(5), 0);
    EXPECT_EQ(Image_Height(5), 0);
    EXPECT_EQ(Account_Live(ACCOUNT_BITMAP), live - 1);
  }
}

TEST_F(LoaderTest, NumbersThatNeverHeldAnImageReadZero) {
  EXPECT_EQ(Image_Handle(9), 0);
  EXPECT_EQ(Image_Width(9), 0);
  EXPECT_EQ(Image_Height(9), 0);
  EXPECT_EQ(Image_Handle(100000), 0);
  // Freeing a number that holds nothing leaves the other images alone.
  Bytes bmp = smallBmp(2, 1);
  intptr_t handle = Image_LoadMemory(4, bmp.data(), (uint32_t)bmp.size());
  ASSERT_NE(handle, 0);
  int64_t live = Account_Live(ACCOUNT_BITMAP);
  Image_Free(9);
  Image_Free(100000);
  EXPECT_EQ(Image_Handle(4), handle);
  EXPECT_EQ(Image_Width(4), 2);
  EXPECT_EQ(Account_Live(ACCOUNT_BITMAP), live);
}

TEST_F(LoaderTest, DynamicNumbersAndFreeingAll) {
  Bytes bmp = smallBmp(2, 3);
  int64_t live = Account_Live(ACCOUNT_BITMAP);
  intptr_t dynamicNumber = Image_LoadMemory(OBJECT_DYNAMIC, bmp.data(), (uint32_t)bmp.size());
  ASSERT_NE(dynamicNumber, 0);
  EXPECT_NE(dynamicNumber, Image_Handle(dynamicNumber));
  EXPECT_EQ(Image_Width(dynamicNumber), 2);
  EXPECT_EQ(Image_Height(dynamicNumber), 3);
  Bytes junk = {1, 2, 3};
  EXPECT_EQ(Image_LoadMemory(OBJECT_DYNAMIC, junk.data(), 3), 0);
  ASSERT_NE(Image_LoadMemory(0, bmp.data(), (uint32_t)bmp.size()), 0);
  ASSERT_NE(Image_LoadMemory(20, bmp.data(), (uint32_t)bmp.size()), 0);
  EXPECT_EQ(Account_Live(ACCOUNT_BITMAP), live + 3);
  Image_Free(OBJECT_ALL);
  EXPECT_EQ(Account_Live(ACCOUNT_BITMAP), live);
  EXPECT_EQ(Image_Handle(0), 0);
  EXPECT_EQ(Image_Handle(20), 0);
  EXPECT_EQ(Image_Handle(dynamicNumber), 0);
}

TEST_F(LoaderTest, ASideOverTheLimitIsRefusedBeforeAnyBitmapIsMade) {
  // Each side at the limit and one past it; a top-down height counts by its size.
  const int32_t sides[][3] = {{1024, 1, 1}, {1025, 1, 0},  {1, 1024, 1},
                              {1, 1025, 0}, {1, -1024, 1}, {1, -1025, 0}};
  for (const auto& s : sides) {
    Bytes bmp = smallBmp(s[0], s[1]);
    int64_t made = Account_Created_Total(ACCOUNT_BITMAP);
    EXPECT_EQ(Image_LoadMemory(5, bmp.data(), (uint32_t)bmp.size(), 1024) != 0, s[2] != 0)
        << s[0] << " x " << s[1];
    EXPECT_EQ(Account_Created_Total(ACCOUNT_BITMAP), made + s[2]) << s[0] << " x " << s[1];
  }
  EXPECT_EQ(Image_Handle(5), 0);  // like a file that cannot be decoded: the number is free
  Bytes wide = smallBmp(1025, 1);
  std::string wideFile = file("wide.bmp", wide);
  EXPECT_EQ(Image_LoadWithin(5, path16(wideFile).c_str(), 0, 1024), 0);
  EXPECT_NE(Image_LoadWithin(5, path16(wideFile).c_str(), 0, 1025), 0);
  // No limit given.
  EXPECT_NE(Image_Load(6, path16(wideFile).c_str(), 0), 0);
  EXPECT_NE(Image_LoadMemory(6, wide.data(), (uint32_t)wide.size()), 0);

  // A PNG over the limit: its decoder is closed and nothing of it stays behind.
  Bytes png = testpics::samplePng(2, 8, false, false, 1025, 1);
#ifndef _WIN32
  size_t blocks = Host_HeapBlockCount(GetProcessHeap());
#endif
  EXPECT_EQ(Image_LoadMemory(7, png.data(), (uint32_t)png.size(), 1024), 0);
  EXPECT_EQ(ImageDecoder_Context()->decoder, nullptr);
#ifndef _WIN32
  EXPECT_EQ(Host_HeapBlockCount(GetProcessHeap()), blocks);
#endif
}

TEST_F(LoaderTest, CreateMakesABlankOpaquePictureUnderTheNumber) {
  Bytes bmp = smallBmp(2, 3);
  ASSERT_NE(Image_LoadMemory(4, bmp.data(), (uint32_t)bmp.size()), 0);
  int64_t live = Account_Live(ACCOUNT_BITMAP);
  intptr_t handle = Image_Create(4, 5, 7);  // frees the picture the number held
  ASSERT_NE(handle, 0);
  EXPECT_EQ(Account_Live(ACCOUNT_BITMAP), live);
  EXPECT_EQ(Image_Handle(4), handle);
  EXPECT_EQ(Image_Width(4), 5);
  EXPECT_EQ(Image_Height(4), 7);
  EXPECT_EQ(Image_Record(4)->depth, 24);
  EXPECT_EQ(Image_Record(4)->format, FORMAT_BMP);
  BitmapView view;
  ASSERT_EQ(Bitmap_Describe((HANDLE)handle, &view), 1);
  EXPECT_EQ(view.width * 100 + view.rows * 10 + view.bitCount / 8, 5 * 100 + 7 * 10 + 3);
  EXPECT_EQ(BitmapView_Row(view, 6)[14], 0);
  EXPECT_EQ(Image_Create(4, 0, 7), 0);
  EXPECT_EQ(Image_Handle(4), 0);
}

// A 20 x 20 RGBA picture: an opaque square of `rgb` from 5 to 14 on a clear border whose hidden
// colour is white, as drawing programs often leave it.
Bytes squareOnClear(uint32_t rgb) {
  testpics::PngSpec s;
  s.width = s.height = 20;
  s.colourType = 6;
  for (int y = 0; y < 20; y++) {
    Bytes row;
    for (int x = 0; x < 20; x++) {
      bool inside = x >= 5 && x < 15 && y >= 5 && y < 15;
      if (inside)
        row.insert(row.end(), {(uint8_t)(rgb >> 16), (uint8_t)(rgb >> 8), (uint8_t)rgb, 255});
      else row.insert(row.end(), {255, 255, 255, 0});
    }
    s.rows.push_back(row);
  }
  return testpics::encodePng(s);
}

TEST_F(LoaderTest, ResizeResamplesWithoutAFringeAndKeepsAlphaStraight) {
  const uint32_t colour = 0xC86432;
  Bytes png = squareOnClear(colour);
  ASSERT_NE(Image_LoadMemory(4, png.data(), (uint32_t)png.size()), 0);
  ASSERT_EQ(pixelAt(viewOf(4), 0, 0), 0x00FFFFFFu) << "the clear border keeps its colour";
  int64_t live = Account_Live(ACCOUNT_BITMAP);
  ASSERT_EQ(Image_Resize(4, 40, 40), 1);
  EXPECT_EQ(Account_Live(ACCOUNT_BITMAP), live) << "the old bitmap goes";
  EXPECT_EQ(Image_Width(4) * 1000 + Image_Height(4), 40040);
  BitmapView view = viewOf(4);
  ASSERT_EQ(view.width * 1000 + view.rows * 10 + view.bitCount / 8, 40 * 1000 + 400 + 4);
  int partial = 0;
  for (int y = 0; y < 40; y++)
    for (int x = 0; x < 40; x++) {
      uint32_t p = pixelAt(view, x, y), alpha = p >> 24;
      if (x >= 13 && x < 27 && y >= 13 && y < 27) {
        EXPECT_EQ(p, 0xFF000000u | colour) << x << "," << y << " inside the square";
      }
      if (x < 6 || x >= 34 || y < 6 || y >= 34) { EXPECT_EQ(alpha, 0u) << x << "," << y; }
      if (alpha < 64 || alpha == 255) continue;
      // Partly covered: its straight colour is the square's, not darkened or lightened by
      // what the clear pixels hide.
      partial++;
      for (int shift : {0, 8, 16})
        EXPECT_NEAR((int)(p >> shift & 0xFF), (int)(colour >> shift & 0xFF), 4)
            << x << "," << y << " alpha " << alpha;
    }
  EXPECT_GT(partial, 40) << "the edge is smooth";

  // The size it has already: nothing made, the same bitmap.
  intptr_t handle = Image_Handle(4);
  int64_t made = Account_Created_Total(ACCOUNT_BITMAP);
  EXPECT_EQ(Image_Resize(4, 40, 40), 1);
  EXPECT_EQ(Image_Handle(4), handle);
  EXPECT_EQ(Account_Created_Total(ACCOUNT_BITMAP), made);
  // No size, no image: refused, the picture unchanged.
  EXPECT_EQ(Image_Resize(4, 0, 40), 0);
  EXPECT_EQ(Image_Handle(4), handle);
  EXPECT_EQ(Image_Width(4), 40);
  EXPECT_EQ(Image_Resize(9, 10, 10), 0);

  // 24 bits a pixel: resized, a flat colour stays that colour.
  Bytes bmp = smallBmp(3, 2);
  ASSERT_NE(Image_LoadMemory(5, bmp.data(), (uint32_t)bmp.size()), 0);
  ASSERT_EQ(Image_Resize(5, 6, 4), 1);
  view = viewOf(5);
  ASSERT_EQ(view.width * 1000 + view.rows * 10 + view.bitCount / 8, 6 * 1000 + 40 + 3);
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 6; x++) EXPECT_EQ(pixelAt(view, x, y), 0x404040u) << x << "," << y;
  ASSERT_EQ(Image_Resize(5, 6, 5), 1);  // the same width: still resized
  EXPECT_EQ(Image_Height(5) * 10 + viewOf(5).rows, 55);

  // Flat with alpha: half clear, exactly itself again (129 and 2 at alpha 128 need the rounding
  // of both the premultiplication and its undoing), and clear everywhere, which is shown opaque
  // and so resampled, its alpha given back as 0.
  for (uint32_t argb : {0x80810281u, 0x000AC81Eu}) {
    Bytes png = testpics::flatPng(4, argb, true);
    ASSERT_NE(Image_LoadMemory(6, png.data(), (uint32_t)png.size()), 0);
    ASSERT_EQ(Image_Resize(6, 10, 7), 1);
    view = viewOf(6);
    for (int y = 0; y < 7; y++)
      for (int x = 0; x < 10; x++) EXPECT_EQ(pixelAt(view, x, y), argb) << x << "," << y;
  }

  // A top-down picture (red over black) stays the right way up.
  bmp = testpics::topDownRedOverBlack();
  ASSERT_NE(Image_LoadMemory(7, bmp.data(), (uint32_t)bmp.size()), 0);
  ASSERT_EQ(Image_Resize(7, 4, 8), 1);
  view = viewOf(7);
  EXPECT_EQ(Image_Height(7), 8);
  EXPECT_EQ(pixelAt(view, 0, 0), 0xFF0000u);
  EXPECT_EQ(pixelAt(view, 0, 7), 0u);
}

// A copy is a bitmap of its own with the same picture, rows in their order (a top-down one's
// copy is bottom-up, the right way up), outlives its source, and an image copied onto itself
// keeps its picture.
TEST_F(LoaderTest, CopyHoldsTheSamePictureInABitmapOfItsOwn) {
  BmpSpec spec;
  spec.width = 3;
  spec.height = 2;
  spec.pixels = Bytes((size_t)Bitmap_RowBytes(3, 24) * 2, 0x40);
  std::fill(spec.pixels.begin(), spec.pixels.begin() + 9, 0x90);  // the bottom row
  Bytes png = squareOnClear(0xC86432), bmp = encodeBmp(spec);
  ASSERT_NE(Image_LoadMemory(4, png.data(), (uint32_t)png.size()), 0);
  ASSERT_NE(Image_LoadMemory(5, bmp.data(), (uint32_t)bmp.size()), 0);
  for (intptr_t from : {4, 5}) {
    BitmapView source = viewOf(from);
    std::vector<uint32_t> pixels;
    for (int y = 0; y < source.rows; y++)
      for (int x = 0; x < source.width; x++) pixels.push_back(pixelAt(source, x, y));
    intptr_t copy = Image_Copy(OBJECT_DYNAMIC, from);
    ASSERT_NE(copy, 0) << from;
    EXPECT_NE(Image_Handle(copy), Image_Handle(from));
    Image_Free(from);
    ASSERT_NE(Image_Copy(6, copy), 0) << from;
    Image_Free(copy);
    ASSERT_NE(Image_Copy(6, 6), 0) << from;
    EXPECT_EQ(Image_Width(6) * 1000 + Image_Height(6), source.width * 1000 + source.rows) << from;
    BitmapView view = viewOf(6);
    ASSERT_EQ(view.width * 1000 + view.rows * 10 + view.bitCount / 8,
              source.width * 1000 + source.rows * 10 + source.bitCount / 8);
    for (int y = 0, i = 0; y < view.rows; y++)
      for (int x = 0; x < view.width; x++, i++)
        EXPECT_EQ(pixelAt(view, x, y), pixels[i]) << from << ": " << x << "," << y;
  }
  Bytes topDown = testpics::topDownRedOverBlack();
  ASSERT_NE(Image_LoadMemory(7, topDown.data(), (uint32_t)topDown.size()), 0);
  ASSERT_NE(Image_Copy(6, 7), 0);
  EXPECT_EQ(Image_Height(6), 4);
  EXPECT_EQ(pixelAt(viewOf(6), 1, 0), 0xFF0000u);
  EXPECT_EQ(pixelAt(viewOf(6), 1, 3), 0u);
}

// ---- icon directory choice (platform-free) ----

namespace {
Bytes iconOf(std::vector<testpics::IconEntry> entries) { return testpics::encodeIcon(entries); }
testpics::IconEntry entry(uint8_t side, uint16_t bits) {
  return {side, side, bits,
          testpics::iconBitmapImage(side ? side : 256, side ? side : 256, bits, 0)};
}
}  // namespace

TEST(IconDirectory, ChoosesTheDeepestImageOfTheFirstEntrysSize) {
  IconChoice c;
  Bytes ico = iconOf({entry(16, 4), entry(16, 8), entry(32, 32), entry(16, 32), entry(16, 32)});
  ASSERT_TRUE(IconDirectory_Choose(ico.data(), (uint32_t)ico.size(), &c));
  EXPECT_EQ(c.index, 3u);  // not the 32 x 32 one, not the later 16 x 16 twin
  EXPECT_EQ(c.width, 16u);
  EXPECT_EQ(c.bitCount, 32u);
  EXPECT_FALSE(c.png);

  // Width and height both count, each against its own: entries of entry 0's width or height
  // alone never compete, also when entry 0 is not square.
  auto sided = [](uint8_t w, uint8_t h, uint16_t bits) {
    return testpics::IconEntry{w, h, bits, testpics::iconBitmapImage(w, h, bits, 0)};
  };
  Bytes oblong = iconOf({sided(16, 32, 8), sided(16, 16, 32), sided(32, 16, 32), sided(32, 32, 32),
                         sided(16, 32, 24)});
  ASSERT_TRUE(IconDirectory_Choose(oblong.data(), (uint32_t)oblong.size(), &c));
  EXPECT_EQ(c.index, 4u);
  EXPECT_EQ(c.height, 32u);
  Bytes square =
      iconOf({sided(16, 16, 8), sided(16, 32, 32), sided(32, 16, 32), sided(16, 16, 24)});
  ASSERT_TRUE(IconDirectory_Choose(square.data(), (uint32_t)square.size(), &c));
  EXPECT_EQ(c.index, 3u);

  Bytes single = iconOf({entry(48, 8)});
  ASSERT_TRUE(IconDirectory_Choose(single.data(), (uint32_t)single.size(), &c));
  EXPECT_EQ(c.index, 0u);
}

TEST(IconDirectory, PngEntryOfSide256) {
  testpics::PngSpec s;
  s.rows = {{1, 2, 3}};
  Bytes ico = iconOf({{0, 0, 32, testpics::encodePng(s)}});
  IconChoice c;
  ASSERT_TRUE(IconDirectory_Choose(ico.data(), (uint32_t)ico.size(), &c));
  EXPECT_TRUE(c.png);
  EXPECT_EQ(c.width, 256u);
  EXPECT_EQ(c.height, 256u);
}

TEST(IconDirectory, RefusesWhatDoesNotFitTheData) {
  IconChoice c;
  Bytes ico = iconOf({entry(16, 32), entry(16, 8)});
  // No entries at all.
  Bytes none = {0, 0, 1, 0, 0, 0};
  EXPECT_FALSE(IconDirectory_Choose(none.data(), 6, &c));
  // Wrong type word (a cursor file), wrong reserved word.
  Bytes cursor = ico;
  cursor[2] = 2;
  EXPECT_FALSE(IconDirectory_Choose(cursor.data(), (uint32_t)cursor.size(), &c));
  for (int at : {0, 1}) {
    Bytes reserved = ico;
    reserved[at] = 1;
    EXPECT_FALSE(IconDirectory_Choose(reserved.data(), (uint32_t)reserved.size(), &c)) << at;
  }
  // A directory claiming more entries than the data holds.
  Bytes many = ico;
  many[4] = 0xFF;
  many[5] = 0xFF;
  EXPECT_FALSE(IconDirectory_Choose(many.data(), (uint32_t)many.size(), &c));
  // The chosen image's size or offset pointing past the end.
  Bytes longImage = ico;
  longImage[6 + 8 + 2] = 0x7F;
  EXPECT_FALSE(IconDirectory_Choose(longImage.data(), (uint32_t)longImage.size(), &c));
  Bytes farOffset = ico;
  farOffset[6 + 12 + 3] = 0xFF;
  EXPECT_FALSE(IconDirectory_Choose(farOffset.data(), (uint32_t)farOffset.size(), &c));
  // An image too short to hold its header.
  Bytes tiny = iconOf({{16, 16, 32, Bytes(12, 0)}});
  EXPECT_FALSE(IconDirectory_Choose(tiny.data(), (uint32_t)tiny.size(), &c));
  // Every prefix that cuts the directory or the chosen image is refused without reading
  // past it.
  ASSERT_TRUE(IconDirectory_Choose(ico.data(), (uint32_t)ico.size(), &c));
  uint32_t chosenEnd = c.offset + c.bytes;
  for (uint32_t n = 0; n < chosenEnd; n++) {
    Bytes cut(ico.begin(), ico.begin() + n);
    EXPECT_FALSE(IconDirectory_Choose(cut.data(), n, &c)) << n;
  }
  Bytes exact(ico.begin(), ico.begin() + chosenEnd);
  EXPECT_TRUE(IconDirectory_Choose(exact.data(), chosenEnd, &c));
}
