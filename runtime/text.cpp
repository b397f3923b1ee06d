// Small helpers over 16-bit text, so platform-free code never needs wchar_t or wcs*.
#include "runtime/platform.h"

size_t Text_Length(const Char16* text) {
  size_t n = 0;
  if (text) {
    while (text[n]) n++;
  }
  return n;
}

Char16 Text_LowerChar(Char16 c) { return (c >= 'A' && c <= 'Z') ? (Char16)(c + ('a' - 'A')) : c; }

int Text_Compare(const Char16* a, const Char16* b) {
  while (*a && *a == *b) a++, b++;
  return (int)(uint16_t)*a - (int)(uint16_t)*b;
}

int Text_CompareNoCase(const Char16* a, const Char16* b) {
  while (*a && Text_LowerChar(*a) == Text_LowerChar(*b)) a++, b++;
  return (int)(uint16_t)Text_LowerChar(*a) - (int)(uint16_t)Text_LowerChar(*b);
}
