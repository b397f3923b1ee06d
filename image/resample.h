// Resampling a picture's pixels to another size, for drawing it at the desktop's scale: once when
// the picture changes, from its own pixels, never from a scaled copy. The filtering is done by a
// well-kept library (stb_image_resize), on the stored values (no gamma), edges clamped:
// Catmull-Rom where a direction grows (sharp, no blocks), a box where it shrinks (the mean of
// what each pixel covers). Platform-free.
#pragma once

#include <stdint.h>

namespace pixels {

// Resamples a srcWidth x srcHeight picture of `channels` bytes a pixel (3: blue, green, red; 4:
// the same and straight alpha), rows srcPitch bytes apart, into dstWidth x dstHeight, rows
// dstPitch bytes apart. With alpha, the library weights each colour by its alpha as it filters
// and gives the result straight again, so a clear pixel's colour never bleeds into its
// neighbours as a dark fringe, and whoever blends the result premultiplies it once. A picture
// whose alpha is clear throughout keeps its colours (the library weights a clear pixel by a
// tiny amount, never nothing). Working memory comes from the program heap. False, with dst
// untouched, for a size that is not positive, a pitch too short for its row, or memory that
// cannot be had.
bool resample(const uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcPitch,
              uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstPitch,
              int32_t channels);

}  // namespace pixels

namespace pixels_detail {
// The filter of resample(), its arguments checked: the plain build and, on i686, the SSE2 one.
bool filter(const uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcPitch, uint8_t* dst,
            int32_t dstWidth, int32_t dstHeight, int32_t dstPitch, int32_t channels);
bool filterSse2(const uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcPitch,
                uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstPitch,
                int32_t channels);
}  // namespace pixels_detail
