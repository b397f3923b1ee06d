#include "tests/support/pictures.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace testpics {
namespace {
void put16(Bytes& b, uint32_t v) {
  b.push_back((uint8_t)v);
  b.push_back((uint8_t)(v >> 8));
}
void put32(Bytes& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

}  // namespace

Bytes encodeBmp(const BmpSpec& spec) {
  Bytes b;
  uint32_t tableBytes = (uint32_t)spec.colourTable.size() * 4;
  uint32_t pixelOffset = 14 + spec.infoHeaderSize + tableBytes;
  b.push_back('B');
  b.push_back('M');
  put32(b, pixelOffset + (uint32_t)spec.pixels.size());
  put32(b, 0);  // both reserved words
  put32(b, pixelOffset);
  put32(b, spec.infoHeaderSize);
  put32(b, (uint32_t)spec.width);
  put32(b, (uint32_t)spec.height);
  put16(b, 1);
  put16(b, spec.bitCount);
  put32(b, spec.compression);
  put32(b, (uint32_t)spec.pixels.size());
  put32(b, 2835);
  put32(b, 2835);
  put32(b, (uint32_t)spec.colourTable.size());
  put32(b, 0);
  b.resize(14 + spec.infoHeaderSize, 0);  // longer headers: zero-filled tail
  for (uint32_t c : spec.colourTable) put32(b, c & 0xFFFFFF);
  b.insert(b.end(), spec.pixels.begin(), spec.pixels.end());
  return b;
}

Bytes padRows(const std::vector<Bytes>& rows) {
  Bytes out;
  for (const Bytes& row : rows) {
    out.insert(out.end(), row.begin(), row.end());
    while (out.size() % 4) out.push_back(0);
  }
  return out;
}

Bytes flatPng(int side, uint32_t argb, bool alpha) {
  PngSpec s;
  s.width = s.height = side;
  s.colourType = alpha ? 6 : 2;
  Bytes pixel = {(uint8_t)(argb >> 16), (uint8_t)(argb >> 8), (uint8_t)argb};
  if (alpha) pixel.push_back((uint8_t)(argb >> 24));
  Bytes row;
  for (int x = 0; x < side; x++) row.insert(row.end(), pixel.begin(), pixel.end());
  s.rows.assign((size_t)side, row);
  return encodePng(s);
}

Bytes topDownRedOverBlack() {
  BmpSpec s;
  s.width = 2;
  s.height = -4;
  s.bitCount = 8;
  s.compression = 1;
  s.colourTable = {0, 0xFF0000};
  s.pixels = {2, 1, 0, 0, 2, 1, 0, 1};  // a run of two red, end of row; again; end of picture
  return encodeBmp(s);
}

Bytes encodeIcon(const std::vector<IconEntry>& entries) {
  Bytes b;
  put16(b, 0);
  put16(b, 1);
  put16(b, (uint32_t)entries.size());
  uint32_t offset = 6 + 16 * (uint32_t)entries.size();
  for (const IconEntry& e : entries) {
    b.push_back(e.width);
    b.push_back(e.height);
    b.push_back(0);
    b.push_back(0);
    put16(b, 1);
    put16(b, e.bitCount);
    put32(b, (uint32_t)e.image.size());
    put32(b, offset);
    offset += (uint32_t)e.image.size();
  }
  for (const IconEntry& e : entries) b.insert(b.end(), e.image.begin(), e.image.end());
  return b;
}

Bytes iconBitmapImage(int width, int height, int bitCount, uint32_t bgra) {
  Bytes b;
  put32(b, 40);
  put32(b, (uint32_t)width);
  put32(b, (uint32_t)(2 * height));  // colour and mask halves
  put16(b, 1);
  put16(b, (uint32_t)bitCount);
  put32(b, 0);
  put32(b, 0);
  put32(b, 0);
  put32(b, 0);
  put32(b, 0);
  put32(b, 0);
  int paletteEntries = bitCount <= 8 ? 1 << bitCount : 0;
  for (int i = 0; i < paletteEntries; i++) put32(b, i == 1 ? bgra & 0xFFFFFF : 0);
  int colourRow = ((width * bitCount + 31) / 32) * 4;
  for (int y = 0; y < height; y++) {
    for (int x = 0; x < colourRow; x++) {
      uint8_t byte = 0;
      if (bitCount == 32) byte = (uint8_t)(bgra >> (8 * (x % 4)));
      else if (bitCount == 24) byte = (uint8_t)(bgra >> (8 * (x % 3)));
      else if (bitCount == 8) byte = 1;
      else if (bitCount == 4) byte = 0x11;
      else if (bitCount == 1) byte = 0xFF;
      b.push_back(byte);
    }
  }
  int maskRow = ((width + 31) / 32) * 4;
  b.insert(b.end(), (size_t)maskRow * (size_t)height, 0);
  return b;
}

const PngKind kPngKinds[9] = {{0, 1, false, false}, {0, 16, true, true}, {2, 8, false, true},
                              {2, 16, true, false}, {3, 4, false, true}, {3, 8, true, false},
                              {4, 8, false, false}, {6, 8, true, false}, {6, 16, false, false}};

Bytes samplePng(int type, int depth, bool interlace, bool trns, int width, int height) {
  PngSpec s;
  s.width = width;
  s.height = height;
  s.colourType = type;
  s.bitDepth = depth;
  s.interlace = interlace;
  int channels = type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 1;
  if (type == 3) s.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
  if (trns && type == 3) s.paletteAlpha = {0, 128};
  if (trns && (type == 0 || type == 2)) s.hasTransparentColour = true;
  size_t rowBytes = ((size_t)width * channels * depth + 7) / 8;
  for (int y = 0; y < height; y++) {
    Bytes row(rowBytes);
    for (size_t i = 0; i < rowBytes; i++) row[i] = (uint8_t)(i * 37 + y * 11);
    if (type == 3)
      for (auto& b : row) b &= depth == 8 ? 3 : (depth == 1 ? 0xFF : 0x33);
    s.rows.push_back(row);
  }
  return encodePng(s);
}

Bytes sampleBmp(uint16_t bits, uint32_t compression, const Bytes& pixels) {
  BmpSpec s;
  s.width = 5;
  s.height = 3;
  s.bitCount = bits;
  s.compression = compression;
  if (bits <= 8) s.colourTable = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  if (compression == 3) s.colourTable = {0xF800, 0x07E0, 0x001F};
  s.pixels = pixels;
  return encodeBmp(s);
}

std::string tempFolder(const std::string& name) {
#ifdef _WIN32
  std::string base = getenv("TEMP") ? getenv("TEMP") : ".";
  std::string folder = base + "\\vorellis-" + name;
  mkdir(folder.c_str());
  return folder + "\\";
#else
  std::string folder = "/tmp/vorellis-test-" + name + "-" + std::to_string(getpid());
  mkdir(folder.c_str(), 0700);
  return folder + "/";
#endif
}

}  // namespace testpics
