// make-icon: draws the program's icon and writes it as an icon file.
//
//   make-icon OUT.ico
//
// The icon is one 256 x 256 image of 32 bits per pixel, stored PNG-compressed inside the icon
// file (an icon directory entry whose data is a whole PNG file, as icons of that size are
// stored). The picture: a blue lottery ball with a golden star in front of it, on a
// transparent ground. The build runs this tool and compiles the result into the program as
// resource 1, so no binary picture lives in the source tree.
//
// Exit code 0 on success, 1 when the file cannot be written, 2 for a usage error.
// Depends on libpng, through tools/common/png_encode.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "tools/common/png_encode.h"
#include "tools/common/shapes.h"

namespace {

const int kSize = 256;

struct Rgba {
  double r, g, b, a;  // straight alpha, 0..1
};

std::vector<Rgba> g_pixels(kSize* kSize, Rgba{0, 0, 0, 0});

void blend(int x, int y, Rgba c, double coverage) {
  Rgba& d = g_pixels[(size_t)y * kSize + x];
  double sa = c.a * coverage;
  double oa = sa + d.a * (1 - sa);
  if (oa <= 0) return;
  d = Rgba{(c.r * sa + d.r * d.a * (1 - sa)) / oa, (c.g * sa + d.g * d.a * (1 - sa)) / oa,
           (c.b * sa + d.b * d.a * (1 - sa)) / oa, oa};
}

template <typename Inside, typename Colour>
void fill(Inside inside, Colour colour) {
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      int hits = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx)
          if (inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4)) ++hits;
      if (hits) blend(x, y, colour(x + 0.5, y + 0.5), hits / 16.0);
    }
}

// Light from the upper left: 1 at the highlight, falling off across the shape.
Rgba lit(Rgba base, double x, double y, double hx, double hy, double radius) {
  double d = std::hypot(x - hx, y - hy) / radius;
  double light = std::max(0.0, 1.0 - d);
  double shade = 0.7 + 0.3 * light;
  auto ch = [&](double c) { return std::min(1.0, c * shade + (1 - c * shade) * light * 0.55); };
  return Rgba{ch(base.r), ch(base.g), ch(base.b), base.a};
}

void draw() {
  const double bx = 112, by = 112, br = 104;  // the ball
  fill([&](double x, double y) { return std::hypot(x - bx, y - by) <= br; },
       [&](double x, double y) {
         return lit(Rgba{0.15, 0.35, 0.85, 1}, x, y, bx - 40, by - 40, br * 1.3);
       });
  // The ball's white face, where its number would be.
  fill([&](double x, double y) { return std::hypot(x - bx + 12, y - by + 12) <= 52; },
       [](double, double) {
         return Rgba{0.97, 0.97, 0.95, 1};
       });
  // The star, lower right, with a dark rim so it stands apart from the ball.
  const double sx = 176, sy = 180;
  fill([&](double x, double y) { return shapes::insideStar(x, y, sx, sy, 80, 38); },
       [](double, double) {
         return Rgba{0.35, 0.22, 0.02, 1};
       });
  fill([&](double x, double y) { return shapes::insideStar(x, y, sx, sy + 1, 72, 33); },
       [&](double x, double y) {
         return lit(Rgba{0.98, 0.75, 0.1, 1}, x, y, sx - 25, sy - 30, 90);
       });
}

Bytes encode_png() {
  std::vector<uint8_t> rgba((size_t)kSize * kSize * 4);
  for (size_t i = 0; i < g_pixels.size(); ++i) {
    const Rgba& p = g_pixels[i];
    rgba[i * 4 + 0] = (uint8_t)std::lround(std::clamp(p.r, 0.0, 1.0) * 255);
    rgba[i * 4 + 1] = (uint8_t)std::lround(std::clamp(p.g, 0.0, 1.0) * 255);
    rgba[i * 4 + 2] = (uint8_t)std::lround(std::clamp(p.b, 0.0, 1.0) * 255);
    rgba[i * 4 + 3] = (uint8_t)std::lround(std::clamp(p.a, 0.0, 1.0) * 255);
  }
  return pngenc::encodePixels(kSize, kSize, true, rgba.data());
}

void put16(std::vector<uint8_t>& out, unsigned v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-icon OUT.ico\n");
    return 2;
  }
  draw();
  Bytes image = encode_png();
  if (image.empty()) {
    std::fprintf(stderr, "make-icon: PNG encoding failed\n");
    return 1;
  }
  // ICONDIR (6 bytes) and one ICONDIRENTRY (16 bytes); a width and height of 0 mean 256.
  std::vector<uint8_t> file;
  put16(file, 0);  // reserved
  put16(file, 1);  // type: icon
  put16(file, 1);  // one image
  file.push_back(0);
  file.push_back(0);
  file.push_back(0);  // no palette
  file.push_back(0);  // reserved
  put16(file, 1);     // planes
  put16(file, 32);    // bits per pixel
  put32(file, (uint32_t)image.size());
  put32(file, 6 + 16);
  file.insert(file.end(), image.begin(), image.end());

  if (!pngenc::writeFile(argv[1], file)) {
    std::fprintf(stderr, "make-icon: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
