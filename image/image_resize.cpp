// Resizing a decoded picture's bitmap, for drawing it at the desktop's scale, and copying one. The
// filter works on premultiplied colours (a straight-alpha colour under a clear pixel would bleed
// into its neighbours as a dark fringe), so a picture with alpha is premultiplied in a working copy
// and its result made straight again: the image gadget premultiplies what it shows itself.
// Platform-free.
#include "image/alpha.h"
#include "image/bitmap.h"
#include "image/record.h"
#include "image/resample.h"
#include "runtime/memory.h"

#include <string.h>

namespace {

void premultiplyExact(uint8_t* pixel) {
  uint32_t a = pixel[3];
  for (int c = 0; c < 3; c++) pixel[c] = (uint8_t)((pixel[c] * a + 127) / 255);
}

void unpremultiply(uint8_t* pixel) {
  uint32_t a = pixel[3];
  for (int c = 0; c < 3; c++) {
    uint32_t v = a ? (pixel[c] * 255u + a / 2) / a : 0;
    pixel[c] = (uint8_t)(v > 255 ? 255 : v);
  }
}

// 32-bit pixels: a picture whose alpha bytes are all 0 is shown opaque, so it is resampled as
// opaque and its alpha bytes given back as 0.
bool resample32(const BitmapView& from, const BitmapView& to) {
  size_t bytes = (size_t)from.pitch * (size_t)from.rows;
  uint8_t* work = (uint8_t*)HeapAlloc(g_programHeap, 0, bytes ? bytes : 1);
  if (!work) return false;
  memcpy(work, from.bits, bytes);
  bool alpha = pixels::anyAlpha(work, from.width, from.rows, from.pitch);
  for (int32_t y = 0; y < from.rows; y++)
    for (int32_t x = 0; x < from.width; x++) {
      uint8_t* p = work + (size_t)y * from.pitch + 4 * (size_t)x;
      if (alpha) premultiplyExact(p);
      else p[3] = 255;
    }
  bool ok = pixels::resample(work, from.width, from.rows, from.pitch, to.bits, to.width, to.rows,
                             to.pitch, 4);
  HeapFree(g_programHeap, 0, work);
  if (!ok) return false;
  for (int32_t y = 0; y < to.rows; y++)
    for (int32_t x = 0; x < to.width; x++) {
      uint8_t* p = to.bits + (size_t)y * to.pitch + 4 * (size_t)x;
      if (alpha) unpremultiply(p);
      else p[3] = 0;
    }
  return true;
}

// Resampling treats memory rows alike whichever way up they are; a top-down source into a
// bottom-up result needs its rows turned over.
void flipRows(const BitmapView& view) {
  size_t rowBytes = (size_t)view.pitch;
  for (int32_t top = 0, bottom = view.rows - 1; top < bottom; top++, bottom--) {
    uint8_t* a = view.bits + rowBytes * (size_t)top;
    uint8_t* b = view.bits + rowBytes * (size_t)bottom;
    for (size_t i = 0; i < rowBytes; i++) {
      uint8_t t = a[i];
      a[i] = b[i];
      b[i] = t;
    }
  }
}

}  // namespace

HANDLE image_detail::copiedBitmap(const BitmapView& from) {
  BitmapView to;
  if (from.bitCount != 24 && from.bitCount != 32) return nullptr;
  HANDLE made = blankBitmap(from.width, from.rows, from.bitCount);
  if (!made) return nullptr;
  if (!Bitmap_Describe(made, &to) || to.pitch != from.pitch) {
    destroyHandle(made);
    return nullptr;
  }
  for (int32_t y = 0; y < from.rows; y++)
    memcpy(BitmapView_Row(to, y), BitmapView_Row(from, y), (size_t)from.pitch);
  return made;
}

HANDLE image_detail::resizedBitmap(const BitmapView& from, int32_t width, int32_t height) {
  BitmapView to;
  if (from.bitCount != 24 && from.bitCount != 32) return nullptr;
  if (width <= 0 || height <= 0) return nullptr;
  HANDLE made = blankBitmap(width, height, from.bitCount);
  if (!made) return nullptr;
  bool ok = Bitmap_Describe(made, &to) != 0;
  if (ok && from.bitCount == 24)
    ok = pixels::resample(from.bits, from.width, from.rows, from.pitch, to.bits, to.width, to.rows,
                          to.pitch, 3);
  else if (ok) ok = resample32(from, to);
  if (!ok) {
    destroyHandle(made);
    return nullptr;
  }
  if (from.bottomUp != to.bottomUp) flipRows(to);
  return made;
}
