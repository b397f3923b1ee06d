// Picture loading against its floor and its peers, on one corpus made at start:
//   PNG through the program's loader into a bitmap (Image_LoadMemory, the load path after the
//   file read) against the floor, a bare libpng decode of the same bytes with the same
//   transformations into a plain buffer, and against libspng and stb_image;
//   BMP through the program's loader against stb_image;
//   premultiplication against memcpy of the same buffer.
// Rows are "<case>:ours", "<case>:floor" (the baseline) and "<case>:spng" / "<case>:stb".
//
// Usage: bench_image [--demo=DIR] [benchmark flags]. DIR is a folder that make-demo-pictures
// filled (DIR/GFX/Balls, DIR/GFX/Stars); without it the demo row is left out.
#include <benchmark/benchmark.h>
#include <png.h>
#include <spng.h>
#include <stb_image.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "bench/common.h"
#include "image/alpha.h"
#include "image/bitmap.h"
#include "image/decoder.h"
#include "image/image.h"
#include "image/record.h"
#include "runtime/registry.h"
#include "tests/support/pictures.h"

namespace {

// Bytes: the picture writer's byte vector (tests/support/pictures.h).

struct Picture {
  std::string name;
  Bytes bytes;
};
typedef std::vector<Picture> PictureSet;

// ---- the corpus ----

const int kWidth = 1000;
const int kHeight = 750;

// A deterministic noise word per pixel: pictures compress like photographs, not like flat
// colour, so inflate and the row filters do a realistic share of the work.
uint32_t noise(uint32_t x, uint32_t y, uint32_t salt) {
  uint32_t h = x * 0x9E3779B1u ^ y * 0x85EBCA77u ^ salt * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  return h;
}

uint8_t channel(int x, int y, int c) {
  int smooth = c == 0   ? x * 255 / kWidth
               : c == 1 ? y * 255 / kHeight
                        : (x + y) * 255 / (kWidth + kHeight);
  return (uint8_t)(smooth + (int)(noise((uint32_t)x, (uint32_t)y, (uint32_t)c) & 7));
}

// A ball-like alpha: opaque disc, soft rim, clear corners.
uint8_t ballAlpha(int x, int y) {
  int dx = x - kWidth / 2, dy = y - kHeight / 2;
  int r = kHeight / 2 - 10;
  int d2 = dx * dx + dy * dy;
  if (d2 <= (r - 16) * (r - 16)) return 255;
  if (d2 >= r * r) return 0;
  return (uint8_t)(255 * (r * r - d2) / (r * r - (r - 16) * (r - 16)));
}

Bytes makeRgb(bool alpha, bool interlace) {
  testpics::PngSpec spec;
  spec.width = kWidth;
  spec.height = kHeight;
  spec.colourType = alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
  spec.interlace = interlace;
  for (int y = 0; y < kHeight; y++) {
    Bytes row;
    for (int x = 0; x < kWidth; x++) {
      for (int c = 0; c < 3; c++) row.push_back(channel(x, y, c));
      if (alpha) row.push_back(ballAlpha(x, y));
    }
    spec.rows.push_back(row);
  }
  return testpics::encodePng(spec);
}

Bytes makePalette() {
  testpics::PngSpec spec;
  spec.width = kWidth;
  spec.height = kHeight;
  spec.colourType = PNG_COLOR_TYPE_PALETTE;
  for (int i = 0; i < 256; i++) {
    spec.palette.insert(spec.palette.end(), {(uint8_t)i, (uint8_t)(255 - i), (uint8_t)(i * 7)});
    spec.paletteAlpha.push_back((uint8_t)(i < 16 ? 0 : i < 32 ? i * 8 : 255));
  }
  for (int y = 0; y < kHeight; y++) {
    Bytes row;
    for (int x = 0; x < kWidth; x++)
      row.push_back((uint8_t)((x / 8 + y / 8 + (noise((uint32_t)x, (uint32_t)y, 9) & 3)) & 255));
    spec.rows.push_back(row);
  }
  return testpics::encodePng(spec);
}

Bytes makeGrey16() {
  testpics::PngSpec spec;
  spec.width = kWidth;
  spec.height = kHeight;
  spec.colourType = PNG_COLOR_TYPE_GRAY;
  spec.bitDepth = 16;
  for (int y = 0; y < kHeight; y++) {
    Bytes row;
    for (int x = 0; x < kWidth; x++) {
      uint32_t v = (uint32_t)(x * 40 + y * 30) + (noise((uint32_t)x, (uint32_t)y, 5) & 255);
      row.push_back((uint8_t)(v >> 8));
      row.push_back((uint8_t)v);
    }
    spec.rows.push_back(row);
  }
  return testpics::encodePng(spec);
}

Bytes makeBmp(int bitCount) {
  testpics::BmpSpec spec;
  spec.width = kWidth;
  spec.height = kHeight;
  spec.bitCount = (uint16_t)bitCount;
  if (bitCount == 8)
    for (uint32_t i = 0; i < 256; i++)
      spec.colourTable.push_back(i << 16 | (255 - i) << 8 | (i * 7 & 255));
  std::vector<Bytes> rows;
  for (int y = kHeight - 1; y >= 0; y--) {  // stored bottom row first
    Bytes row;
    for (int x = 0; x < kWidth; x++) {
      if (bitCount == 8) {
        row.push_back((uint8_t)((x / 8 + y / 8) & 255));
      } else {
        for (int c = 2; c >= 0; c--) row.push_back(channel(x, y, c));
        if (bitCount == 32) row.push_back(ballAlpha(x, y));
      }
    }
    rows.push_back(row);
  }
  spec.pixels = testpics::padRows(rows);
  return testpics::encodeBmp(spec);
}

Bytes readFile(const std::string& path) {
  Bytes bytes;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return bytes;
  uint8_t buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0)
    bytes.insert(bytes.end(), buffer, buffer + n);
  fclose(file);
  return bytes;
}

