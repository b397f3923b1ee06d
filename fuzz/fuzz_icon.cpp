// The icon directory choice: whatever it accepts must lie inside the data (every byte of the
// chosen image is read here, so ASan sees a slice that does not).
#include <stdlib.h>

#include "image/icon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0xFFFFFFFFu) return 0;
  IconChoice choice;
  if (!IconDirectory_Choose(data, (uint32_t)size, &choice)) return 0;
  if ((uint64_t)choice.offset + choice.bytes > size) abort();
  volatile uint32_t sum = 0;
  for (uint32_t i = 0; i < choice.bytes; i++) sum = sum + data[choice.offset + i];
  return 0;
}
