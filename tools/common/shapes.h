// Shapes the picture tools draw with.
#pragma once

#include <cmath>

namespace shapes {

// Whether (x, y) lies inside a five-pointed star centred on (cx, cy), one point straight up,
// with its outer and inner corners on circles of the given radii (point-in-polygon test over
// the ten corners).
inline bool insideStar(double x, double y, double cx, double cy, double outer, double inner) {
  double px[10], py[10];
  for (int i = 0; i < 10; ++i) {
    double angle = -M_PI / 2 + i * M_PI / 5;
    double r = (i % 2) ? inner : outer;
    px[i] = cx + r * std::cos(angle);
    py[i] = cy + r * std::sin(angle);
  }
  bool in = false;
  for (int i = 0, j = 9; i < 10; j = i++)
    if ((py[i] > y) != (py[j] > y) && x < (px[j] - px[i]) * (y - py[i]) / (py[j] - py[i]) + px[i])
      in = !in;
  return in;
}

}  // namespace shapes
