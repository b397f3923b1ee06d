// BMP decoder: Windows bitmap files with a 40-byte (or longer) info header, converted to
// 24-bit blue-green-red rows whatever the source depth.
//
// Coverage is deliberately narrow: 1-bit pictures are black and white, 16-bit bit-field
// pictures are read as 5-6-5 whatever their masks, alpha in 32-bit pictures is dropped, and
// layouts that are not converted (RLE4, other depths, top-down files other than RLE8) load as
// black pictures.
//
// Files are untrusted: every field, colour-table entry and pixel is read through the bounded
// reader, a stored row that does not lie wholly inside the data ends the conversion (the rest
// stays black), and nothing is written outside width x |height| destination pixels.
// Platform-free.
#include "image/decoder.h"

using image_detail::ByteReader;

namespace {
const uint32_t kCompressionNone = 0;
const uint32_t kCompressionRle8 = 1;
const uint32_t kCompressionRle4 = 2;
const uint32_t kCompressionBitFields = 3;
const uint32_t kInfoHeaderMin = 40;

struct Header {
  int32_t width;
  int32_t height;
  uint32_t bitCount;
  uint32_t compression;
  uint64_t pixelOffset;
  uint64_t tableOffset;
};

Header readHeader(const ByteReader& r) {
  Header h;
  h.pixelOffset = r.u32(10);
  h.tableOffset = 14 + (uint64_t)r.u32(14);
  h.width = (int32_t)r.u32(18);
  h.height = (int32_t)r.u32(22);
  h.bitCount = r.u16(28);
  h.compression = r.u32(30);
  return h;
}

// Writes one pixel from colour-table entry `index`; entries past the data read as black.
inline void putIndexed(const ByteReader& r, uint64_t tableOffset, uint32_t index, uint8_t* out) {
  uint64_t entry = tableOffset + 4 * (uint64_t)index;
  out[0] = (uint8_t)r.u8(entry);
  out[1] = (uint8_t)r.u8(entry + 1);
  out[2] = (uint8_t)r.u8(entry + 2);
}

class Destination {
 public:
  Destination(uint8_t* bits, int32_t pitch, int32_t height, uint32_t flags)
      : bits_(bits), pitch_(pitch), height_(height), bottomUp_((flags & DECODE_BOTTOM_UP) != 0) {}
  // The destination row that stored row k (0 = first stored, the picture's bottom) goes to.
  uint8_t* row(int64_t k) const {
    int64_t memoryRow = bottomUp_ ? k : height_ - 1 - k;
    return bits_ + (size_t)memoryRow * (size_t)pitch_;
  }

