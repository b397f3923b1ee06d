// The bad-picture matrix through the loader: every damaged or hostile file a picture folder
// can hold, loaded into a number that already shows a picture. A file the loader refuses
// empties the number (no handle, sides 0, its bitmap destroyed); one it accepts shows exactly
// what its data holds. Natively under ASan/UBSan any read or write outside a buffer fails too.
// Cases already covered by png_test, bmp_test and image_test are listed in docs/RELIABILITY.md
// and not repeated here.
#include <string.h>

#include <string>
#include <vector>

#include "image/decoder.h"
#include "image/record.h"
#include "runtime/accounting.h"
#include "tests/support/bad_pictures.h"
#include "tests/support/image_fixture.h"

#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace testpics;
using namespace badpics;

namespace {

class BadPictureTest : public ImageLibraryTest {
 protected:
  // Loads `file` into number 5, which held a good picture; true if the loader accepted it.
  // A refusal must leave the number empty and destroy the old bitmap.
  bool loadOverGood(const Bytes& file) {
    Bytes good = goodPng();
    EXPECT_NE(Image_LoadMemory(5, good.data(), (uint32_t)good.size()), 0);
    int64_t live = Account_Live(ACCOUNT_BITMAP) + Account_Live(ACCOUNT_ICON);
    bool loaded = Image_LoadMemory(5, file.data(), (uint32_t)file.size()) != 0;
    int64_t after = Account_Live(ACCOUNT_BITMAP) + Account_Live(ACCOUNT_ICON);
    if (!loaded) {
      EXPECT_EQ(Image_Handle(5), 0);
      EXPECT_EQ(Image_Width(5), 0);
      EXPECT_EQ(Image_Height(5), 0);
      EXPECT_EQ(after, live - 1);
    } else {
      EXPECT_NE(Image_Handle(5), 0);
      EXPECT_EQ(after, live);
    }
    return loaded;
  }
};

TEST_F(BadPictureTest, EveryFolderCaseHasItsOutcome) {
  for (const Case& c : folderCases()) { EXPECT_EQ(loadOverGood(c.bytes), c.loads) << c.name; }
  // The same through a file named .png, as the program meets them.
  std::string folder = tempFolder("bad_pictures");
  int i = 0;
  for (const Case& c : folderCases()) {
    std::string name = folder + std::to_string(i++) + ".png";
    ASSERT_TRUE(writeFile(name, c.bytes));
    EXPECT_EQ(Image_Load(6, path16(name).c_str(), 0) != 0, c.loads) << c.name;
    if (!c.loads) { EXPECT_EQ(Image_Handle(6), 0) << c.name; }
  }
}

TEST_F(BadPictureTest, PngCutAtEveryOffset) {
  // A file cut anywhere before the end of its last image data chunk (CRC included) is refused;
  // past that only the end chunk is missing, which is never read.
  Bytes good = goodPng();
  size_t dataEnd = 0;
  for (const Chunk& c : chunksOf(good))
    if (c.type == "IDAT") dataEnd = c.offset + 12 + c.length;
  ASSERT_GT(dataEnd, 0u);
  for (size_t n = 0; n <= good.size(); n++) {
    Bytes cut(good.begin(), good.begin() + n);
    EXPECT_EQ(loadOverGood(cut), n >= dataEnd) << "cut at " << n << " of " << good.size();
  }
}

TEST_F(BadPictureTest, PngChunksThatLie) {
  Bytes good = goodPng();
  // A bad CRC in an ancillary chunk drops only that chunk: same pixels as without it.
  Bytes text = withChunkAfterHeader(good, "tEXt", Bytes({'k', 0, 'v'}), false);
  auto pixels = [] {
    BitmapView v = viewOf(5);
    std::vector<uint32_t> out;
    for (int y = 0; y < v.rows; y++)
      for (int x = 0; x < v.width; x++) out.push_back(pixelAt(v, x, y));
    return out;
  };
  ASSERT_TRUE(loadOverGood(text));
  std::vector<uint32_t> withText = pixels();
  ASSERT_TRUE(loadOverGood(good));
  EXPECT_EQ(withText, pixels());
  // An unknown critical chunk, and one with a good CRC but a length past the end.
  EXPECT_FALSE(loadOverGood(withChunkAfterHeader(good, "XYZW", Bytes(4, 1), true)));
  Bytes longChunk = withChunkAfterHeader(good, "tEXt", Bytes({'k', 0, 'v'}), true);
  longChunk[33] = 0x7F;  // its length's top byte
  EXPECT_FALSE(loadOverGood(longChunk));
  // Fewer rows in the data than the header claims.
  EXPECT_FALSE(loadOverGood(withSize(good, 5, 40)));
  // A palette picture with its palette taken out.
  PngSpec s;
  s.colourType = 3;
  s.bitDepth = 8;
  s.palette = {1, 2, 3};
  s.rows = {{0}};
  Bytes palette = encodePng(s), noPalette;
  for (const Chunk& c : chunksOf(palette)) {
    if (c.type == "PLTE") {
      noPalette = palette;
      noPalette.erase(noPalette.begin() + (long)c.offset,
                      noPalette.begin() + (long)(c.offset + 12 + c.length));
    }
  }
  ASSERT_FALSE(noPalette.empty());
  EXPECT_TRUE(loadOverGood(palette));
  EXPECT_FALSE(loadOverGood(noPalette));
  // Colour type and depth that do not go together (16-bit palette), and an unknown
  // compression method.
  Bytes mismatch = palette;
  mismatch[24] = 16;
  fixCrc(mismatch, 8);
  EXPECT_FALSE(loadOverGood(mismatch));
  Bytes method = good;
  method[26] = 1;
  fixCrc(method, 8);
  EXPECT_FALSE(loadOverGood(method));
}

TEST_F(BadPictureTest, VeryWidePngs) {
  // 40000 pixels: loads, and the record's 16-bit side reads back as it does for BMP files.
  ASSERT_TRUE(loadOverGood(wideRgbaPng(40000)));
  EXPECT_EQ(Image_Width(5), (int16_t)40000);
  EXPECT_EQ(viewOf(5).width, 40000);
  // 1,000,000 pixels is libpng's own limit, still accepted; one more is not.
  ASSERT_TRUE(loadOverGood(wideRgbaPng(1000000)));
  EXPECT_EQ(viewOf(5).width, 1000000);
  EXPECT_EQ(Image_Height(5), 1);
  EXPECT_FALSE(loadOverGood(withSize(wideRgbaPng(1000000), 1000001, 1)));
  EXPECT_FALSE(loadOverGood(withSize(goodPng(), 0x7FFFFFFF, 0x7FFFFFFF)));
}

TEST_F(BadPictureTest, BmpHeadersThatLie) {
  BmpSpec s;
  s.width = 2;
  s.height = 2;
  s.bitCount = 8;
  s.colourTable = {0xFF0000, 0x00FF00};
  s.pixels = padRows({Bytes({0, 1}), Bytes({1, 0})});
  Bytes good = encodeBmp(s);
  ASSERT_TRUE(loadOverGood(good));
  // A colour table said to hold four billion entries: the count is never consulted, so the
  // file shows what the good one shows.
  Bytes colours = good;
  memset(&colours[46], 0xFF, 4);
  ASSERT_TRUE(loadOverGood(colours));
  EXPECT_EQ(pixelAt(viewOf(5), 0, 1), 0xFF0000u);
  EXPECT_EQ(pixelAt(viewOf(5), 1, 1), 0x00FF00u);
  EXPECT_EQ(pixelAt(viewOf(5), 0, 0), 0x00FF00u);
  // A negative width is refused. An unknown compression on 8-bit rows is read as plain rows
  // (only RLE4 and 16-bit layouts other than bit fields are left black).
  Bytes negative = good;
  memset(&negative[18], 0xFF, 4);
  EXPECT_FALSE(loadOverGood(negative));
  Bytes compression = good;
  compression[30] = 9;
  ASSERT_TRUE(loadOverGood(compression));
  EXPECT_EQ(pixelAt(viewOf(5), 0, 1), 0xFF0000u);
  EXPECT_EQ(pixelAt(viewOf(5), 1, 1), 0x00FF00u);
}

// -------------------------------------------------------------------------------------------
// Names

#ifdef _WIN32
bool makeFolder(const std::wstring& path) {
  return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}
bool writeWide(const std::wstring& path, const Bytes& bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok =
      WriteFile(f, bytes.data(), (DWORD)bytes.size(), &written, nullptr) && written == bytes.size();
  CloseHandle(f);
  return ok;
}
#endif

TEST_F(BadPictureTest, NonAsciiFolderName) {
  Bytes good = goodPng();
  std::u16string name = u"B\u00e4lle \u7403 \u00e9t\u00e9";
#ifdef _WIN32
  std::string base = tempFolder("names");
  std::wstring folder(base.begin(), base.end());
  folder += std::wstring(name.begin(), name.end()) + L"\\";
  ASSERT_TRUE(makeFolder(folder));
  ASSERT_TRUE(writeWide(folder + L"1.png", good));
  std::u16string path(folder.begin(), folder.end());
#else
  std::string base = tempFolder("names");
  std::string folder = base + "B\xc3\xa4lle \xe7\x90\x83 \xc3\xa9t\xc3\xa9/";
  mkdir(folder.c_str(), 0700);
  ASSERT_TRUE(writeFile(folder + "1.png", good));
  std::u16string path(base.begin(), base.end());
  path += name + u"/";
#endif
  path += u"1.png";
  EXPECT_NE(Image_Load(7, (const Char16*)path.c_str(), 0), 0);
  EXPECT_EQ(Image_Width(7), 5);
  // A name with an unpaired surrogate names no file: the number keeps its picture.
  std::u16string broken = path;
  broken[broken.size() - 5] = 0xD800;
  EXPECT_EQ(Image_Load(7, (const Char16*)broken.c_str(), 0), 0);
  EXPECT_EQ(Image_Width(7), 5);
}

TEST_F(BadPictureTest, PathLongerThanMaxPath) {
  // A name of 300 characters or so: it either opens (native file systems allow it) or fails
  // as a missing file does, leaving the number as it was. Never a crash or a cut name.
  Bytes good = goodPng();
  ASSERT_TRUE(loadOverGood(good));
  std::string base = tempFolder("long");
  std::string folder = base;
  std::string part(60, 'd');
  for (int i = 0; i < 5; i++) {
    folder += part + std::to_string(i);
#ifdef _WIN32
    std::string prefixed = "\\\\?\\" + folder;  // long names only through the wide calls
    CreateDirectoryW(std::wstring(prefixed.begin(), prefixed.end()).c_str(), nullptr);
    folder += "\\";
#else
    mkdir(folder.c_str(), 0700);
    folder += "/";
#endif
  }
  std::string file = folder + "1.png";
  ASSERT_GT(file.size(), 260u);
#ifdef _WIN32
  std::string prefixed = "\\\\?\\" + file;
  ASSERT_TRUE(writeWide(std::wstring(prefixed.begin(), prefixed.end()), good));
#else
  ASSERT_TRUE(writeFile(file, good));
#endif
  Bytes wide = wideRgbaPng(7);
  ASSERT_NE(Image_LoadMemory(8, wide.data(), (uint32_t)wide.size()), 0);
  intptr_t result = Image_Load(8, path16(file).c_str(), 0);
  if (result) {
    EXPECT_EQ(Image_Width(8), 5);
  } else {
    EXPECT_EQ(Image_Width(8), 7);  // as a missing file: the old picture stays
  }
#ifndef _WIN32
  EXPECT_NE(result, 0);
#endif
}

}  // namespace
