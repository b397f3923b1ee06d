// Decoder plug-ins and the one shared decoding context.
//
// A decoder is a static ImageDecoder record registered by address. Loading clears the
// DecodeContext, offers the data to each registered decoder in registration order (probe),
// creates a bitmap from what the accepting decoder reported, lets it write the rows straight
// into the bitmap's memory (decode) and then closes it. One cycle at a time: the context is a
// single object, so loading is not re-entrant.
//
// Row layout offered to decoders: rows of `pitch` bytes; 24 bits per pixel as blue, green,
// red; 32 bits per pixel as blue, green, red, alpha (straight alpha); rows padded to 4 bytes.
#pragma once

#include "runtime/platform.h"

// Format tags: four bytes read as one little-endian word.
const uint32_t FORMAT_PNG = 0x00474E50;   // "PNG\0"
const uint32_t FORMAT_BMP = 0x00504D42;   // "BMP\0"
const uint32_t FORMAT_ICON = 0x4E4F4349;  // "ICON"

// decode flags: the picture's top row goes to the last destination row.
const uint32_t DECODE_BOTTOM_UP = 2;

const int DECODER_TABLE_SIZE = 30;
const int DECODE_PRIVATE_WORDS = 8;

struct ImageDecoder;

struct DecodeContext {
  const ImageDecoder* decoder;  // the decoder that accepted the current data
  const uint8_t* data;          // the whole file; valid only during the load
  uint32_t size;
  int32_t width;
  int32_t height;
  int32_t outputDepth;                           // 24 or 32: the bitmap to create
  uintptr_t privateWords[DECODE_PRIVATE_WORDS];  // the accepting decoder's own; cleared per probe
  int32_t sourceDepth;                           // bits per pixel in the file
  int32_t frameCount;                            // always 1
};

struct ImageDecoder {
  int (*probe)(DecodeContext* context);
  int (*decode)(DecodeContext* context, uint8_t* bits, int32_t pitch, uint32_t flags);
  void (*close)(DecodeContext* context);
  uint32_t tag;
};

void ImageDecoder_Start();
// 1 when stored; 0 when the table is full or already holds the record (nothing changes).
int ImageDecoder_Register(const ImageDecoder* decoder);
int ImageDecoder_Count();
DecodeContext* ImageDecoder_Context();
uint32_t ImageDecoder_Find(const uint8_t* data, uint32_t size);
int ImageDecoder_DecodeRows(uint8_t* bits, int32_t pitch, uint32_t flags);
void ImageDecoder_Close();

// Bytes per row of a bitmap `width` pixels wide at `bitCount` bits per pixel, padded to 4
// bytes; 0 if the width is negative or the row would not fit in 31 bits.
int32_t Bitmap_RowBytes(int32_t width, int32_t bitCount);

// Limits on the pictures a decoder may accept: nothing larger is ever allocated.
const int32_t IMAGE_MAX_SIDE = 1000000;
const uint64_t IMAGE_MAX_BYTES = 0x20000000;  // 512 MiB of pixels

namespace image_detail {
// The one checked computation of a picture's memory: width x |height| pixels at bitCount
// bits, rows padded as Bitmap_RowBytes pads them. False (and nothing set) when a side is 0,
// the width is negative, a side exceeds IMAGE_MAX_SIDE or the total exceeds IMAGE_MAX_BYTES.
bool pictureBytes(int32_t width, int32_t height, int32_t bitCount, int32_t* pitch, size_t* total);

// Bounded little-endian reader over untrusted data: every read past the end yields 0, and
// `has` tells whether a span lies wholly inside. Offsets are 64-bit so that sums of file
// fields never wrap.
struct ByteReader {
  const uint8_t* data;
  uint32_t size;

  bool has(uint64_t offset, uint64_t count) const {
    return offset <= size && count <= size - offset;
  }
  uint32_t u8(uint64_t offset) const { return has(offset, 1) ? data[offset] : 0; }
  uint32_t u16(uint64_t offset) const {
    return has(offset, 2) ? (uint32_t)data[offset] | (uint32_t)data[offset + 1] << 8 : 0;
  }
  uint32_t u32(uint64_t offset) const {
    if (!has(offset, 4)) return 0;
    return (uint32_t)data[offset] | (uint32_t)data[offset + 1] << 8 |
           (uint32_t)data[offset + 2] << 16 | (uint32_t)data[offset + 3] << 24;
  }
  const uint8_t* span(uint64_t offset, uint64_t count) const {
    return has(offset, count) ? data + offset : nullptr;
  }
};
}  // namespace image_detail

// The bitmap for the accepted picture: a bottom-up DIB section of the context's size and
// output depth, filled by the decoder. 0 on any failure (the decoder is not closed here).
HBITMAP Bitmap_FromDecoder();

// The BMP decoder (first registered) and the PNG decoder (last).
int BmpDecoder_Probe(DecodeContext* context);
int BmpDecoder_Decode(DecodeContext* context, uint8_t* bits, int32_t pitch, uint32_t flags);
void BmpDecoder_Close(DecodeContext* context);
// The conversion proper, over the whole file in `data`; writes only inside width x |height|
// of the destination and reads only inside the data.
void Bmp_DecodePixels(const uint8_t* data, uint32_t size, uint8_t* bits, int32_t pitch,
                      uint32_t flags);
extern const ImageDecoder g_bmpDecoder;

int PngDecoder_Probe(DecodeContext* context);
int PngDecoder_Decode(DecodeContext* context, uint8_t* bits, int32_t pitch, uint32_t flags);
void PngDecoder_Close(DecodeContext* context);
extern const ImageDecoder g_pngDecoder;