 private:
  uint8_t* bits_;
  int32_t pitch_;
  int32_t height_;
  bool bottomUp_;
};

void convertRow(const Header& h, const ByteReader& r, const uint8_t* src, uint8_t* out) {
  int32_t w = h.width;
  switch (h.bitCount) {
    case 1:
      for (int32_t x = 0; x < w; x++, out += 3) {
        uint8_t v = (src[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
        out[0] = out[1] = out[2] = v;
      }
      break;
    case 4:
      for (int32_t x = 0; x < w; x++, out += 3) {
        uint32_t index = (x & 1) ? src[x >> 1] & 15 : src[x >> 1] >> 4;
        putIndexed(r, h.tableOffset, index, out);
      }
      break;
    case 8:
      for (int32_t x = 0; x < w; x++, out += 3) putIndexed(r, h.tableOffset, src[x], out);
      break;
    case 16:
      for (int32_t x = 0; x < w; x++, out += 3) {
        uint32_t v = src[2 * x] | (uint32_t)src[2 * x + 1] << 8;
        out[0] = (uint8_t)((v & 31) * 8);
        if (h.compression == kCompressionBitFields) {
          out[1] = (uint8_t)(((v >> 5) & 63) * 4);
          out[2] = (uint8_t)((v >> 11) * 8);
        } else {
          out[1] = (uint8_t)(((v >> 5) & 31) * 8);
          out[2] = (uint8_t)(((v >> 10) & 31) * 8);
        }
      }
      break;
    case 24:
      for (int32_t x = 0; x < w; x++, out += 3, src += 3) {
        out[0] = src[0];
        out[1] = src[1];
        out[2] = src[2];
      }
      break;
    case 32:
      for (int32_t x = 0; x < w; x++, out += 3, src += 4) {
        out[0] = src[0];
        out[1] = src[1];
        out[2] = src[2];
      }
      break;
  }
}

// Bytes of pixel data in one stored row, before padding; 0 for a layout that is not converted.
uint64_t storedRowBytes(const Header& h) {
  uint64_t w = (uint64_t)h.width;
  switch (h.bitCount) {
    case 1: return (w + 7) / 8;
    case 4: return h.compression == kCompressionRle4 ? 0 : (w + 1) / 2;
    case 8: return w;
    case 16:
      return h.compression == kCompressionNone || h.compression == kCompressionBitFields ? 2 * w
                                                                                         : 0;
    case 24: return 3 * w;
    case 32: return 4 * w;
    default: return 0;
  }
}

// A negative height is decoded too: its rows go where the destination's row order puts them,
// as every other stored row does.
void decodeRle8(const Header& h, const ByteReader& r, const Destination& dest) {
  int64_t rows = h.height < 0 ? -(int64_t)h.height : h.height;
  uint64_t pos = h.pixelOffset;
  int64_t row = 0;
  int64_t col = 0;
  auto put = [&](uint32_t index) {
    if (col < h.width) putIndexed(r, h.tableOffset, index, dest.row(row) + 3 * col);
    col++;
  };
  // Every pass consumes at least two bytes, so a stream without an end-of-bitmap mark ends
  // with the data.
  while (row < rows && r.has(pos, 2)) {
    uint32_t first = r.u8(pos);
    uint32_t second = r.u8(pos + 1);
    pos += 2;
    if (first != 0) {
      for (uint32_t i = 0; i < first; i++) put(second);
    } else if (second == 0) {
      row++;
      col = 0;
    } else if (second == 1) {
      return;
    } else if (second == 2) {
      if (!r.has(pos, 2)) return;
      col += r.u8(pos);
      row += r.u8(pos + 1);
      pos += 2;
    } else {
      const uint8_t* run = r.span(pos, second);
      if (!run) return;
      for (uint32_t i = 0; i < second; i++) put(run[i]);
      pos += second + (second & 1);
    }
  }
}
}  // namespace

int BmpDecoder_Probe(DecodeContext* context) {
  ByteReader r{context->data, context->size};
  if (r.u16(0) != 0x4D42 || !r.has(0, 2) || r.u16(6) != 0 || r.u16(8) != 0) return 0;
  // 12-byte core headers keep their fields elsewhere; read at these offsets they would give
  // nonsense sizes, so such files (and shorter headers) are refused.
  // A file too short to hold both headers is no BMP file at all.
  if (r.u32(14) < kInfoHeaderMin || !r.has(14, kInfoHeaderMin)) return 0;
  Header h = readHeader(r);
  int32_t pitch;
  size_t total;
  // No bitmap could be made of these sides: refuse rather than let the allocation decide.
  if (!image_detail::pictureBytes(h.width, h.height, 24, &pitch, &total)) return 0;
  context->width = h.width;
  context->height = h.height;
  context->sourceDepth = (int32_t)h.bitCount;
  context->outputDepth = 24;
  context->privateWords[0] = (uintptr_t)context->data;
  return 1;
}

int BmpDecoder_Decode(DecodeContext* context, uint8_t* bits, int32_t pitch, uint32_t flags) {
  Bmp_DecodePixels(context->data, context->size, bits, pitch, flags);
  return 1;
}

void BmpDecoder_Close(DecodeContext*) {}

void Bmp_DecodePixels(const uint8_t* data, uint32_t size, uint8_t* bits, int32_t pitch,
                      uint32_t flags) {
  ByteReader r{data, size};
  Header h = readHeader(r);
  int32_t needed;
  size_t total;
  if (!image_detail::pictureBytes(h.width, h.height, 24, &needed, &total) || pitch < needed) return;
  Destination dest(bits, pitch, h.height < 0 ? -h.height : h.height, flags);
  if (h.bitCount == 8 && h.compression == kCompressionRle8) {
    decodeRle8(h, r, dest);
    return;
  }
  if (h.height <= 0) return;
  uint64_t rowBytes = storedRowBytes(h);
  if (rowBytes == 0) return;
  uint64_t stride = (rowBytes + 3) & ~(uint64_t)3;
  for (int32_t k = 0; k < h.height; k++) {
    const uint8_t* src = r.span(h.pixelOffset + (uint64_t)k * stride, rowBytes);
    if (!src) return;  // the file ends early: what follows stays black
    convertRow(h, r, src, dest.row(k));
  }
}

const ImageDecoder g_bmpDecoder = {BmpDecoder_Probe, BmpDecoder_Decode, BmpDecoder_Close,
                                   FORMAT_BMP};

void BmpDecoder_Register() { ImageDecoder_Register(&g_bmpDecoder); }
