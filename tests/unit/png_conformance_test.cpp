// Every PNG of libpng's own test sets (pngsuite, testpngs and its crashers, from the libpng
// source that scripts/setup unpacks, or the copy in the Windows test bundle) loaded through
// Image_Load and compared, pixel by pixel, with an independent decode: libpng's low-level reader
// with no transformation but de-interlacing, and the samples unpacked, expanded and looked up here.
// No gamma correction; 16-bit samples keep their high byte. Files that this reference rejects must
// fail to load and leave the number empty.
#include <gtest/gtest.h>
#include <png.h>
#include <setjmp.h>

#include <algorithm>
#include <filesystem>

#include "image/decoder.h"
#include "image/record.h"
#include "tests/support/image_fixture.h"

namespace {
struct Reference {
  bool ok = false;
  int width = 0, height = 0;
  bool alpha = false;
  std::vector<uint32_t> pixels;  // 0xAARRGGBB (0xRRGGBB without alpha), top row first
};

struct Reader {
  const Bytes* data;
  size_t position;
};

void readFromBytes(png_structp png, png_bytep out, size_t length) {
  Reader* r = (Reader*)png_get_io_ptr(png);
  if (r->data->size() - r->position < length) png_error(png, "short");
  memcpy(out, r->data->data() + r->position, length);
  r->position += length;
}
void quietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void quietWarning(png_structp, png_const_charp) {}
png_voidp boundedAlloc(png_structp, png_alloc_size_t size) {
  return size > (64u << 20) ? nullptr : malloc(size);
}
void boundedFree(png_structp, png_voidp block) { free(block); }

uint32_t sampleAt(const uint8_t* row, size_t i, int depth) {
  if (depth == 16) return (uint32_t)row[2 * i] << 8 | row[2 * i + 1];
  if (depth == 8) return row[i];
  size_t bit = i * depth;
  return (row[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
}

uint32_t to8(uint32_t sample, int depth) {
  if (depth == 16) return sample >> 8;
  return sample * 255 / ((1u << depth) - 1);
}

// Raw rows into `rows`; false on any libpng error. Kept apart from the unpacking so that no
// object with a destructor lives in the function that calls setjmp.
bool readRaw(png_structp png, png_bytep* rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  return true;
}

bool readInfo(png_structp png, png_infop info) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  return true;
}

Reference decodeReference(const Bytes& file) {
  Reference ref;
  Reader reader{&file, 0};
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietWarning);
  png_infop info = png_create_info_struct(png);
  // The loader's bounds, so that the crashers that claim 2 GiB chunks stay quick here too.
  png_set_chunk_malloc_max(png, 8000000);
  png_set_mem_fn(png, nullptr, boundedAlloc, boundedFree);
  png_set_read_fn(png, &reader, readFromBytes);
  if (!readInfo(png, info)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return ref;
  }
  int width = (int)png_get_image_width(png, info), height = (int)png_get_image_height(png, info);
  int depth = png_get_bit_depth(png, info), type = png_get_color_type(png, info);
  std::vector<Bytes> storage(height, Bytes(png_get_rowbytes(png, info)));
  std::vector<png_bytep> rows;
  for (Bytes& r : storage) rows.push_back(r.data());
  bool ok = readRaw(png, rows.data());
  png_colorp palette = nullptr;
  int paletteSize = 0;
  png_get_PLTE(png, info, &palette, &paletteSize);
  png_bytep trnsAlpha = nullptr;
  int trnsCount = 0;
  png_color_16p trnsColour = nullptr;
  bool trns = png_get_tRNS(png, info, &trnsAlpha, &trnsCount, &trnsColour) != 0;
  if (ok) {
    ref.ok = true;
    ref.width = width;
    ref.height = height;
    ref.alpha = trns || (type & PNG_COLOR_MASK_ALPHA);
    for (int y = 0; y < height; y++) {
      const uint8_t* row = storage[y].data();
      for (int x = 0; x < width; x++) {
        uint32_t r, g, b, a = 255;
        switch (type) {
          case PNG_COLOR_TYPE_GRAY: {
            uint32_t s = sampleAt(row, x, depth);
            r = g = b = to8(s, depth);
            if (trns && s == trnsColour->gray) a = 0;
            break;
          }
          case PNG_COLOR_TYPE_RGB: {
            uint32_t sr = sampleAt(row, 3 * x, depth), sg = sampleAt(row, 3 * x + 1, depth),
                     sb = sampleAt(row, 3 * x + 2, depth);
            r = to8(sr, depth), g = to8(sg, depth), b = to8(sb, depth);
            if (trns && sr == trnsColour->red && sg == trnsColour->green && sb == trnsColour->blue)
              a = 0;
            break;
          }
          case PNG_COLOR_TYPE_PALETTE: {
            uint32_t i = sampleAt(row, x, depth);
            png_color c = (int)i < paletteSize ? palette[i] : png_color{0, 0, 0};
            r = c.red, g = c.green, b = c.blue;
            if (trns && (int)i < trnsCount) a = trnsAlpha[i];
            break;
          }
          case PNG_COLOR_TYPE_GRAY_ALPHA:
            r = g = b = to8(sampleAt(row, 2 * x, depth), depth);
            a = to8(sampleAt(row, 2 * x + 1, depth), depth);
            break;
          default:
            r = to8(sampleAt(row, 4 * x, depth), depth);
            g = to8(sampleAt(row, 4 * x + 1, depth), depth);
            b = to8(sampleAt(row, 4 * x + 2, depth), depth);
            a = to8(sampleAt(row, 4 * x + 3, depth), depth);
            break;
        }
        ref.pixels.push_back((ref.alpha ? a << 24 : 0) | r << 16 | g << 8 | b);
      }
    }
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return ref;
}

std::string libpngFolder() {
  namespace fs = std::filesystem;
#ifdef _WIN32
  // In the Windows test bundle the test sets lie beside the program.
  wchar_t exe[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  fs::path beside = fs::path(std::wstring(exe, length)).parent_path() / "libpng-contrib";
  if (length > 0 && length < MAX_PATH && fs::is_directory(beside)) return beside.string() + "/";
#endif
  // CMake compiles sources by absolute path: the tree's root is this file's folder, two up.
  std::string self = __FILE__;
  std::string root = self.substr(0, self.rfind("tests/unit/")) + "third_party";
#ifdef _WIN32
  root = "Z:" + root;  // Wine's drive for the Unix root
#endif
  for (const auto& e : fs::directory_iterator(root))
    if (e.path().filename().string().rfind("libpng1.6-", 0) == 0 && e.is_directory())
      return e.path().string() + "/contrib/";
  return "";
}

Bytes readBytes(const std::string& path) {
  Bytes out;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return out;
  uint8_t buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) out.insert(out.end(), buffer, buffer + n);
  fclose(f);
  return out;
}
}  // namespace

class PngConformanceTest : public ImageLibraryTest {};

TEST_F(PngConformanceTest, LibpngTestSetsDecodeAsTheReferenceDoes) {
  namespace fs = std::filesystem;
  std::string contrib = libpngFolder();
  ASSERT_FALSE(contrib.empty()) << "libpng source missing: run scripts/setup";
  std::vector<std::string> files;
  for (const char* folder : {"pngsuite", "pngsuite/interlaced", "testpngs", "testpngs/crashers"})
    for (const auto& e : fs::directory_iterator(contrib + folder))
      if (e.path().extension() == ".png") files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 180u);

