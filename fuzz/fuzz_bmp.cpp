// The BMP decoder alone, decoding into a buffer of exactly the picture's size so that any
// write outside it is caught.
#include <stdlib.h>

#include "image/decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0xFFFFFFFFu) return 0;
  DecodeContext context = {};
  context.data = data;
  context.size = (uint32_t)size;
  if (!BmpDecoder_Probe(&context)) return 0;
  int32_t pitch;
  size_t total;
  // Large but legal pictures are skipped: they only cost time here.
  if (image_detail::pictureBytes(context.width, context.height, 24, &pitch, &total) &&
      total <= (16u << 20)) {
    uint8_t* bits = (uint8_t*)malloc(total);
    BmpDecoder_Decode(&context, bits, pitch, size & 1 ? DECODE_BOTTOM_UP : 0);
    free(bits);
  }
  BmpDecoder_Close(&context);
  return 0;
}
