// Resampling (see resample.h): the arguments checked, then the filter (resample_filter.cpp) in
// the build that suits the processor.
#include "image/resample.h"

namespace pixels {

bool resample(const uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcPitch,
              uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstPitch,
              int32_t channels) {
  if (!src || !dst || (channels != 3 && channels != 4) || srcWidth <= 0 || srcHeight <= 0 ||
      dstWidth <= 0 || dstHeight <= 0 || srcPitch / channels < srcWidth ||
      dstPitch / channels < dstWidth)
    return false;
#ifdef IMAGE_RESAMPLE_SSE2
  // The x87 build changes the rounding mode twice for every byte it writes: twice as slow.
  if (__builtin_cpu_supports("sse2"))
    return pixels_detail::filterSse2(src, srcWidth, srcHeight, srcPitch, dst, dstWidth, dstHeight,
                                     dstPitch, channels);
#endif
  return pixels_detail::filter(src, srcWidth, srcHeight, srcPitch, dst, dstWidth, dstHeight,
                               dstPitch, channels);
}

}  // namespace pixels
