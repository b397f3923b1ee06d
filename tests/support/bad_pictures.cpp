#include "tests/support/bad_pictures.h"

#include <string.h>
#include <zlib.h>

using namespace testpics;

namespace badpics {

namespace {
uint32_t big32(const uint8_t* p) {
  return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}
void putBig32(uint8_t* p, uint32_t v) {
  p[0] = (uint8_t)(v >> 24);
  p[1] = (uint8_t)(v >> 16);
  p[2] = (uint8_t)(v >> 8);
  p[3] = (uint8_t)v;
}
}  // namespace

std::vector<Chunk> chunksOf(const Bytes& png) {
  std::vector<Chunk> out;
  size_t at = 8;
  while (at + 12 <= png.size()) {
    uint32_t length = big32(&png[at]);
    if (length > png.size() - at - 12) break;
    out.push_back({at, length, std::string((const char*)&png[at + 4], 4)});
    at += 12 + length;
  }
  return out;
}

void fixCrc(Bytes& png, size_t offset) {
  uint32_t length = big32(&png[offset]);
  putBig32(&png[offset + 8 + length], (uint32_t)crc32(0, &png[offset + 4], length + 4));
}

Bytes withSize(const Bytes& png, uint32_t width, uint32_t height) {
  Bytes out = png;
  putBig32(&out[16], width);
  putBig32(&out[20], height);
  fixCrc(out, 8);
  return out;
}

Bytes withChunkAfterHeader(const Bytes& png, const std::string& type, const Bytes& data,
                           bool goodCrc) {
  Bytes chunk(12 + data.size());
  putBig32(&chunk[0], (uint32_t)data.size());
  memcpy(&chunk[4], type.data(), 4);
  if (!data.empty()) memcpy(&chunk[8], data.data(), data.size());
  fixCrc(chunk, 0);
  if (!goodCrc) chunk.back() ^= 0x55;
  Bytes out = png;
  out.insert(out.begin() + 33, chunk.begin(), chunk.end());  // after the signature and IHDR
  return out;
}

Bytes withBadCrc(const Bytes& png, const std::string& type) {
  Bytes out = png;
  for (const Chunk& c : chunksOf(png)) {
    if (c.type == type) {
      out[c.offset + 8 + (c.length ? c.length / 2 : 0)] ^= 0x01;
      break;
    }
  }
  return out;
}

Bytes goodPng() {
  PngSpec s;
  s.width = 5;
  s.height = 4;
  for (int y = 0; y < 4; y++) {
    Bytes row;
    for (int x = 0; x < 15; x++) row.push_back((uint8_t)(x * 17 + y * 40));
    s.rows.push_back(row);
  }
  return encodePng(s);
}

Bytes wideRgbaPng(int width) {
  PngSpec s;
  s.width = width;
  s.height = 1;
  s.colourType = 6;
  s.rows = {Bytes((size_t)width * 4, 0x80)};
  return encodePng(s);
}

std::vector<Case> folderCases() {
  Bytes good = goodPng();
  std::vector<Case> cases = {
      {"zero-byte file", Bytes(), false},
      {"text file", Bytes({'T', 'i', 'r', 'a', 'g', 'e', '\n', 'n', 'o', ' ', 'p', 'i', 'c'}),
       false},
      {"PNG cut inside IHDR", Bytes(good.begin(), good.begin() + 20), false},
      {"PNG cut inside IDAT", Bytes(good.begin(), good.end() - 20), false},
      {"PNG bad CRC in IDAT", withBadCrc(good, "IDAT"), false},
      {"PNG bad CRC in IHDR", withBadCrc(good, "IHDR"), false},
      {"PNG bad CRC in tEXt", withChunkAfterHeader(good, "tEXt", Bytes({'a', 0, 'b'}), false),
       true},
      {"PNG 0 x 4", withSize(good, 0, 4), false},
      {"PNG 2^31 x 1", withSize(good, 0x80000000u, 1), false},
      {"PNG 1,000,001 x 1", withSize(good, 1000001, 1), false},
      {"PNG 40000 x 1", wideRgbaPng(40000), true},
  };
  BmpSpec b;
  b.width = 2;
  b.height = 2;
  b.pixels = padRows({Bytes(6, 0x40), Bytes(6, 0x80)});
  cases.push_back({"BMP named .png", encodeBmp(b), true});
  cases.push_back({"icon named .png",
                   encodeIcon({{16, 16, 32, iconBitmapImage(16, 16, 32, 0xFF00FF00)}}),
#ifdef _WIN32
                   true});
#else
                   false});  // the native build has no icons
#endif
  return cases;
}

}  // namespace badpics
