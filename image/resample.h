// Resampling a picture's pixels to another size, for drawing it at the desktop's scale: once when
// the picture changes, from its own pixels, never from a scaled copy. The filtering is done by a
// well-kept library (stb_image_resize), on the stored values (no gamma), edges clamped:
// Catmull-Rom where a direction grows (sharp, no blocks), a box where it shrinks (the mean of
// what each pixel covers). Platform-free.
#pragma once

#include <stdint.h>

namespace pixels {

// Resamples a srcWidth x srcHeight picture of `channels` bytes a pixel (3: blue, green, red; 4:
// the same and alpha, premultiplied), rows srcPitch bytes apart, into dstWidth x dstHeight, rows
// dstPitch bytes apart. With alpha, no colour ends above its alpha (a cubic overshoots), so the
// result is premultiplied still and blends without fringes. Working memory comes from the
// program heap. False, with dst untouched, for a size that is not positive, a pitch too short for
// its row, or memory that cannot be had.
bool resample(const uint8_t* src, int32_t srcWidth, int32_t srcHeight, int32_t srcPitch,
              uint8_t* dst, int32_t dstWidth, int32_t dstHeight, int32_t dstPitch,
              int32_t channels);

}  // namespace pixels
