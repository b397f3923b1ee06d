// The whole memory loader: icon recognition, every registered decoder, the bitmap and the
// record, as Image_Load runs them after reading a file.
#include "image/image.h"
#include "image/record.h"
#include "runtime/memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool started = false;
  if (!started) {
    g_programHeap = HeapCreate(0, 4096, 0);
    ImageDecoder_Start();
    BmpDecoder_Register();
    Image_Start();
    PngDecoder_Register();
    started = true;
  }
  if (size > 0xFFFFFFFFu) return 0;
  Image_LoadMemory(0, data, (uint32_t)size);
  Image_Width(0);
  Image_Free(0);
  return 0;
}
