// The PNG decoder alone, through the shared context as the loader drives it, decoding into a
// buffer of exactly the picture's size.
#include <stdlib.h>
#include <string.h>

#include "image/decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0xFFFFFFFFu) return 0;
  DecodeContext* context = ImageDecoder_Context();
  memset(context, 0, sizeof *context);
  context->data = data;
  context->size = (uint32_t)size;
  if (!PngDecoder_Probe(context)) return 0;
  int32_t pitch;
  size_t total;
  if (image_detail::pictureBytes(context->width, context->height, context->outputDepth, &pitch,
                                 &total) &&
      total <= (16u << 20)) {
    uint8_t* bits = (uint8_t*)malloc(total);
    PngDecoder_Decode(context, bits, pitch, DECODE_BOTTOM_UP);
    free(bits);
  }
  PngDecoder_Close(context);
  return 0;
}
