// Resizing a decoded picture's bitmap, for drawing it at a window's scale, and copying one. The
// pixels go straight from the decoded bitmap through the resampler into the new one: it weights
// colours by alpha itself and gives straight alpha back, which the image gadget premultiplies
// once, as it does every picture it shows.
// Platform-free.
#include "image/bitmap.h"
#include "image/record.h"
#include "image/resample.h"
#include "runtime/memory.h"

#include <string.h>

namespace {

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
  bool ok = Bitmap_Describe(made, &to) &&
            pixels::resample(from.bits, from.width, from.rows, from.pitch, to.bits, to.width,
                             to.rows, to.pitch, from.bitCount / 8);
  if (!ok) {
    destroyHandle(made);
    return nullptr;
  }
  if (from.bottomUp != to.bottomUp) flipRows(to);
  return made;
}
