// make-demo-pictures: writes a complete picture set for the draw program.
//
//   make-demo-pictures [--coded] DIR
//
// Writes DIR/GFX/Balls/0.png .. 49.png and vide.png, DIR/GFX/Stars/0.png .. 11.png and vide.png,
// all 8-bit RGBA PNG files of 100 x 100 pixels (the slots are 110 pixels apart, so nothing
// overlaps the next slot). Each numbered picture shows its number in a real typeface (DejaVu
// Sans Bold, drawn anti-aliased by cairo).
//
// The default set is the one a user sees: a coloured ball or a golden star on a transparent
// ground. Beside every file N.png it also writes N.scale-200.png (vide.scale-200.png for the
// placeholder): the same picture for a display at 200 % scale, twice as many pixels each way
// and drawn at that size (shapes, offsets and type all doubled), not an enlargement of the
// 100-pixel file, so that it stays sharp on such a screen.
//
// With --coded every picture is instead an opaque square whose colour stands for its value
// (see picture_colour below), so that a screenshot of the program can be read back into the
// values it shows; the placeholders are then 90 x 100, so a slot's size tells a placeholder
// from a drawn picture too. The coded set has no scale-200 files.
//
// Exit code 0 when every file was written, 1 when one could not be, 2 for a usage error.
// Depends on libpng, cairo and the DejaVu fonts (scripts/setup installs them).
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <cairo.h>

#include "tools/common/png_encode.h"
#include "tools/common/shapes.h"

namespace {

const int kBallCount = 50;
const int kStarCount = 12;

struct Rgba {
  uint8_t r, g, b, a;
};

// A picture being drawn, straight (not premultiplied) alpha.
struct Canvas {
  int width = 0;
  int height = 0;
  std::vector<Rgba> pixels;

  Canvas(int w, int h) : width(w), height(h), pixels((size_t)w * h, Rgba{0, 0, 0, 0}) {}

  // Lays colour c with coverage 0..1 over what is there ("over" compositing).
  void blend(int x, int y, Rgba c, double coverage) {
    if (x < 0 || y < 0 || x >= width || y >= height || coverage <= 0) return;
    Rgba& d = pixels[(size_t)y * width + x];
    double sa = c.a / 255.0 * std::min(coverage, 1.0);
    double da = d.a / 255.0;
    double oa = sa + da * (1 - sa);
    if (oa <= 0) return;
    auto mix = [&](uint8_t s, uint8_t t) {
      return (uint8_t)std::lround((s * sa + t * da * (1 - sa)) / oa);
    };
    d = Rgba{mix(c.r, d.r), mix(c.g, d.g), mix(c.b, d.b), (uint8_t)std::lround(oa * 255)};
  }
};

// Draws the decimal text of value centred on (cx, cy), size pixels to the em, in DejaVu Sans
// Bold through cairo: anti-aliased, without hinting, so that every machine with the same
// cairo and font draws the same pixels. cairo renders the text as a coverage mask, which is
// then laid over the canvas in the given colour.
void draw_number(Canvas& canvas, int value, double cx, double cy, double size, Rgba colour) {
  cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, canvas.width, canvas.height);
  cairo_t* cr = cairo_create(mask);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, options);
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, size);
  std::string text = std::to_string(value);
  cairo_text_extents_t ext;
  cairo_text_extents(cr, text.c_str(), &ext);
  cairo_move_to(cr, cx - ext.x_bearing - ext.width / 2, cy - ext.y_bearing - ext.height / 2);
  cairo_show_text(cr, text.c_str());
  cairo_surface_flush(mask);
  const unsigned char* data = cairo_image_surface_get_data(mask);
  int stride = cairo_image_surface_get_stride(mask);
  for (int y = 0; y < canvas.height; ++y)
    for (int x = 0; x < canvas.width; ++x)
      canvas.blend(x, y, colour, data[(size_t)y * stride + x] / 255.0);
  cairo_font_options_destroy(options);
  cairo_destroy(cr);
  cairo_surface_destroy(mask);
}

// Fills the shape given by inside(x, y) with colour(x, y), with 4 x 4 supersampled edges.
template <typename Inside, typename Colour>
void fill_shape(Canvas& canvas, Inside inside, Colour colour) {
  for (int y = 0; y < canvas.height; ++y)
    for (int x = 0; x < canvas.width; ++x) {
      int hits = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx)
          if (inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4)) ++hits;
      if (hits) canvas.blend(x, y, colour(x + 0.5, y + 0.5), hits / 16.0);
    }
}

Rgba hue_colour(double hue) {  // hue in turns, full saturation, bright
  double h = (hue - std::floor(hue)) * 6;
  double f = h - std::floor(h);
  double v = 225, p = 40, q = v - (v - p) * f, t = p + (v - p) * f;
  double r, g, b;
  switch ((int)h) {
    case 0:
      r = v;
      g = t;
      b = p;
      break;
    case 1:
      r = q;
      g = v;
      b = p;
      break;
    case 2:
      r = p;
      g = v;
      b = t;
      break;
    case 3:
      r = p;
      g = q;
      b = v;
      break;
    case 4:
      r = t;
      g = p;
      b = v;
      break;
    default:
      r = v;
      g = p;
      b = q;
      break;
  }
  return Rgba{(uint8_t)r, (uint8_t)g, (uint8_t)b, 255};
}

