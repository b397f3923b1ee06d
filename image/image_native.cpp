// Native side of the image library, for the builds that run the decoders on Linux: a memory
// bitmap standing for a DIB section (zero-filled, bottom-up for a positive height, as
// CreateDIBSection makes it), whole-file reading with stdio, and no icons at all (every icon
// file is "not an icon" here). Compiled only outside Windows.
#ifndef _WIN32

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "image/bitmap.h"
#include "image/decoder.h"
#include "image/icon.h"
#include "image/record.h"
#include "runtime/accounting.h"
#include "runtime/memory.h"

namespace {
const uint32_t kBitmapMagic = 0x4D424D4E;  // "NMBM"

struct MemoryBitmap {
  uint32_t magic;
  int32_t width;
  int32_t height;  // as created: negative for top-down
  int32_t bitCount;
  int32_t pitch;
  uint8_t* bits;
};

MemoryBitmap* asBitmap(HANDLE handle) {
  MemoryBitmap* bitmap = (MemoryBitmap*)handle;
  return bitmap && bitmap->magic == kBitmapMagic ? bitmap : nullptr;
}

// File names arrive as UTF-16; the Linux file system wants UTF-8. An unpaired surrogate
// makes the name unusable.
bool toUtf8(const Char16* text, std::string* out) {
  for (size_t i = 0; text[i]; i++) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      uint32_t low = text[i + 1];
      if (low < 0xDC00 || low > 0xDFFF) return false;
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      i++;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
    if (c < 0x80) {
      out->push_back((char)c);
    } else if (c < 0x800) {
      out->push_back((char)(0xC0 | c >> 6));
      out->push_back((char)(0x80 | (c & 63)));
    } else if (c < 0x10000) {
      out->push_back((char)(0xE0 | c >> 12));
      out->push_back((char)(0x80 | ((c >> 6) & 63)));
      out->push_back((char)(0x80 | (c & 63)));
    } else {
      out->push_back((char)(0xF0 | c >> 18));
      out->push_back((char)(0x80 | ((c >> 12) & 63)));
      out->push_back((char)(0x80 | ((c >> 6) & 63)));
      out->push_back((char)(0x80 | (c & 63)));
    }
  }
  return true;
}
}  // namespace

bool image_detail::readWholeFile(const Char16* fileName, uint8_t** data, uint32_t* size) {
  std::string path;
  if (!fileName || !toUtf8(fileName, &path)) return false;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return false;
  bool ok = fseek(file, 0, SEEK_END) == 0;
  long length = ok ? ftell(file) : -1;
  ok = ok && length >= 0 && (unsigned long)length <= 0xFFFFFFFFul && fseek(file, 0, SEEK_SET) == 0;
  uint8_t* buffer =
      ok ? (uint8_t*)HeapAlloc(g_programHeap, 0, length ? (size_t)length : 1) : nullptr;
  if (buffer && fread(buffer, 1, (size_t)length, file) != (size_t)length) {
    HeapFree(g_programHeap, 0, buffer);
    buffer = nullptr;
  }
  fclose(file);
  if (!buffer) return false;
  *data = buffer;
  *size = (uint32_t)length;
  return true;
}

bool image_detail::describeIcon(HICON, int32_t*, int32_t*, int32_t*) { return false; }

void image_detail::destroyHandle(HANDLE handle) {
  MemoryBitmap* bitmap = asBitmap(handle);
  if (!bitmap) return;
  bitmap->magic = 0;
  HeapFree(GetProcessHeap(), 0, bitmap->bits);
  HeapFree(GetProcessHeap(), 0, bitmap);
  Account_Deleted(ACCOUNT_BITMAP);
}

HICON Icon_FromMemory(const uint8_t*, uint32_t) { return nullptr; }

namespace {
// A zeroed memory bitmap, from the process heap so that a test can make it fail as
// CreateDIBSection can.
MemoryBitmap* newMemoryBitmap(int32_t width, int32_t height, int32_t depth) {
  int32_t pitch;
  size_t total;
  if (!image_detail::pictureBytes(width, height, depth, &pitch, &total)) return nullptr;
  HANDLE heap = GetProcessHeap();
  MemoryBitmap* bitmap = (MemoryBitmap*)HeapAlloc(heap, HEAP_ZERO_MEMORY, sizeof(MemoryBitmap));
  uint8_t* bits = bitmap ? (uint8_t*)HeapAlloc(heap, HEAP_ZERO_MEMORY, total ? total : 1) : nullptr;
  if (!bits) {
    if (bitmap) HeapFree(heap, 0, bitmap);
    return nullptr;
  }
  *bitmap = MemoryBitmap{kBitmapMagic, width, height, depth, pitch, bits};
  Account_Created(ACCOUNT_BITMAP);
  return bitmap;
}
}  // namespace

HANDLE image_detail::blankBitmap(int32_t width, int32_t height, int32_t depth) {
  return newMemoryBitmap(width, height, depth);
}

HBITMAP Bitmap_FromDecoder() {
  const DecodeContext* context = ImageDecoder_Context();
  MemoryBitmap* bitmap = newMemoryBitmap(context->width, context->height, context->outputDepth);
  if (!bitmap) return nullptr;
  if (!ImageDecoder_DecodeRows(bitmap->bits, bitmap->pitch, DECODE_BOTTOM_UP)) {
    image_detail::destroyHandle(bitmap);
    return nullptr;
  }
  return bitmap;
}

int Bitmap_Describe(HANDLE handle, BitmapView* view) {
  MemoryBitmap* bitmap = asBitmap(handle);
  if (!bitmap) return 0;
  view->width = bitmap->width;
  view->rows = bitmap->height < 0 ? -bitmap->height : bitmap->height;
  view->bitCount = bitmap->bitCount;
  view->pitch = bitmap->pitch;
  view->bottomUp = bitmap->height > 0;
  view->bits = bitmap->bits;
  return 1;
}

#endif  // !_WIN32
