// The decoder table, the shared DecodeContext and the row-size arithmetic.
// Platform-free.
#include "image/decoder.h"

#include <string.h>

namespace {
const ImageDecoder* g_decoders[DECODER_TABLE_SIZE];
int g_decoderCount;
// A static object rather than a heap block: it lives for the whole run anyway, and so a
// failed allocation at start-up cannot leave the loader without a context.
DecodeContext g_context;
}  // namespace

void ImageDecoder_Start() {
  g_decoderCount = 0;
  memset(&g_context, 0, sizeof g_context);
}

int ImageDecoder_Register(const ImageDecoder* decoder) {
  if (!decoder || g_decoderCount >= DECODER_TABLE_SIZE) return 0;
  for (int i = 0; i < g_decoderCount; i++)
    if (g_decoders[i] == decoder) return 0;
  g_decoders[g_decoderCount++] = decoder;
  return 1;
}

int ImageDecoder_Count() { return g_decoderCount; }

DecodeContext* ImageDecoder_Context() { return &g_context; }

uint32_t ImageDecoder_Find(const uint8_t* data, uint32_t size) {
  memset(&g_context, 0, sizeof g_context);
  g_context.data = data;
  g_context.size = size;
  g_context.frameCount = 1;
  for (int i = 0; i < g_decoderCount; i++) {
    memset(g_context.privateWords, 0, sizeof g_context.privateWords);
    if (g_decoders[i]->probe(&g_context)) {
      g_context.decoder = g_decoders[i];
      return g_decoders[i]->tag;
    }
  }
  return 0;
}

int ImageDecoder_DecodeRows(uint8_t* bits, int32_t pitch, uint32_t flags) {
  if (!g_context.decoder) return 0;
  return g_context.decoder->decode(&g_context, bits, pitch, flags);
}

void ImageDecoder_Close() {
  // Exactly once per accepted probe: forget the decoder so that a second call does nothing.
  const ImageDecoder* decoder = g_context.decoder;
  g_context.decoder = nullptr;
  if (decoder) decoder->close(&g_context);
}

int32_t Bitmap_RowBytes(int32_t width, int32_t bitCount) {
  if (width < 0) return 0;
  int64_t w = width;
  int64_t bytes;
  switch (bitCount) {
    case 1: bytes = (w + 31) / 32 * 4; break;
    case 4: bytes = (w + 7) / 8 * 4; break;
    case 8: bytes = (w + 3) / 4 * 4; break;
    case 15:
    case 16: bytes = (w + 1) / 2 * 4; break;
    case 24: bytes = (3 * w + 3) / 4 * 4; break;
    default: bytes = w * 4; break;
  }
  return bytes > INT32_MAX ? 0 : (int32_t)bytes;
}

bool image_detail::pictureBytes(int32_t width, int32_t height, int32_t bitCount, int32_t* pitch,
                                size_t* total) {
  if (width <= 0 || height == 0 || width > IMAGE_MAX_SIDE) return false;
  int64_t rows = height < 0 ? -(int64_t)height : height;
  if (rows > IMAGE_MAX_SIDE) return false;
  int32_t rowBytes = Bitmap_RowBytes(width, bitCount);
  if (rowBytes <= 0) return false;
  uint64_t bytes = (uint64_t)rowBytes * (uint64_t)rows;  // < 2^31 * 10^6: no wrap
  if (bytes > IMAGE_MAX_BYTES || bytes > SIZE_MAX) return false;
  *pitch = rowBytes;
  *total = (size_t)bytes;
  return true;
}
