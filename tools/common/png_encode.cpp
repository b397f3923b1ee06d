#include "tools/common/png_encode.h"

#include <png.h>
#include <stdio.h>

namespace pngenc {
namespace {

void writeToVector(png_structp png, png_bytep data, size_t length) {
  Bytes* out = (Bytes*)png_get_io_ptr(png);
  out->insert(out->end(), data, data + length);
}
void flushNothing(png_structp) {}

// Kept apart from encodePng so that nothing with a destructor lives across the setjmp.
bool encodeInto(Bytes* out, const PngSpec& spec, png_color* palette, int paletteSize,
                png_bytep* rows) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, out, writeToVector, flushNothing);
  png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colourType,
               spec.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (paletteSize > 0) png_set_PLTE(png, info, palette, paletteSize);
  if (!spec.paletteAlpha.empty())
    png_set_tRNS(png, info, spec.paletteAlpha.data(), (int)spec.paletteAlpha.size(), nullptr);
  if (spec.hasTransparentColour) {
    png_color_16 colour = {0, spec.transparentRed, spec.transparentGreen, spec.transparentBlue,
                           spec.transparentGrey};
    png_set_tRNS(png, info, nullptr, 0, &colour);
  }
  png_set_rows(png, info, rows);
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

Bytes encodePng(const PngSpec& spec) {
  std::vector<png_color> palette;
  for (size_t i = 0; i + 2 < spec.palette.size(); i += 3)
    palette.push_back(png_color{spec.palette[i], spec.palette[i + 1], spec.palette[i + 2]});
  std::vector<png_bytep> rows;
  for (const Bytes& row : spec.rows) rows.push_back((png_bytep)row.data());
  Bytes out;
  if (!encodeInto(&out, spec, palette.data(), (int)palette.size(), rows.data())) return Bytes();
  return out;
}

Bytes encodePixels(int width, int height, bool alpha, const uint8_t* pixels) {
  PngSpec spec;
  spec.width = width;
  spec.height = height;
  spec.colourType = alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB;
  size_t rowBytes = (size_t)width * (alpha ? 4 : 3);
  for (int y = 0; y < height; ++y)
    spec.rows.emplace_back(pixels + y * rowBytes, pixels + (y + 1) * rowBytes);
  return encodePng(spec);
}

bool writeFile(const std::string& path, const Bytes& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

}  // namespace pngenc
