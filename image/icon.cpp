// Icon files: recognising the directory and choosing the image to make an icon of.
// The directory is untrusted: it and the chosen image must lie inside the data.
// Platform-free.
#include "image/icon.h"

#include "image/decoder.h"

using image_detail::ByteReader;

namespace {
const uint32_t kEntryBytes = 16;
const uint32_t kInfoHeaderBytes = 40;
const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
}  // namespace

int IconDirectory_Choose(const uint8_t* data, uint32_t size, IconChoice* choice) {
  ByteReader r{data, size};
  if (!r.has(0, 6) || r.u16(0) != 0 || r.u16(2) != 1) return 0;
  uint32_t count = r.u16(4);
  // No entries: there is no entry 0 to fall back on.
  if (count == 0 || !r.has(6, (uint64_t)count * kEntryBytes)) return 0;

  auto entry = [](uint32_t i) { return 6 + (uint64_t)i * kEntryBytes; };
  uint32_t width0 = r.u8(entry(0));
  uint32_t height0 = r.u8(entry(0) + 1);
  uint32_t best = 0;
  uint32_t bestBits = r.u16(entry(0) + 6);
  // Only images of entry 0's size compete; of equal bit counts the earlier one wins.
  for (uint32_t i = 1; i < count; i++) {
    uint32_t bits = r.u16(entry(i) + 6);
    if (r.u8(entry(i)) == width0 && r.u8(entry(i) + 1) == height0 && bits > bestBits) {
      best = i;
      bestBits = bits;
    }
  }
  uint64_t e = entry(best);
  uint32_t bytes = r.u32(e + 8);
  uint32_t offset = r.u32(e + 12);
  if (!r.has(offset, bytes)) return 0;
  bool png = bytes >= 8;
  for (int i = 0; png && i < 8; i++) png = r.u8((uint64_t)offset + i) == kPngSignature[i];
  if (!png && bytes < kInfoHeaderBytes) return 0;

  choice->index = best;
  choice->width = width0 ? width0 : 256;
  choice->height = height0 ? height0 : 256;
  choice->bitCount = bestBits;
  choice->offset = offset;
  choice->bytes = bytes;
  choice->png = png;
  return 1;
}
