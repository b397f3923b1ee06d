// PNG writing for the tools and the tests: every picture the project makes for itself (demo
// pictures, the application icon, the fairness histogram, test pictures and fuzz seeds) is
// encoded here with libpng's writing API.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

namespace pngenc {

struct PngSpec {
  int width = 1;
  int height = 1;
  int colourType = 2;  // PNG_COLOR_TYPE_*
  int bitDepth = 8;
  bool interlace = false;
  std::vector<uint8_t> palette;       // r, g, b triples
  std::vector<uint8_t> paletteAlpha;  // tRNS for palette pictures
  bool hasTransparentColour = false;  // tRNS for grey and RGB pictures
  uint16_t transparentGrey = 0;
  uint16_t transparentRed = 0, transparentGreen = 0, transparentBlue = 0;
  // Rows top first, in the file's packed sample layout (16-bit samples big-endian).
  std::vector<Bytes> rows;
};

// The PNG file for `spec`, or no bytes if libpng refused it.
Bytes encodePng(const PngSpec& spec);

// 8-bit pixels, top row first, 3 (RGB) or 4 (RGBA) bytes each, rows packed.
Bytes encodePixels(int width, int height, bool alpha, const uint8_t* pixels);

bool writeFile(const std::string& path, const Bytes& bytes);

}  // namespace pngenc