PictureSet demoPictures(const std::string& folder) {
  PictureSet set;
  const char* groups[][2] = {{"Balls", "50"}, {"Stars", "12"}};
  for (auto& group : groups) {
    std::string base = folder + "/GFX/" + group[0] + "/";
    int count = atoi(group[1]);
    for (int v = 0; v <= count; v++) {
      std::string name = v == count ? "vide.png" : std::to_string(v) + ".png";
      Bytes bytes = readFile(base + name);
      if (bytes.empty()) {
        fprintf(stderr, "bench_image: cannot read %s\n", (base + name).c_str());
        return PictureSet();
      }
      set.push_back(Picture{base + name, bytes});
    }
  }
  return set;
}

// ---- the floor: libpng alone, the loader's transformations, a plain buffer ----

struct MemoryReader {
  const uint8_t* position;
  const uint8_t* end;
};

void readFromMemory(png_structp png, png_bytep destination, size_t length) {
  MemoryReader* reader = (MemoryReader*)png_get_io_ptr(png);
  if ((size_t)(reader->end - reader->position) < length) png_error(png, "short");
  memcpy(destination, reader->position, length);
  reader->position += length;
}

// Decodes into a fresh malloc'd buffer of top-down rows; null on failure. The requests are
// those of the program's decoder: tRNS to alpha, palette and grey to RGB, expand, strip 16,
// BGR order, interlace handling.
uint8_t* libpngDecode(const Bytes& file, png_uint_32* widthOut, png_uint_32* heightOut,
                      size_t* rowBytesOut) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  uint8_t* volatile pixels = nullptr;
  png_bytep* volatile rows = nullptr;
  if (setjmp(png_jmpbuf(png))) {
    free(pixels);
    free(rows);
    png_destroy_read_struct(&png, &info, nullptr);
    return nullptr;
  }
  MemoryReader reader = {file.data(), file.data() + file.size()};
  png_set_read_fn(png, &reader, readFromMemory);
  png_read_info(png, info);
  png_uint_32 width, height;
  int bitDepth, colourType, interlace, compression, filter;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, &interlace, &compression,
               &filter);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) {
    png_set_tRNS_to_alpha(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand(png);
  }
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
    if (bitDepth < 8) png_set_expand(png);
    png_set_gray_to_rgb(png);
  }
  if (bitDepth == 16) png_set_strip_16(png);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  size_t rowBytes = png_get_rowbytes(png, info);
  pixels = (uint8_t*)malloc(rowBytes * height);
  rows = (png_bytep*)malloc(sizeof(png_bytep) * height);
  if (!pixels || !rows) png_error(png, "no memory");
  for (png_uint_32 y = 0; y < height; y++) rows[y] = pixels + y * rowBytes;
  png_read_image(png, rows);
  png_read_end(png, nullptr);
  free(rows);
  png_destroy_read_struct(&png, &info, nullptr);
  *widthOut = width;
  *heightOut = height;
  *rowBytesOut = rowBytes;
  return pixels;
}

// ---- peers ----

