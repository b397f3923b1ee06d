// A plain description of a decoded picture's bitmap, the same on Windows (a DIB section) and
// in native builds (a memory bitmap of the image library's own), for tools and tests that
// read the pixels back.
#pragma once

#include "runtime/platform.h"

struct BitmapView {
  int32_t width;
  int32_t rows;      // number of rows (always positive)
  int32_t bitCount;  // 24 or 32 for decoded pictures
  int32_t pitch;     // bytes from one memory row to the next
  bool bottomUp;     // memory row 0 is the picture's bottom row (GDI reports every DIB
                     // section as bottom-up; only a negative-height BMP makes a top-down one)
  uint8_t* bits;
};

// 1 and `view` filled when `bitmap` is a DIB section (native: a memory bitmap), else 0.
int Bitmap_Describe(HANDLE bitmap, BitmapView* view);
// Address of the picture's row `row` (0 = top row) in a described bitmap.
inline uint8_t* BitmapView_Row(const BitmapView& view, int32_t row) {
  int32_t memoryRow = view.bottomUp ? view.rows - 1 - row : row;
  return view.bits + (size_t)memoryRow * (size_t)view.pitch;
}
