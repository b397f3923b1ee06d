// Test pictures made by the tests themselves: PNG files written with libpng's writing API,
// BMP files and icon files assembled byte by byte. Everything is built in memory; writeFile
// puts a picture on disk for the file-loading tests.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "tools/common/png_encode.h"

namespace testpics {

using pngenc::encodePng;
using pngenc::PngSpec;
using pngenc::writeFile;

struct BmpSpec {
  int32_t width = 1;
  int32_t height = 1;
  uint16_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t infoHeaderSize = 40;
  std::vector<uint32_t> colourTable;  // 0x00RRGGBB words, stored blue, green, red, 0
  Bytes pixels;                       // the pixel data as stored (rows bottom first, padded)
};
Bytes encodeBmp(const BmpSpec& spec);
// Stored rows padded to 4 bytes each and joined, first stored row first.
Bytes padRows(const std::vector<Bytes>& rows);
// A side x side PNG of one colour: RGB, or RGBA with `argb`'s top byte as alpha.
Bytes flatPng(int side, uint32_t argb, bool alpha = false);
// A 2 x 4 RLE8 BMP of negative height (a top-down picture): two red rows over two black ones.
Bytes topDownRedOverBlack();

struct IconEntry {
  uint8_t width;  // 0 for 256
  uint8_t height;
  uint16_t bitCount;
  Bytes image;  // a BITMAPINFOHEADER image or a PNG file
};
Bytes encodeIcon(const std::vector<IconEntry>& entries);
// An icon image with a BITMAPINFOHEADER: 32 bits, every pixel `bgra`, an all-clear AND mask.
Bytes iconBitmapImage(int width, int height, int bitCount, uint32_t bgra);

// Small pictures of every kind for the loaders: a width x height PNG of colour type `type` and
// bit depth `depth` (palette indices kept inside its 4-entry palette), optionally interlaced
// and with tRNS; and a 5 x 3 BMP of `bits` per pixel with the stored `pixels`.
Bytes samplePng(int type, int depth, bool interlace, bool trns, int width, int height);
// One PNG of each colour type and depth the loader converts differently, for samplePng.
struct PngKind {
  int type, depth;
  bool interlace, trns;
};
extern const PngKind kPngKinds[9];
Bytes sampleBmp(uint16_t bits, uint32_t compression, const Bytes& pixels);
// A fresh empty folder for one test's files, with a trailing slash.
std::string tempFolder(const std::string& name);

}  // namespace testpics