bool wantsAlpha(const Bytes& file, int* colourType) {
  // IHDR's colour type, and whether a tRNS chunk comes before the image data.
  *colourType = file.size() > 25 ? file[25] : 0;
  if (*colourType == 4 || *colourType == 6) return true;
  for (size_t i = 8; i + 8 <= file.size();) {
    uint32_t length = (uint32_t)file[i] << 24 | file[i + 1] << 16 | file[i + 2] << 8 | file[i + 3];
    if (!memcmp(&file[i + 4], "tRNS", 4)) return true;
    if (!memcmp(&file[i + 4], "IDAT", 4)) return false;
    i += 12 + (size_t)length;
  }
  return false;
}

uint8_t* spngDecode(const Bytes& file, bool alpha, size_t* bytesOut) {
  spng_ctx* ctx = spng_ctx_new(0);
  if (!ctx) return nullptr;
  uint8_t* out = nullptr;
  size_t size = 0;
  int format = alpha ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8;
  if (spng_set_png_buffer(ctx, file.data(), file.size()) == 0 &&
      spng_decoded_image_size(ctx, format, &size) == 0) {
    out = (uint8_t*)malloc(size);
    if (out && spng_decode_image(ctx, out, size, format, SPNG_DECODE_TRNS) != 0) {
      free(out);
      out = nullptr;
    }
  }
  spng_ctx_free(ctx);
  *bytesOut = size;
  return out;
}

uint8_t* stbDecode(const Bytes& file, int channels) {
  int w, h, n;
  return stbi_load_from_memory(file.data(), (int)file.size(), &w, &h, &n, channels);
}

// ---- checks before timing: every decoder must accept every picture, and the floor must
// give exactly the program's pixels (otherwise it would not be the same decode) ----

bool samePixelsAsFloor(const Picture& picture) {
  if (!Image_LoadMemory(1, picture.bytes.data(), (uint32_t)picture.bytes.size())) return false;
  BitmapView view = {};
  if (!Bitmap_Describe((HANDLE)Image_Handle(1), &view)) return false;
  png_uint_32 width, height;
  size_t rowBytes;
  uint8_t* pixels = libpngDecode(picture.bytes, &width, &height, &rowBytes);
  bool same = pixels && (int32_t)width == view.width && (int32_t)height == view.rows &&
              rowBytes == (size_t)view.width * (size_t)view.bitCount / 8;
  for (png_uint_32 y = 0; same && y < height; y++)
    same = memcmp(BitmapView_Row(view, (int32_t)y), pixels + y * rowBytes, rowBytes) == 0;
  free(pixels);
  Image_Free(1);
  return same;
}

bool checkPngSet(const PictureSet& set) {
  for (const Picture& p : set) {
    int colourType;
    bool alpha = wantsAlpha(p.bytes, &colourType);
    size_t bytes;
    uint8_t* a = spngDecode(p.bytes, alpha, &bytes);
    uint8_t* b = stbDecode(p.bytes, alpha ? 4 : 3);
    bool ok = samePixelsAsFloor(p) && a && b;
    free(a);
    stbi_image_free(b);
    if (!ok) {
      fprintf(stderr, "bench_image: %s does not decode alike everywhere\n", p.name.c_str());
      return false;
    }
  }
  return true;
}

// ---- benchmark bodies; each iteration decodes the whole set once ----

void pngOurs(benchmark::State& state, const PictureSet* set) {
  for (auto _ : state)
    for (const Picture& p : *set)
      benchmark::DoNotOptimize(Image_LoadMemory(1, p.bytes.data(), (uint32_t)p.bytes.size()));
  Image_Free(OBJECT_ALL);
}

void pngFloor(benchmark::State& state, const PictureSet* set) {
  for (auto _ : state)
    for (const Picture& p : *set) {
      png_uint_32 w, h;
      size_t rowBytes;
      uint8_t* pixels = libpngDecode(p.bytes, &w, &h, &rowBytes);
      benchmark::DoNotOptimize(pixels);
      free(pixels);
    }
}

void pngSpng(benchmark::State& state, const PictureSet* set) {
  std::vector<bool> alpha;
  for (const Picture& p : *set) {
    int colourType;
    alpha.push_back(wantsAlpha(p.bytes, &colourType));
  }
  for (auto _ : state)
    for (size_t i = 0; i < set->size(); i++) {
      size_t bytes;
      uint8_t* pixels = spngDecode((*set)[i].bytes, alpha[i], &bytes);
      benchmark::DoNotOptimize(pixels);
      free(pixels);
    }
}

void pngStb(benchmark::State& state, const PictureSet* set) {
  std::vector<int> channels;
  for (const Picture& p : *set) {
    int colourType;
    channels.push_back(wantsAlpha(p.bytes, &colourType) ? 4 : 3);
  }
  for (auto _ : state)
    for (size_t i = 0; i < set->size(); i++) {
      uint8_t* pixels = stbDecode((*set)[i].bytes, channels[i]);
      benchmark::DoNotOptimize(pixels);
      stbi_image_free(pixels);
    }
}

