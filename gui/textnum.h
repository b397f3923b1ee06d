// Decimal text of pointer-wide numbers for the names and keys the gui library builds
// ("WindowClass_%d", binding keys). wsprintfW's %d would cut a 64-bit dynamic number short.
#pragma once

#include "runtime/platform.h"

namespace gui_detail {

// Writes v in decimal at out (which has room for at least 21 characters plus the terminator)
// and returns the position of the terminating zero it wrote.
inline Char16* appendNumber(Char16* out, intptr_t v) {
  Char16 digits[24];
  int n = 0;
  // Work with the magnitude as unsigned, so that the most negative value does not overflow.
  uintptr_t magnitude = v < 0 ? (uintptr_t)0 - (uintptr_t)v : (uintptr_t)v;
  do {
    digits[n++] = (Char16)('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  if (v < 0) *out++ = '-';
  while (n) *out++ = digits[--n];
  *out = 0;
  return out;
}

inline Char16* appendText(Char16* out, const Char16* text) {
  while (*text) *out++ = *text++;
  *out = 0;
  return out;
}

}  // namespace gui_detail
