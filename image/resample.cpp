// Resampling through stb_image_resize, its memory taken from the program heap so that the heap's
// counts see it.
#include "image/resample.h"

#include <stdint.h>

#include "runtime/memory.h"

namespace {

void* heapAllocate(size_t size) {
  return g_programHeap && size <= INT32_MAX ? HeapAlloc(g_programHeap, 0, size) : nullptr;
}
void heapFree(void* block) {
  if (block && g_programHeap) HeapFree(g_programHeap, 0, block);
}

}  // namespace

#define STB_IMAGE_RESIZE_IMPLEMENTATION
#define STB_IMAGE_RESIZE_STATIC
#define STBIR_MALLOC(size, context) ((void)(context), heapAllocate(size))
#define STBIR_FREE(block, context) ((void)(context), heapFree(block))
#include <stb_image_resize.h>

namespace pixels {

bool resample(const uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcPitch,
              uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstPitch,
              int32_t channels) {
  if (!src || !dst || (channels != 3 && channels != 4) || srcWidth <= 0 || srcHeight <= 0 ||
      dstWidth <= 0 || dstHeight <= 0 || srcPitch / channels < srcWidth ||
      dstPitch / channels < dstWidth)
    return false;
  stbir_filter across = dstWidth > srcWidth ? STBIR_FILTER_CATMULLROM : STBIR_FILTER_BOX;
  stbir_filter down = dstHeight > srcHeight ? STBIR_FILTER_CATMULLROM : STBIR_FILTER_BOX;
  int alpha = channels == 4 ? 3 : STBIR_ALPHA_CHANNEL_NONE;
  if (!stbir_resize(src, srcWidth, srcHeight, srcPitch, dst, dstWidth, dstHeight, dstPitch,
                    STBIR_TYPE_UINT8, channels, alpha, STBIR_FLAG_ALPHA_PREMULTIPLIED,
                    STBIR_EDGE_CLAMP, STBIR_EDGE_CLAMP, across, down, STBIR_COLORSPACE_LINEAR,
                    nullptr))
    return false;
  if (channels == 4)
    for (int32_t y = 0; y < dstHeight; ++y)
      for (uint8_t* p = dst + (intptr_t)y * dstPitch;
           p < dst + (intptr_t)y * dstPitch + dstWidth * 4; p += 4)
        for (int c = 0; c < 3; ++c)
          if (p[c] > p[3]) p[c] = p[3];
  return true;
}

}  // namespace pixels
