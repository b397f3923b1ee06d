// Numbered images loaded from files through the decoder table.
#pragma once

#include "runtime/platform.h"

intptr_t Image_Load(intptr_t number, const Char16* fileName, uint32_t flags);
// Image_Load for pictures no larger than maxSide pixels a side; a larger one is refused from
// its header, before any pixel memory is taken, and counts as a file that cannot be decoded.
intptr_t Image_LoadWithin(intptr_t number, const Char16* fileName, uint32_t flags, int32_t maxSide);
// Image_LoadWithin, then the picture resampled to its size times multiply / divide (rounded to
// the nearest pixel), in one call: for a picture drawn at one scale and shown at another. The
// same results as Image_Load; a picture that cannot be resampled is freed and gives 0.
// *resampled tells whether its size changed.
intptr_t Image_LoadScaled(intptr_t number, const Char16* fileName, int32_t maxSide,
                          int32_t multiply, int32_t divide, bool* resampled);
// A new opaque 24-bit picture of width x height pixels, all black, for the caller to draw on;
// the same results as Image_Load.
intptr_t Image_Create(intptr_t number, int32_t width, int32_t height);
// Resamples the picture to width x height pixels, smoothly, from its own pixels (a bitmap of 24
// or 32 bits a pixel; alpha stays straight). 1 when it has that size now, 0 with the picture
// unchanged when it cannot be resized (no such image, an icon, no memory).
int Image_Resize(intptr_t number, int32_t width, int32_t height);
// A new image `number` (OBJECT_DYNAMIC: a number made up) holding a copy of bitmap image
// `from`, which may be `number` itself; the same results as Image_Create, 0 for an icon.
intptr_t Image_Copy(intptr_t number, intptr_t from);
intptr_t Image_Handle(intptr_t number);
// The picture's size as its file gives it, each side kept to its low 16 bits read signed (a side
// above 32767 reads negative). The height is negative for a picture stored top down (a BMP of
// negative height, as loaded): its height is then the absolute value. A resampled or copied
// picture is stored bottom up, its height positive.
int32_t Image_Width(intptr_t number);
int32_t Image_Height(intptr_t number);
void Image_Free(intptr_t number);

void ImageDecoder_Start();
void BmpDecoder_Register();
void Image_Start();
void Image_End();
void PngDecoder_Register();
void AlphaBlend_Start();
void AlphaBlend_End();
