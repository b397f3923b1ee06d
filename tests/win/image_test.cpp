// Images on the real platform: DIB sections from the loader, icon files, the alpha operations
// and the accounting of every GDI object the image library makes.
#include <gtest/gtest.h>

#include "image/alpha.h"
#include "image/decoder.h"
#include "image/icon.h"
#include "image/record.h"
#include "runtime/accounting.h"
#include "runtime/system_library.h"
#include "tests/support/image_fixture.h"
#include "tests/support/import_patch_win.h"

using testpics::encodeIcon;
using testpics::iconBitmapImage;
using testpics::IconEntry;

namespace {
class WinImageTest : public ImageLibraryTest {
 protected:
  void SetUp() override {
    ImageLibraryTest::SetUp();
    AlphaBlend_Start();
    for (int k = 0; k < 3; k++) live_[k] = Account_Live(kinds_[k]);
    folder_ = testpics::tempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  void TearDown() override {
    AlphaBlend_End();
    Image_End();
    // Whatever a test made through the image library is gone again.
    for (int k = 0; k < 3; k++)
      EXPECT_EQ(Account_Live(kinds_[k]), live_[k]) << "kind " << kinds_[k];
    ImageLibraryTest::TearDown();
  }
  std::string file(const std::string& name, const Bytes& bytes) {
    std::string path = folder_ + name;
    EXPECT_TRUE(testpics::writeFile(path, bytes));
    return path;
  }
  // A DIB section the test owns, filled with one pixel value.
  static HBITMAP dib(int width, int height, int bits, uint32_t value, void** pixels = nullptr) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = (WORD)bits;
    void* bitsAddress = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bitsAddress, nullptr, 0);
    uint8_t* p = (uint8_t*)bitsAddress;
    int pitch = Bitmap_RowBytes(width, bits);
    for (int y = 0; y < height; y++)
      for (int x = 0; x < width; x++) memcpy(p + y * pitch + x * (bits / 8), &value, bits / 8);
    if (pixels) *pixels = bitsAddress;
    return bitmap;
  }
  AccountKind kinds_[3] = {ACCOUNT_BITMAP, ACCOUNT_ICON, ACCOUNT_DC};
  int64_t live_[3];
  std::string folder_;
};

Bytes bmpFile(int32_t width, int32_t height) {
  testpics::BmpSpec s;
  s.width = width;
  s.height = height;
  s.pixels = Bytes((size_t)Bitmap_RowBytes(width, 24) * height, 0x80);
  return testpics::encodeBmp(s);
}

// A system without the system-folder search flag: LoadLibraryExW refuses it with `refusal`.
typedef HMODULE(WINAPI* LoadLibraryExFn)(LPCWSTR, HANDLE, DWORD);
LoadLibraryExFn realLoadLibraryEx;
DWORD refusal;
std::vector<std::pair<std::wstring, DWORD>> loads;
HMODULE WINAPI oldSystemLoad(LPCWSTR name, HANDLE file, DWORD flags) {
  loads.push_back({name, flags});
  if (!(flags & LOAD_LIBRARY_SEARCH_SYSTEM32)) return realLoadLibraryEx(name, file, flags);
  SetLastError(refusal);
  return nullptr;
}

Bytes pngFile(int width, int height, bool alpha) {
  testpics::PngSpec s;
  s.width = width;
  s.height = height;
  s.colourType = alpha ? 6 : 2;
  for (int y = 0; y < height; y++) s.rows.push_back(Bytes((size_t)width * (alpha ? 4 : 3), 0x7F));
  return testpics::encodePng(s);
}
}  // namespace

TEST_F(WinImageTest, LoadMakesABottomUpDibSection) {
  std::string path = file("three.png", pngFile(3, 2, true));
  intptr_t handle = Image_Load(0, path16(path).c_str(), 0);
  ASSERT_NE(handle, 0);
  EXPECT_EQ(handle, Image_Handle(0));
  EXPECT_EQ(GetObjectType((HGDIOBJ)handle), (DWORD)OBJ_BITMAP);
  DIBSECTION section;
  ASSERT_EQ(GetObjectW((HGDIOBJ)handle, sizeof section, &section), (int)sizeof section);
  EXPECT_EQ(section.dsBmih.biWidth, 3);
  EXPECT_EQ(section.dsBmih.biHeight, 2);  // positive: bottom-up
  EXPECT_EQ(section.dsBm.bmBitsPixel, 32);

  // The top row is shown on top.
  testpics::PngSpec s;
  s.width = 1;
  s.height = 2;
  s.colourType = 6;
  s.rows = {{0xFF, 0, 0, 0xFF}, {0, 0, 0xFF, 0xFF}};  // red over blue
  Bytes rows = testpics::encodePng(s);
  handle = Image_LoadMemory(0, rows.data(), (uint32_t)rows.size());
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, (HGDIOBJ)handle);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0xFF, 0, 0));
  SelectObject(dc, old);
  DeleteDC(dc);
  // A picture whose rows break off makes no bitmap, and keeps none.
  rows = pngFile(8, 8, false);
  rows.resize(rows.size() - 20);
  EXPECT_EQ(Image_LoadMemory(0, rows.data(), (uint32_t)rows.size()), 0);
}

