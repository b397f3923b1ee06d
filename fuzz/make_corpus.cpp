// make-fuzz-corpus DIR: writes the seed pictures of every fuzz target under DIR/<target>/,
// with the same writers the tests use. Small files only.
#include <stdio.h>
#include <sys/stat.h>

#include <string>

#include "tests/support/pictures.h"

using namespace testpics;

namespace {
Bytes png(int type, int depth, bool interlace, bool trns) {
  PngSpec s;
  s.width = 5;
  s.height = 4;
  s.colourType = type;
  s.bitDepth = depth;
  s.interlace = interlace;
  int channels = type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 1;
  if (type == 3) s.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
  if (trns && type == 3) s.paletteAlpha = {0, 128};
  if (trns && (type == 0 || type == 2)) s.hasTransparentColour = true;
  size_t rowBytes = ((size_t)s.width * channels * depth + 7) / 8;
  for (int y = 0; y < s.height; y++) {
    Bytes row(rowBytes);
    for (size_t i = 0; i < rowBytes; i++) row[i] = (uint8_t)(i * 37 + y * 11);
    if (type == 3) for (auto& b : row) b &= depth == 8 ? 3 : (depth == 1 ? 0xFF : 0x55);
    s.rows.push_back(row);
  }
  return encodePng(s);
}

Bytes bmp(uint16_t bits, uint32_t compression, Bytes pixels) {
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

void put(const std::string& dir, const std::string& name, const Bytes& b) {
  mkdir(dir.c_str(), 0755);
  writeFile(dir + "/" + name, b);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make-fuzz-corpus DIR\n");
    return 2;
  }
  std::string root = argv[1];
  mkdir(root.c_str(), 0755);
  struct P { int type, depth; bool interlace, trns; } pngs[] = {
      {0, 1, false, false}, {0, 16, true, true}, {2, 8, false, true}, {2, 16, true, false},
      {3, 4, false, true},  {3, 8, true, false}, {4, 8, false, false}, {6, 8, true, false},
      {6, 16, false, false}};
  for (const P& p : pngs) {
    std::string name = "t" + std::to_string(p.type) + "d" + std::to_string(p.depth) +
                       (p.interlace ? "i" : "") + (p.trns ? "t" : "") + ".png";
    Bytes b = png(p.type, p.depth, p.interlace, p.trns);
    put(root + "/fuzz_png", name, b);
    put(root + "/fuzz_load", name, b);
  }
  Bytes rows(64, 0x5A);
  struct B { uint16_t bits; uint32_t compression; } bmps[] = {
      {1, 0}, {4, 0}, {8, 0}, {16, 0}, {16, 3}, {24, 0}, {32, 0}, {4, 2}};
  for (const B& b : bmps) {
    std::string name = "b" + std::to_string(b.bits) + "c" + std::to_string(b.compression) + ".bmp";
    put(root + "/fuzz_bmp", name, bmp(b.bits, b.compression, rows));
    put(root + "/fuzz_load", name, bmp(b.bits, b.compression, rows));
  }
  Bytes rle = {0x03, 0x01, 0x00, 0x03, 1, 2, 3, 0x00, 0x00, 0x00, 0x02, 0x01, 0x01,
               0x02, 0x02, 0x00, 0x00, 0x00, 0x01};
  put(root + "/fuzz_bmp", "rle8.bmp", bmp(8, 1, rle));
  put(root + "/fuzz_load", "rle8.bmp", bmp(8, 1, rle));
  Bytes ico = encodeIcon({{16, 16, 8, iconBitmapImage(16, 16, 8, 0xFF)},
                          {16, 16, 32, iconBitmapImage(16, 16, 32, 0x80FF0000)},
                          {32, 32, 32, iconBitmapImage(32, 32, 32, 0xFF00FF00)}});
  Bytes icoPng = encodeIcon({{0, 0, 32, png(6, 8, false, false)}});
  put(root + "/fuzz_icon", "three.ico", ico);
  put(root + "/fuzz_icon", "png.ico", icoPng);
  put(root + "/fuzz_load", "three.ico", ico);
  return 0;
}
