// The resampling filter itself: one call of stb_image_resize, its memory taken from the program
// heap so that the heap's counts see it. Built twice for i686 (see image/CMakeLists.txt): as is,
// for the x87 unit every such processor has, and with SSE2 arithmetic (RESAMPLE_SSE2), which
// resample.cpp chooses where the processor has SSE2.
#include <stdint.h>

#include "image/resample.h"
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

#ifdef RESAMPLE_SSE2
#define RESAMPLE_FILTER pixels_detail::filterSse2
#else
#define RESAMPLE_FILTER pixels_detail::filter
#endif

bool RESAMPLE_FILTER(const uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcPitch,
                     uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstPitch,
                     int32_t channels) {
  stbir_filter across = dstWidth > srcWidth ? STBIR_FILTER_CATMULLROM : STBIR_FILTER_BOX;
  stbir_filter down = dstHeight > srcHeight ? STBIR_FILTER_CATMULLROM : STBIR_FILTER_BOX;
  int alpha = channels == 4 ? 3 : STBIR_ALPHA_CHANNEL_NONE;
  // No "already premultiplied" flag: the library weights by alpha itself.
  return stbir_resize(src, srcWidth, srcHeight, srcPitch, dst, dstWidth, dstHeight, dstPitch,
                      STBIR_TYPE_UINT8, channels, alpha, 0, STBIR_EDGE_CLAMP, STBIR_EDGE_CLAMP,
                      across, down, STBIR_COLORSPACE_LINEAR, nullptr) != 0;
}