TEST_F(WinImageTest, FileEdgeCases) {
  std::string good = file("good.bmp", bmpFile(6, 5));
  intptr_t handle = Image_Load(1, path16(good).c_str(), 0);
  ASSERT_NE(handle, 0);
  EXPECT_NE(handle, 1);
  // Missing file: the old image stays whole.
  EXPECT_EQ(Image_Load(1, path16(folder_ + "nothing.png").c_str(), 0), 0);
  EXPECT_EQ(Image_Handle(1), handle);
  EXPECT_EQ(Image_Width(1), 6);
  EXPECT_EQ(Image_Height(1), 5);
  EXPECT_EQ(GetObjectType((HGDIOBJ)handle), (DWORD)OBJ_BITMAP);
  // An existing file no decoder accepts: the old bitmap is destroyed and the number empty.
  std::string text = file("readme.png", Bytes({'t', 'e', 'x', 't'}));
  EXPECT_EQ(Image_Load(1, path16(text).c_str(), 0), 0);
  EXPECT_EQ(Image_Handle(1), 0);
  EXPECT_EQ(Image_Width(1), 0);
  EXPECT_EQ(Image_Height(1), 0);
  EXPECT_EQ(GetObjectType((HGDIOBJ)handle), 0u);
  // A header-only BMP 40000 pixels wide.
  std::string wide = file("wide.bmp", bmpFile(40000, 1));
  ASSERT_NE(Image_Load(2, path16(wide).c_str(), 0), 0);
  EXPECT_EQ(Image_Width(2), -25536);
  EXPECT_EQ(Image_Height(2), 1);
}

TEST_F(WinImageTest, IconChoosesTheDeepestImageOfTheFirstSize) {
  Bytes ico = encodeIcon({
      {16, 16, 4, iconBitmapImage(16, 16, 4, 0)},
      {16, 16, 8, iconBitmapImage(16, 16, 8, 0x0000FF)},
      {16, 16, 32, iconBitmapImage(16, 16, 32, 0xFF00FF00)},
      {32, 32, 32, iconBitmapImage(32, 32, 32, 0xFFFF0000)},
      {16, 16, 32, iconBitmapImage(16, 16, 32, 0xFF0000FF)},  // a later twin is not chosen
  });
  std::string path = file("five.ico", ico);
  intptr_t handle = Image_Load(3, path16(path).c_str(), 0);
  ASSERT_NE(handle, 0);
  EXPECT_NE(GetObjectType((HGDIOBJ)handle), (DWORD)OBJ_BITMAP);
  const ImageRecord* record = Image_Record(3);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->format, FORMAT_ICON);
  EXPECT_EQ(Image_Width(3), 16);
  EXPECT_EQ(Image_Height(3), 16);
  EXPECT_EQ(record->depth, 32);
  EXPECT_EQ(record->sourceDepth, 32);
  // The colour is the third entry's green, not the twin's blue.
  ICONINFO info;
  ASSERT_TRUE(GetIconInfo((HICON)handle, &info));
  BITMAPINFO header = {};
  header.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  uint32_t pixels[256];
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetDIBits(dc, info.hbmColor, 0, 16, pixels, &header, DIB_RGB_COLORS), 16);
  DeleteDC(dc);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  EXPECT_EQ(pixels[0] & 0xFFFFFF, 0x00FF00u);
}

TEST_F(WinImageTest, IconLargerThanTheLimitIsRefused) {
  struct Case {
    uint8_t width, height;
    int32_t maxSide;
    bool loads;
  } cases[] = {{32, 32, 32, true},  {32, 32, 31, false}, {32, 16, 32, true},
               {32, 16, 16, false}, {16, 32, 32, true},  {16, 32, 16, false}};
  for (const Case& c : cases) {
    Bytes ico = encodeIcon({{c.width, c.height, 32, iconBitmapImage(c.width, c.height, 32, 0)}});
    std::string path = file("limit.ico", ico);
    EXPECT_EQ(Image_LoadWithin(8, path16(path).c_str(), 0, c.maxSide) != 0, c.loads)
        << (int)c.width << "x" << (int)c.height << " within " << c.maxSide;
    EXPECT_EQ(Image_Width(8), c.loads ? c.width : 0);
  }
}

