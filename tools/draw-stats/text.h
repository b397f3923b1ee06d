// draw-stats: how its reports write numbers.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <string>

namespace drawstats {

// 1234567 as "1,234,567".
inline std::string grouped(uint64_t n) {
  std::string digits = std::to_string(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// A p-value: four decimals, or scientific notation when it is that small.
inline std::string p_text(double p) {
  char text[32];
  snprintf(text, sizeof text, p < 1e-4 ? "%.2e" : "%.4f", p);
  return text;
}

}  // namespace drawstats
