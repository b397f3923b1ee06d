// PNG decoder: the glue between the DecodeContext and libpng. libpng reads the file from the
// loader's memory copy through PngDecoder_Read and, with the transformations chosen in the
// probe, writes 8-bit blue-green-red(-alpha) rows straight into the bitmap.
//
// libpng reports errors by longjmp to the setjmp of the running call. The two functions that
// call setjmp hold no objects with destructors, and every variable that lives across the jump
// is in the DecodeContext, so nothing is skipped or stale after a jump.
// Platform-free.
#include <png.h>
#include <setjmp.h>
#include <stdlib.h>
#include <string.h>

#include "image/decoder.h"

namespace {
enum PrivateWord { kPng, kInfo, kReadPosition, kEnd, kPasses };
const png_alloc_size_t kChunkMallocMax = 8000000;
// libpng treats an over-long ancillary chunk as a benign error and still allocates its
// claimed length (up to 2 GiB) before it finds the data missing. Nothing libpng needs for a
// picture this loader can hold comes near this bound (a row of the widest picture is 8 MB).
const png_alloc_size_t kAllocationMax = 64u << 20;

// libpng's blocks come from the process heap, like every other allocation of the program, so
// that a test can make any one of them fail.
png_voidp boundedAlloc(png_structp, png_alloc_size_t size) {
  return size > kAllocationMax ? nullptr : HeapAlloc(GetProcessHeap(), 0, size);
}
void boundedFree(png_structp, png_voidp block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

png_structp pngOf(DecodeContext* context) { return (png_structp)context->privateWords[kPng]; }
png_infop infoOf(DecodeContext* context) { return (png_infop)context->privateWords[kInfo]; }

// With no error function of ours, libpng's default one would print the message before
// jumping; the loader reports nothing, so it only jumps.
void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void onWarning(png_structp, png_const_charp) {}

// A request that cannot be served in full is an error: a truncated file must fail, not be
// decoded from whatever the buffer held.
void onRead(png_structp png, png_bytep destination, size_t length) {
  DecodeContext* context = ImageDecoder_Context();
  const uint8_t* position = (const uint8_t*)context->privateWords[kReadPosition];
  const uint8_t* end = (const uint8_t*)context->privateWords[kEnd];
  if ((size_t)(end - position) < length) png_error(png, "read past the end of the data");
  memcpy(destination, position, length);
  context->privateWords[kReadPosition] = (uintptr_t)(position + length);
}

// Everything from the header read to the last transformation request. Returns 1 on
// acceptance; 0 after a libpng error (the caller destroys the structures).
int readHeader(DecodeContext* context) {
  png_structp png = pngOf(context);
  if (setjmp(png_jmpbuf(png))) return 0;
  png_set_error_fn(png, png_get_error_ptr(png), onError, onWarning);
  context->privateWords[kReadPosition] = (uintptr_t)context->data;
  context->privateWords[kEnd] = (uintptr_t)(context->data + context->size);
  // The signature is not skipped: libpng reads and checks it again from the first byte.
  png_set_read_fn(png, nullptr, onRead);
  png_infop info = png_create_info_struct(png);
  context->privateWords[kInfo] = (uintptr_t)info;
  if (!info) return 0;
  png_read_info(png, info);

  png_uint_32 width, height;
  int bitDepth, colourType, interlace, compression, filter;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, &interlace, &compression,
               &filter);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) {
    // tRNS to alpha also expands a palette, so no further palette request is made for it.
    png_set_tRNS_to_alpha(png);
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
      colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    } else if (colourType == PNG_COLOR_TYPE_GRAY) {
      colourType = PNG_COLOR_TYPE_GRAY_ALPHA;
      if (bitDepth < 8) {
        png_set_expand(png);
        bitDepth = 8;
      }
    } else if (colourType == PNG_COLOR_TYPE_RGB) {
      colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    }
  }
  switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE:
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      context->sourceDepth = bitDepth;
      if (bitDepth < 8) png_set_expand(png);
      if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
      else png_set_gray_to_rgb(png);
      break;
    case PNG_COLOR_TYPE_RGB: context->sourceDepth = 24; break;
    default: context->sourceDepth = 32; break;
  }
  if (bitDepth == 16) png_set_strip_16(png);
  png_set_bgr(png);
  context->privateWords[kPasses] = (uintptr_t)png_set_interlace_handling(png);
  // libpng refuses transformation requests after this call: every request precedes it.
  png_read_update_info(png, info);
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, &interlace, &compression,
               &filter);
  context->width = (int32_t)width;
  context->height = (int32_t)height;
  context->outputDepth = colourType == PNG_COLOR_TYPE_RGB ? 24 : 32;
  return 1;
}

int readRows(DecodeContext* context, uint8_t* bits, int32_t pitch, uint32_t flags) {
  png_structp png = pngOf(context);
  if (setjmp(png_jmpbuf(png))) return 0;
  int passes = (int)context->privateWords[kPasses];
  bool bottomUp = (flags & DECODE_BOTTOM_UP) != 0;
  // Each Adam7 pass runs over every row; libpng fills in only that pass's pixels.
  for (int pass = 0; pass < passes; pass++) {
    for (int32_t y = 0; y < context->height; y++) {
      int32_t memoryRow = bottomUp ? context->height - 1 - y : y;
      png_bytep row = bits + (size_t)memoryRow * (size_t)pitch;
      png_read_rows(png, &row, nullptr, 1);
    }
  }
  return 1;
}
}  // namespace

int PngDecoder_Probe(DecodeContext* context) {
  if (context->size < 8 || png_sig_cmp(context->data, 0, 8) != 0) return 0;
  png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr,
                                             nullptr, boundedAlloc, boundedFree);
  if (!png) return 0;
  context->privateWords[kPng] = (uintptr_t)png;
  context->privateWords[kInfo] = 0;
#ifdef PNG_USER_LIMITS_SUPPORTED
  png_set_chunk_malloc_max(png, kChunkMallocMax);
#endif
  int32_t pitch;
  size_t total;
  if (!readHeader(context) || !image_detail::pictureBytes(context->width, context->height,
                                                          context->outputDepth, &pitch, &total)) {
    PngDecoder_Close(context);
    return 0;
  }
  return 1;
}

int PngDecoder_Decode(DecodeContext* context, uint8_t* bits, int32_t pitch, uint32_t flags) {
  if (!pngOf(context)) return 0;
  return readRows(context, bits, pitch, flags);
}

void PngDecoder_Close(DecodeContext* context) {
  png_structp png = pngOf(context);
  png_infop info = infoOf(context);
  // Cleared so that the structures can never be destroyed twice.
  context->privateWords[kPng] = 0;
  context->privateWords[kInfo] = 0;
  if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
}

const ImageDecoder g_pngDecoder = {PngDecoder_Probe, PngDecoder_Decode, PngDecoder_Close,
                                   FORMAT_PNG};

// The table refuses an address it already holds, so a second registration changes nothing.
void PngDecoder_Register() { ImageDecoder_Register(&g_pngDecoder); }