TEST_F(WinImageTest, WithoutTheSystemFolderFlagLibrariesAreLoadedByTheirFullPath) {
  AlphaBlend_End();
  realLoadLibraryEx = (LoadLibraryExFn)patchImport("LoadLibraryExW", (void*)oldSystemLoad);
  ASSERT_NE(realLoadLibraryEx, nullptr);
  wchar_t folder[MAX_PATH];
  size_t length = GetSystemDirectoryW(folder, MAX_PATH);
  std::wstring inFolder = std::wstring(folder) + L"\\";
  refusal = ERROR_INVALID_PARAMETER;
  loads.clear();
  AlphaBlend_Start();
  EXPECT_TRUE(AlphaBlend_Available());
  typedef std::vector<std::pair<std::wstring, DWORD>> Loads;
  EXPECT_EQ(loads, (Loads{{L"msimg32.dll", LOAD_LIBRARY_SEARCH_SYSTEM32},
                          {inFolder + L"msimg32.dll", LOAD_WITH_ALTERED_SEARCH_PATH}}));
  // The longest name whose path fits is loaded by that path; one longer is not loaded at all.
  std::wstring longest(MAX_PATH - 2 - length, L'a');
  loads.clear();
  EXPECT_EQ(System_LoadLibrary(longest.c_str()), nullptr);
  EXPECT_EQ(System_LoadLibrary((longest + L"a").c_str()), nullptr);
  EXPECT_EQ(loads, (Loads{{longest, LOAD_LIBRARY_SEARCH_SYSTEM32},
                          {inFolder + longest, LOAD_WITH_ALTERED_SEARCH_PATH},
                          {longest + L"a", LOAD_LIBRARY_SEARCH_SYSTEM32}}));
  // Any other refusal is final.
  refusal = ERROR_MOD_NOT_FOUND;
  loads.clear();
  EXPECT_EQ(System_LoadLibrary(L"msimg32.dll"), nullptr);
  EXPECT_EQ(loads.size(), 1u);
  patchImport("LoadLibraryExW", (void*)realLoadLibraryEx);
}

TEST_F(WinImageTest, PngCompressedIconEntryKeepsItsSize) {
  Bytes ico = encodeIcon({{0, 0, 32, pngFile(256, 256, true)}});
  ASSERT_NE(Image_LoadMemory(4, ico.data(), (uint32_t)ico.size()), 0);
  const ImageRecord* record = Image_Record(4);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->format, FORMAT_ICON);
  EXPECT_EQ(Image_Width(4), 256);
  EXPECT_EQ(Image_Height(4), 256);
  EXPECT_EQ(record->depth, 32);
}

TEST_F(WinImageTest, MonochromeIconTakesItsSizeFromTheMask) {
  Bytes ico = encodeIcon({{32, 32, 1, iconBitmapImage(32, 32, 1, 0xFFFFFF)}});
  ASSERT_NE(Image_LoadMemory(5, ico.data(), (uint32_t)ico.size()), 0);
  const ImageRecord* record = Image_Record(5);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(Image_Width(5), 32);
  EXPECT_EQ(Image_Height(5), 32);
  EXPECT_TRUE(record->depth == 1 || record->depth == 32) << (int)record->depth;
}

TEST_F(WinImageTest, BrokenIconDirectoryIsNoIcon) {
  Bytes ico = encodeIcon({{16, 16, 32, iconBitmapImage(16, 16, 32, 0)}});
  ico[6 + 12] = 0xF0;  // the image offset now points far past the end
  ico[6 + 13] = 0xFF;
  EXPECT_EQ(Icon_FromMemory(ico.data(), (uint32_t)ico.size()), nullptr);
  EXPECT_EQ(Image_LoadMemory(6, ico.data(), (uint32_t)ico.size()), 0);
  Bytes empty = {0, 0, 1, 0, 0, 0};
  EXPECT_EQ(Icon_FromMemory(empty.data(), 6), nullptr);
}

TEST_F(WinImageTest, PremultipliedCopy) {
  ASSERT_TRUE(AlphaBlend_Available());
  void* bits;
  HBITMAP source = dib(3, 1, 32, 0, &bits);
  uint32_t* p = (uint32_t*)bits;
  p[0] = 0x803264C8;  // alpha 128, red 50, green 100, blue 200
  p[1] = 0x00FFFFFF;
  p[2] = 0xFF123456;
  HBITMAP copy = Bitmap_Premultiplied(source, nullptr, 0);
  ASSERT_NE(copy, nullptr);
  DIBSECTION section;
  ASSERT_EQ(GetObjectW(copy, sizeof section, &section), (int)sizeof section);
  EXPECT_EQ(section.dsBm.bmBitsPixel, 32);
  const uint32_t* q = (const uint32_t*)section.dsBm.bmBits;
  EXPECT_EQ(q[0], 0x80193264u);  // blue 100, green 50, red 25
  EXPECT_EQ(q[1], 0u);
  EXPECT_EQ(q[2], 0xFF123456u);
  Bitmap_AlphaDelete(copy);
  DeleteObject(source);
}