  int accepted = 0, rejected = 0;
  Bytes placeholder = testpics::encodePng(
      testpics::PngSpec{1, 1, 2, 8, false, {}, {}, false, 0, 0, 0, 0, {{1, 2, 3}}});
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    Reference ref = decodeReference(readBytes(path));
    ASSERT_NE(Image_LoadMemory(7, placeholder.data(), (uint32_t)placeholder.size()), 0);
    intptr_t handle = Image_Load(7, path16(path).c_str(), 0);
    if (!ref.ok) {
      rejected++;
      EXPECT_EQ(handle, 0);
      EXPECT_EQ(Image_Handle(7), 0);
      EXPECT_EQ(Image_Width(7), 0);
      continue;
    }
    accepted++;
    ASSERT_NE(handle, 0);
    const ImageRecord* record = Image_Record(7);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->format, FORMAT_PNG);
    EXPECT_EQ(record->depth, ref.alpha ? 32 : 24);
    BitmapView view = viewOf(7);
    ASSERT_EQ(view.width, ref.width);
    ASSERT_EQ(view.rows, ref.height);
    ASSERT_TRUE(view.bottomUp);
    int mismatches = 0;
    for (int y = 0; y < ref.height; y++)
      for (int x = 0; x < ref.width; x++) {
        uint32_t want = ref.pixels[(size_t)y * ref.width + x], got = pixelAt(view, x, y);
        if (want != got && mismatches++ < 3)
          ADD_FAILURE() << "pixel " << x << "," << y << ": expected " << std::hex << want
                        << ", decoded " << got;
      }
    EXPECT_EQ(mismatches, 0);
  }
  printf("libpng test sets: %d files decoded as the reference does, %d rejected by both\n",
         accepted, rejected);
}
