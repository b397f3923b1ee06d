// Test pictures made by the tests themselves: PNG files written with libpng's writing API,
// BMP files and icon files assembled byte by byte. Everything is built in memory; writeFile
// puts a picture on disk for the file-loading tests.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

namespace testpics {

struct PngSpec {
  int width = 1;
  int height = 1;
  int colourType = 2;  // PNG_COLOR_TYPE_*
  int bitDepth = 8;
  bool interlace = false;
  std::vector<uint8_t> palette;  // r, g, b triples
  std::vector<uint8_t> paletteAlpha;  // tRNS for palette pictures
  bool hasTransparentColour = false;  // tRNS for grey and RGB pictures
  uint16_t transparentGrey = 0;
  uint16_t transparentRed = 0, transparentGreen = 0, transparentBlue = 0;
  // Rows top first, in the file's packed sample layout (16-bit samples big-endian).
  std::vector<Bytes> rows;
};
Bytes encodePng(const PngSpec& spec);

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

struct IconEntry {
  uint8_t width;   // 0 for 256
  uint8_t height;
  uint16_t bitCount;
  Bytes image;     // a BITMAPINFOHEADER image or a PNG file
};
Bytes encodeIcon(const std::vector<IconEntry>& entries);
// An icon image with a BITMAPINFOHEADER: 32 bits, every pixel `bgra`, an all-clear AND mask.
Bytes iconBitmapImage(int width, int height, int bitCount, uint32_t bgra);

bool writeFile(const std::string& path, const Bytes& bytes);
// A fresh empty folder for one test's files, with a trailing slash.
std::string tempFolder(const std::string& name);

}  // namespace testpics
