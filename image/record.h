// The image record and the load path below Image_Load, for the loader's own files, the
// imgload tool and tests.
#pragma once

#include "image/bitmap.h"
#include "image/decoder.h"
#include "runtime/platform.h"

struct ImageRecord {
  HANDLE handle;  // DIB section (HBITMAP) or HICON; the live mark
  int16_t width;  // a side above 32767 reads back as its low 16 bits, signed
  int16_t height;
  uint8_t depth;        // bits per pixel of the bitmap behind the handle
  uint8_t sourceDepth;  // bits per pixel of the picture as its decoder reported it
  uint32_t format;      // FORMAT_PNG, FORMAT_BMP or FORMAT_ICON
  int32_t frameCount;   // always 1
};

// maxSide as for Image_LoadWithin.
intptr_t Image_LoadMemory(intptr_t number, const uint8_t* data, uint32_t size,
                          int32_t maxSide = IMAGE_MAX_SIDE);
// The live record of a number, or null.
const ImageRecord* Image_Record(intptr_t number);

namespace image_detail {
// Platform seams of the load path (image_win.cpp, image_native.cpp).

// The whole file in a block on the program heap (free it with HeapFree); false when the file
// cannot be opened, is 4 GiB or more, the block cannot be had or the read comes up short.
bool readWholeFile(const Char16* fileName, uint8_t** data, uint32_t* size);
// Size and depth of an icon from its colour bitmap (a monochrome icon: its mask's upper
// half, depth 1). False when the platform cannot describe it.
bool describeIcon(HICON icon, int32_t* width, int32_t* height, int32_t* depth);
// A zeroed bottom-up bitmap of 24 or 32 bits a pixel; null when the size is refused or memory
// runs out.
HANDLE blankBitmap(int32_t width, int32_t height, int32_t depth);
// A new bitmap of width x height resampled from a described 24- or 32-bit bitmap (straight
// alpha kept straight); null for any other, a size refused or memory that cannot be had.
HANDLE resizedBitmap(const BitmapView& from, int32_t width, int32_t height);
// A new bitmap with the same picture as a described 24- or 32-bit one; null for any other or
// when memory runs out.
HANDLE copiedBitmap(const BitmapView& from);
// Destroys a bitmap or an icon, whichever the handle is.
void destroyHandle(HANDLE handle);
}  // namespace image_detail
