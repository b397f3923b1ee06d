// Bitmap alpha: AlphaBlend loaded at start-up, and the few bitmap operations that the image
// gadget draws 32-bit pictures with. Decoded pictures keep straight alpha; AlphaBlend wants
// colours premultiplied by alpha, so the gadget draws a premultiplied copy.
//
// The pixel work (premultiplication and the alpha scan) is platform-free and lives in
// alpha.cpp; the handle operations are Windows-only (alpha_win.cpp).
#pragma once

#include "runtime/platform.h"

void AlphaBlend_Start();
void AlphaBlend_End();
int AlphaBlend_Available();

int Bitmap_HasAlpha(HANDLE bitmap);
HBITMAP Bitmap_Premultiplied(HANDLE bitmap, HDC dc, int mode);
void Bitmap_AlphaDraw(HDC dc, int x, int y, int width, int height, HANDLE bitmap, HDC memoryDc,
                      int alpha);
void Bitmap_AlphaDelete(HANDLE bitmap);
// The bitmap's pixels as 32-bit words: a DIB section's own memory (mustFree = 0), or a
// top-down 32-bit copy on the program heap (mustFree = 1, the caller frees it). 0 on failure.
uint32_t* Bitmap_Pixels32(HANDLE bitmap, int* mustFree);

namespace pixels {
// Pixels are blue, green, red, alpha bytes: one little-endian word with alpha on top.
// Premultiplies colours by alpha with a shift by 8 (a division by 256); opaque pixels stay.
void premultiply(uint32_t* pixels, size_t count);
// True as soon as one of height rows of width pixels, rows `pitch` bytes apart, has a
// non-zero alpha byte.
bool anyAlpha(const uint8_t* rows, int32_t width, int32_t height, int32_t pitch);
}  // namespace pixels