void bmpOurs(benchmark::State& state, const Bytes* file) {
  for (auto _ : state)
    benchmark::DoNotOptimize(Image_LoadMemory(1, file->data(), (uint32_t)file->size()));
  Image_Free(OBJECT_ALL);
}

// The program's BMP bitmaps are always 24-bit: stb_image is asked for three channels too.
void bmpStb(benchmark::State& state, const Bytes* file) {
  for (auto _ : state) {
    uint8_t* pixels = stbDecode(*file, 3);
    benchmark::DoNotOptimize(pixels);
    stbi_image_free(pixels);
  }
}

// ---- premultiplication: a ball-like picture's pixels, 1000 x 750 ----

std::vector<uint32_t> alphaPicture() {
  std::vector<uint32_t> pixels;
  for (int y = 0; y < kHeight; y++)
    for (int x = 0; x < kWidth; x++)
      pixels.push_back((uint32_t)ballAlpha(x, y) << 24 | (uint32_t)channel(x, y, 0) << 16 |
                       (uint32_t)channel(x, y, 1) << 8 | channel(x, y, 2));
  return pixels;
}

// In place, as the image gadget does it on its copy; the alpha bytes never change, so every
// pass does the same work.
void premultiplyOurs(benchmark::State& state) {
  std::vector<uint32_t> pixels = alphaPicture();
  for (auto _ : state) {
    pixels::premultiply(pixels.data(), pixels.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)pixels.size() * 4);
}

void premultiplyFloor(benchmark::State& state) {
  std::vector<uint32_t> source = alphaPicture();
  std::vector<uint32_t> copy(source.size());
  for (auto _ : state) {
    memcpy(copy.data(), source.data(), source.size() * 4);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)source.size() * 4);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::string demoFolder;
  for (int i = 1; i < argc; i++)
    if (!strncmp(argv[i], "--demo=", 7)) demoFolder = argv[i] + 7;

  bench::startRuntimeCore();
  ImageDecoder_Start();
  BmpDecoder_Register();
  Image_Start();
  PngDecoder_Register();

  // Kept alive until the run ends: the benchmarks refer to them.
  static std::vector<std::pair<std::string, PictureSet>> pngCases;
  pngCases.push_back({"png_rgb", {{"rgb", makeRgb(false, false)}}});
  pngCases.push_back({"png_rgba", {{"rgba", makeRgb(true, false)}}});
  pngCases.push_back({"png_palette_trns", {{"palette", makePalette()}}});
  pngCases.push_back({"png_grey16", {{"grey16", makeGrey16()}}});
  pngCases.push_back({"png_adam7", {{"adam7", makeRgb(false, true)}}});
  if (!demoFolder.empty()) {
    PictureSet demo = demoPictures(demoFolder);
    if (demo.empty()) return 1;
    pngCases.push_back({"png_demo_set", demo});
  }
  for (auto& c : pngCases) {
    if (!checkPngSet(c.second)) return 1;
    benchmark::RegisterBenchmark((c.first + ":ours").c_str(), pngOurs, &c.second);
    benchmark::RegisterBenchmark((c.first + ":floor").c_str(), pngFloor, &c.second);
    benchmark::RegisterBenchmark((c.first + ":spng").c_str(), pngSpng, &c.second);
    benchmark::RegisterBenchmark((c.first + ":stb").c_str(), pngStb, &c.second);
  }

  static Bytes bmps[3] = {makeBmp(8), makeBmp(24), makeBmp(32)};
  const char* bmpNames[3] = {"bmp_8", "bmp_24", "bmp_32"};
  for (int i = 0; i < 3; i++) {
    if (!Image_LoadMemory(1, bmps[i].data(), (uint32_t)bmps[i].size())) {
      fprintf(stderr, "bench_image: the loader refuses %s\n", bmpNames[i]);
      return 1;
    }
    benchmark::RegisterBenchmark((std::string(bmpNames[i]) + ":ours").c_str(), bmpOurs, &bmps[i]);
    benchmark::RegisterBenchmark((std::string(bmpNames[i]) + ":base").c_str(), bmpStb, &bmps[i]);
  }
  Image_Free(OBJECT_ALL);

  benchmark::RegisterBenchmark("premultiply:ours", premultiplyOurs);
  benchmark::RegisterBenchmark("premultiply:floor", premultiplyFloor);

  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Image_End();
  bench::endRuntimeCore();
  return 0;
}