TEST_F(WinImageTest, WhatCountsAsHavingAlpha) {
  HBITMAP opaque32 = dib(2, 2, 32, 0xFFFFFFFF);
  HBITMAP rgb24 = dib(2, 2, 24, 0xFFFFFF);
  EXPECT_EQ(Bitmap_HasAlpha(opaque32), 1);  // every 32-bit DIB section, without a scan
  EXPECT_EQ(Bitmap_HasAlpha(rgb24), 0);
  // Device-dependent 32-bit bitmaps are scanned.
  uint32_t clear[4] = {0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF};
  uint32_t oneAlpha[4] = {0x00FFFFFF, 0x00FFFFFF, 0x01FFFFFF, 0x00FFFFFF};
  HBITMAP ddbClear = CreateBitmap(2, 2, 1, 32, clear);
  HBITMAP ddbAlpha = CreateBitmap(2, 2, 1, 32, oneAlpha);
  EXPECT_EQ(Bitmap_HasAlpha(ddbClear), 0);
  EXPECT_EQ(Bitmap_HasAlpha(ddbAlpha), 1);
  // An icon never counts.
  Bytes ico = encodeIcon({{16, 16, 32, iconBitmapImage(16, 16, 32, 0x80FF0000)}});
  ASSERT_NE(Image_LoadMemory(7, ico.data(), (uint32_t)ico.size()), 0);
  EXPECT_EQ(Bitmap_HasAlpha((HANDLE)Image_Handle(7)), 0);
  EXPECT_EQ(Bitmap_Premultiplied((HANDLE)Image_Handle(7), nullptr, 0), nullptr);
  // Without AlphaBlend nothing has alpha and no copy is made.
  AlphaBlend_End();
  EXPECT_EQ(Bitmap_HasAlpha(opaque32), 0);
  EXPECT_EQ(Bitmap_Premultiplied(opaque32, nullptr, 0), nullptr);
  AlphaBlend_Start();
  for (HBITMAP b : {opaque32, rgb24, ddbClear, ddbAlpha}) DeleteObject(b);
}

TEST_F(WinImageTest, AlphaDrawBlendsOverTheBackground) {
  // Destination: 4 x 1 of grey (0x40 each) in a 24-bit DIB selected into a memory DC.
  void* destBits;
  HBITMAP dest = dib(4, 1, 24, 0x404040, &destBits);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, dest);
  // Source: opaque red, clear, half-transparent white.
  void* srcBits;
  HBITMAP source = dib(3, 1, 32, 0, &srcBits);
  uint32_t* s = (uint32_t*)srcBits;
  s[0] = 0xFFFF0000;
  s[1] = 0x00FFFFFF;
  s[2] = 0x80FFFFFF;
  HBITMAP copy = Bitmap_Premultiplied(source, nullptr, 0);
  ASSERT_NE(copy, nullptr);
  Bitmap_AlphaDraw(dc, 1, 0, 0, 0, copy, nullptr, 255);  // its own size, at x = 1
  GdiFlush();
  const uint8_t* d = (const uint8_t*)destBits;
  auto within1 = [](int a, int b) { return a - b <= 1 && b - a <= 1; };
  EXPECT_EQ(d[0], 0x40);  // left of the drawing: untouched
  EXPECT_TRUE(d[3] == 0 && d[4] == 0 && d[5] == 0xFF)
      << (int)d[3] << "," << (int)d[4] << "," << (int)d[5];
  EXPECT_TRUE(d[6] == 0x40 && d[7] == 0x40 && d[8] == 0x40);  // clear: background shows
  // 0x80 of white (premultiplied 0x7F) over 0x40: 0x7F + 0x40 * 0x7F / 255 = 0x9F.
  EXPECT_TRUE(within1(d[9], 0x9F) && within1(d[10], 0x9F) && within1(d[11], 0x9F)) << (int)d[9];

  // With a memory DC of the caller's: the DC gets its previous object back.
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ before = GetCurrentObject(memory, OBJ_BITMAP);
  Bitmap_AlphaDraw(dc, 0, 0, 1, 1, copy, memory, 255);
  EXPECT_EQ(GetCurrentObject(memory, OBJ_BITMAP), before);
  DeleteDC(memory);

  Bitmap_AlphaDelete(copy);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(dest);
  DeleteObject(source);
}
