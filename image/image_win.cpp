// Windows side of the image library: whole-file reading, the DIB section that decoders write
// into, icons made with CreateIconFromResourceEx, and destroying handles. Every bitmap, icon
// and device context made or destroyed here is counted in the object accounting.
#include <string.h>

#include "image/bitmap.h"
#include "image/decoder.h"
#include "image/icon.h"
#include "image/record.h"
#include "runtime/accounting.h"
#include "runtime/memory.h"

bool image_detail::readWholeFile(const Char16* fileName, uint8_t** data, uint32_t* size) {
  HANDLE file = CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD high = 0;
  DWORD low = GetFileSize(file, &high);
  // A file of 4 GiB or more would be read short under its low 32 bits: refuse it outright.
  bool ok = !(low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) && high == 0;
  uint8_t* buffer = ok ? (uint8_t*)HeapAlloc(g_programHeap, 0, low ? low : 1) : nullptr;
  if (buffer) {
    DWORD read = 0;
    ok = ReadFile(file, buffer, low, &read, nullptr) && read == low;
    if (!ok) HeapFree(g_programHeap, 0, buffer);
  } else {
    ok = false;
  }
  CloseHandle(file);
  if (!ok) return false;
  *data = buffer;
  *size = low;
  return true;
}

bool image_detail::describeIcon(HICON icon, int32_t* width, int32_t* height, int32_t* depth) {
  ICONINFO info;
  if (!GetIconInfo(icon, &info)) return false;
  // GetIconInfo hands out fresh copies of both bitmaps; they are ours to delete.
  if (info.hbmMask) Account_Created(ACCOUNT_BITMAP);
  if (info.hbmColor) Account_Created(ACCOUNT_BITMAP);
  BITMAP bm;
  bool ok;
  if (info.hbmColor) {
    ok = GetObjectW(info.hbmColor, sizeof bm, &bm) == sizeof bm;
    if (ok) {
      *width = bm.bmWidth;
      *height = bm.bmHeight;
      *depth = bm.bmBitsPixel;
    }
  } else {
    // A monochrome icon has only its mask: the AND half above the XOR half, 1 bit deep.
    ok = info.hbmMask && GetObjectW(info.hbmMask, sizeof bm, &bm) == sizeof bm;
    if (ok) {
      *width = bm.bmWidth;
      *height = bm.bmHeight / 2;
      *depth = 1;
    }
  }
  if (info.hbmMask) {
    DeleteObject(info.hbmMask);
    Account_Deleted(ACCOUNT_BITMAP);
  }
  if (info.hbmColor) {
    DeleteObject(info.hbmColor);
    Account_Deleted(ACCOUNT_BITMAP);
  }
  return ok;
}

void image_detail::destroyHandle(HANDLE handle) {
  if (GetObjectType(handle) == OBJ_BITMAP) {
    DeleteObject(handle);
    Account_Deleted(ACCOUNT_BITMAP);
  } else {
    DestroyIcon((HICON)handle);
    Account_Deleted(ACCOUNT_ICON);
  }
}

HICON Icon_FromMemory(const uint8_t* data, uint32_t size) {
  IconChoice choice;
  if (!IconDirectory_Choose(data, size, &choice)) return nullptr;
  BYTE* block = (BYTE*)GlobalAlloc(GMEM_FIXED, choice.bytes);
  if (!block) return nullptr;
  memcpy(block, data + choice.offset, choice.bytes);
  HICON icon;
  if (choice.png) {
    // A PNG-compressed image has no BITMAPINFOHEADER: its size comes from the directory
    // entry. The size-less fallback would make a 32 x 32 icon of it, so it is not tried.
    icon = CreateIconFromResourceEx(block, choice.bytes, TRUE, 0x00030000, (int)choice.width,
                                    (int)choice.height, 0);
  } else {
    image_detail::ByteReader header{block, choice.bytes};
    int32_t width = (int32_t)header.u32(4);
    int32_t height = (int32_t)header.u32(8);  // counts the colour and the mask halves
    uint32_t bitCount = header.u16(14);
    icon = CreateIconFromResourceEx(block, choice.bytes, TRUE, 0x00030000, width, height / 2, 0);
    if (!icon && bitCount != 16)
      icon = CreateIconFromResource(block, choice.bytes, TRUE, 0x00030000);
  }
  GlobalFree(block);
  if (icon) Account_Created(ACCOUNT_ICON);
  return icon;
}

namespace {
// A bottom-up DIB section of the given size and depth, its memory zeroed by the platform.
HBITMAP newDibSection(int32_t width, int32_t height, int32_t depth, uint8_t** bits) {
  int32_t pitch;
  size_t total;
  if (!image_detail::pictureBytes(width, height, depth, &pitch, &total)) return nullptr;
  BITMAPINFO info;
  memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // positive: bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = (WORD)depth;
  info.bmiHeader.biCompression = BI_RGB;

  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return nullptr;
  Account_Created(ACCOUNT_DC);
  void* memory = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
  DeleteDC(dc);
  Account_Deleted(ACCOUNT_DC);
  if (!bitmap) return nullptr;
  Account_Created(ACCOUNT_BITMAP);
  if (!memory) {
    image_detail::destroyHandle(bitmap);
    return nullptr;
  }
  *bits = (uint8_t*)memory;
  return bitmap;
}
}  // namespace

HANDLE image_detail::blankBitmap(int32_t width, int32_t height, int32_t depth) {
  uint8_t* bits;
  return newDibSection(width, height, depth, &bits);
}

HBITMAP Bitmap_FromDecoder() {
  const DecodeContext* context = ImageDecoder_Context();
  uint8_t* bits;
  HBITMAP bitmap = newDibSection(context->width, context->height, context->outputDepth, &bits);
  if (!bitmap) return nullptr;
  int32_t rowBytes = Bitmap_RowBytes(context->width, context->outputDepth);
  if (!ImageDecoder_DecodeRows(bits, rowBytes, DECODE_BOTTOM_UP)) {
    image_detail::destroyHandle(bitmap);
    return nullptr;
  }
  return bitmap;
}

int Bitmap_Describe(HANDLE bitmap, BitmapView* view) {
  DIBSECTION section;
  if (!bitmap || GetObjectType(bitmap) != OBJ_BITMAP) return 0;
  if (GetObjectW(bitmap, sizeof section, &section) != sizeof section || !section.dsBm.bmBits)
    return 0;
  view->width = section.dsBm.bmWidth;
  view->rows = section.dsBm.bmHeight;
  view->bitCount = section.dsBm.bmBitsPixel;
  view->pitch = Bitmap_RowBytes(section.dsBm.bmWidth, section.dsBm.bmBitsPixel);
  view->bottomUp = section.dsBmih.biHeight > 0;
  view->bits = (uint8_t*)section.dsBm.bmBits;
  return 1;
}
