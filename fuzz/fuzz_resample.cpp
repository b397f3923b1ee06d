// The resampler alone: sizes, channels and pixels from the input, into a buffer of exactly the
// asked size (so that any write outside it is caught); a picture opaque throughout stays so.
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "image/resample.h"
#include "runtime/memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  if (!g_programHeap) g_programHeap = HeapCreate(0, 4096, 0);
  int32_t channels = data[0] & 1 ? 4 : 3;
  int32_t w = 1 + data[1] % 48, h = 1 + data[2] % 48, dw = 1 + data[3] % 96, dh = 1 + data[4] % 96;
  std::vector<uint8_t> src((size_t)w * h * channels, 0x80);
  if (size > 5)
    for (size_t i = 0; i < src.size(); ++i) src[i] = data[5 + i % (size - 5)];
  bool opaque = channels == 4 && (data[0] & 2);
  if (opaque)
    for (size_t i = 3; i < src.size(); i += 4) src[i] = 255;
  std::vector<uint8_t> dst((size_t)dw * dh * channels);
  if (!pixels::resample(src.data(), w, h, w * channels, dst.data(), dw, dh, dw * channels,
                        channels))
    abort();  // every size here is legal and the memory small
  if (opaque)
    for (size_t i = 3; i < dst.size(); i += 4)
      if (dst[i] != 255) abort();
  return 0;
}
