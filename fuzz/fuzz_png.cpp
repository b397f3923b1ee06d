// The PNG decoder alone, through the shared context as the loader drives it, decoding into a
// buffer of exactly the picture's size. Every chunk's CRC is made right before decoding:
// otherwise nearly every mutation dies at libpng's CRC check and the decoder is never reached
// (fuzz_load keeps the inputs as they are, CRC failures included).
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

#include <vector>

#include "image/decoder.h"

namespace {
uint32_t big32(const uint8_t* p) {
  return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

void fixCrcs(std::vector<uint8_t>& file) {
  size_t at = 8;
  while (at + 12 <= file.size()) {
    uint32_t length = big32(&file[at]);
    if (length > file.size() - at - 12) break;
    uint32_t crc = (uint32_t)crc32(0, &file[at + 4], length + 4);
    uint8_t* out = &file[at + 8 + length];
    out[0] = (uint8_t)(crc >> 24);
    out[1] = (uint8_t)(crc >> 16);
    out[2] = (uint8_t)(crc >> 8);
    out[3] = (uint8_t)crc;
    at += 12 + length;
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size > 0xFFFFFFFFu) return 0;
  std::vector<uint8_t> file(input, input + size);
  fixCrcs(file);
  const uint8_t* data = file.data();
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