// A disc with a highlight toward the upper left, as light falling on a ball.
Rgba shaded(Rgba base, double x, double y, double cx, double cy, double radius) {
  double dx = (x - (cx - radius * 0.35)) / radius, dy = (y - (cy - radius * 0.35)) / radius;
  double light = std::max(0.0, 1.0 - std::sqrt(dx * dx + dy * dy));  // 1 at the highlight
  double dark = 0.75 + 0.25 * light;
  auto ch = [&](uint8_t c) {
    return (uint8_t)std::min(255.0, c * dark + (255 - c * dark) * light * 0.6);
  };
  return Rgba{ch(base.r), ch(base.g), ch(base.b), base.a};
}

const Rgba kInk{30, 30, 40, 255};

// The demo pictures are drawn for a scale (1 for the plain file, 2 for the scale-200 one):
// every length below is in design pixels and multiplied by it, so that both files show the
// same picture, each drawn at its own resolution.
Canvas demo_ball(int value, int scale) {  // value -1: the placeholder
  Canvas c(100 * scale, 100 * scale);
  const double cx = 50 * scale, cy = 50 * scale, r = 47 * scale;
  auto disc = [&](double x, double y) {
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
  };
  if (value < 0) {
    fill_shape(c, disc, [](double, double) { return Rgba{160, 160, 170, 110}; });
    return c;
  }
  // Neighbouring numbers get far-apart hues (golden-ratio steps), so no two look alike.
  Rgba base = hue_colour(value * 0.381966);
  fill_shape(c, disc, [&](double x, double y) { return shaded(base, x, y, cx, cy, r); });
  const double face = 30 * scale;
  fill_shape(
      c,
      [&](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= face * face; },
      [](double, double) {
        return Rgba{250, 250, 245, 255};
      });
  draw_number(c, value, cx, cy, (value < 10 ? 44 : 36) * scale, kInk);
  return c;
}

Canvas demo_star(int value, int scale) {
  Canvas c(100 * scale, 100 * scale);
  const double cx = 50 * scale, cy = 54 * scale, outer = 50 * scale, inner = 24 * scale;
  auto star = [&](double x, double y) { return shapes::insideStar(x, y, cx, cy, outer, inner); };
  if (value < 0) {
    fill_shape(c, star, [](double, double) { return Rgba{160, 160, 170, 110}; });
    return c;
  }
  fill_shape(c, star, [&](double x, double y) {
    return shaded(Rgba{240, 190, 30, 255}, x, y, cx, cy, outer);
  });
  draw_number(c, value, cx, cy + 3 * scale, (value < 10 ? 34 : 26) * scale, kInk);
  return c;
}

// The colours of the coded set. Balls: (200, 20 + 4v, 40); stars: (40, 20 + 16v, 200);
// ball placeholder (90, 90, 90), star placeholder (160, 160, 160). Every value is apart from
// every other by at least 4 in one channel, which survives the screen unchanged.
Rgba picture_colour(bool star, int value) {
  if (value < 0) return star ? Rgba{160, 160, 160, 255} : Rgba{90, 90, 90, 255};
  if (star) return Rgba{40, (uint8_t)(20 + 16 * value), 200, 255};
  return Rgba{200, (uint8_t)(20 + 4 * value), 40, 255};
}

Canvas coded_picture(bool star, int value) {
  Canvas c(value < 0 ? 90 : 100, 100);
  Rgba colour = picture_colour(star, value);
  for (Rgba& p : c.pixels) p = colour;
  if (value >= 0) draw_number(c, value, 50, 50, 36, Rgba{0, 0, 0, 255});
  return c;
}

bool write_png(const std::string& path, const Canvas& canvas) {
  Bytes png =
      pngenc::encodePixels(canvas.width, canvas.height, true, (const uint8_t*)canvas.pixels.data());
  return !png.empty() && pngenc::writeFile(path, png);
}

bool make_dir(const std::string& path) { return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST; }

}  // namespace

int main(int argc, char** argv) {
  bool coded = false;
  const char* dir = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--coded") == 0 && !coded) coded = true;
    else if (argv[i][0] != '-' && !dir) dir = argv[i];
    else dir = nullptr, argc = -1;
  }
  if (!dir || argc < 0) {
    std::fprintf(stderr, "usage: make-demo-pictures [--coded] DIR\n");
    return 2;
  }
  std::string gfx = std::string(dir) + "/GFX";
  if (!make_dir(dir) || !make_dir(gfx) || !make_dir(gfx + "/Balls") || !make_dir(gfx + "/Stars")) {
    std::fprintf(stderr, "make-demo-pictures: cannot create %s: %s\n", gfx.c_str(),
                 std::strerror(errno));
    return 1;
  }
  struct Group {
    const char* folder;
    bool star;
    int count;
  };
  const int last_scale = coded ? 1 : 2;
  for (Group group : {Group{"Balls", false, kBallCount}, Group{"Stars", true, kStarCount}}) {
    for (int value = -1; value < group.count; ++value) {
      for (int scale = 1; scale <= last_scale; ++scale) {
        std::string name = gfx + "/" + group.folder + "/" +
                           (value < 0 ? "vide" : std::to_string(value)) +
                           (scale == 1 ? ".png" : ".scale-200.png");
        Canvas picture = coded ? coded_picture(group.star, value)
                               : (group.star ? demo_star(value, scale) : demo_ball(value, scale));
        if (!write_png(name, picture)) {
          std::fprintf(stderr, "make-demo-pictures: cannot write %s\n", name.c_str());
          return 1;
        }
      }
    }
  }
  return 0;
}
