// Quartiles of repeated wall-clock timings, for the benchmark programs that run under Wine.
#pragma once

#include <algorithm>
#include <vector>

struct Summary {
  double q1, median, q3;
};

inline Summary summarise(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return {v[n / 4], n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2, v[(3 * n) / 4]};
}
