// Bitmap alpha over GDI: AlphaBlend is looked up in msimg32.dll, from the system folder only, at
// start-up and is optional; without it every operation reports "no alpha" or does nothing, and
// the gadget draws its pictures opaquely. Device contexts and bitmaps made here are counted in the
// accounting.
#include <string.h>

#include "image/alpha.h"
#include "image/decoder.h"
#include "runtime/accounting.h"
#include "runtime/memory.h"
#include "runtime/system_library.h"

namespace {
typedef BOOL(WINAPI* AlphaBlendFn)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
HMODULE g_msimg32;
AlphaBlendFn g_alphaBlend;

HDC makeDc(HDC compatible) {
  HDC dc = CreateCompatibleDC(compatible);
  if (dc) Account_Created(ACCOUNT_DC);
  return dc;
}

void deleteDc(HDC dc) {
  DeleteDC(dc);
  Account_Deleted(ACCOUNT_DC);
}

void fillHeader32(BITMAPINFO* info, LONG width, LONG height) {
  memset(info, 0, sizeof *info);
  info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info->bmiHeader.biWidth = width;
  info->bmiHeader.biHeight = height;
  info->bmiHeader.biPlanes = 1;
  info->bmiHeader.biBitCount = 32;
  info->bmiHeader.biCompression = BI_RGB;
}
}  // namespace

void AlphaBlend_Start() {
  g_msimg32 = System_LoadLibrary(L"msimg32.dll");
  g_alphaBlend = g_msimg32 ? (AlphaBlendFn)(void*)GetProcAddress(g_msimg32, "AlphaBlend") : nullptr;
}

void AlphaBlend_End() {
  if (g_msimg32) FreeLibrary(g_msimg32);
  g_msimg32 = nullptr;
  g_alphaBlend = nullptr;
}

int AlphaBlend_Available() { return g_alphaBlend != nullptr; }

uint32_t* Bitmap_Pixels32(HANDLE bitmap, int* mustFree) {
  BITMAP bm;
  if (GetObjectW(bitmap, sizeof bm, &bm) != sizeof bm) return nullptr;
  if (bm.bmBits) {
    *mustFree = 0;
    return (uint32_t*)bm.bmBits;
  }
  *mustFree = 1;
  int32_t pitch;
  size_t total;
  if (!image_detail::pictureBytes(bm.bmWidth, bm.bmHeight, 32, &pitch, &total)) return nullptr;
  HDC dc = makeDc(nullptr);
  if (!dc) return nullptr;
  uint32_t* buffer = (uint32_t*)HeapAlloc(g_programHeap, 0, total);
  if (buffer) {
    BITMAPINFO info;
    fillHeader32(&info, bm.bmWidth, -bm.bmHeight);  // top-down rows
    if (!GetDIBits(dc, (HBITMAP)bitmap, 0, bm.bmHeight, buffer, &info, DIB_RGB_COLORS)) {
      HeapFree(g_programHeap, 0, buffer);
      buffer = nullptr;
    }
  }
  deleteDc(dc);
  return buffer;
}

int Bitmap_HasAlpha(HANDLE bitmap) {
  if (!g_alphaBlend || GetObjectType(bitmap) != OBJ_BITMAP) return 0;
  DIBSECTION section;
  if (GetObjectW(bitmap, sizeof section, &section) == sizeof section)
    return section.dsBm.bmBitsPixel == 32;  // no pixel is examined for a DIB section
  BITMAP bm;
  if (GetObjectW(bitmap, sizeof bm, &bm) != sizeof bm || bm.bmBitsPixel != 32) return 0;
  int mustFree = 0;
  uint32_t* pixels = Bitmap_Pixels32(bitmap, &mustFree);
  if (!pixels) return 0;
  bool found = pixels::anyAlpha((const uint8_t*)pixels, bm.bmWidth, bm.bmHeight,
                                Bitmap_RowBytes(bm.bmWidth, 32));
  if (mustFree) HeapFree(g_programHeap, 0, pixels);
  return found ? 1 : 0;
}

HBITMAP Bitmap_Premultiplied(HANDLE bitmap, HDC dc, int mode) {
  (void)mode;
  if (!g_alphaBlend) return nullptr;
  HDC work = dc ? dc : makeDc(nullptr);
  if (!work) return nullptr;
  HBITMAP copy = nullptr;
  BITMAP bm;
  int32_t pitch;
  size_t total;
  if (GetObjectW(bitmap, sizeof bm, &bm) == sizeof bm &&
      image_detail::pictureBytes(bm.bmWidth, bm.bmHeight, 32, &pitch, &total)) {
    BITMAPINFO info;
    fillHeader32(&info, bm.bmWidth, bm.bmHeight);
    void* bits = nullptr;
    copy = CreateDIBSection(work, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (copy) {
      Account_Created(ACCOUNT_BITMAP);
      // A copy whose pixels could not be read would be drawn as a transparent hole.
      if (GetDIBits(work, (HBITMAP)bitmap, 0, bm.bmHeight, bits, &info, DIB_RGB_COLORS)) {
        pixels::premultiply((uint32_t*)bits, (size_t)bm.bmWidth * (size_t)bm.bmHeight);
      } else {
        DeleteObject(copy);
        Account_Deleted(ACCOUNT_BITMAP);
        copy = nullptr;
      }
    }
  }
  if (!dc) deleteDc(work);
  return copy;
}

void Bitmap_AlphaDraw(HDC dc, int x, int y, int width, int height, HANDLE bitmap, HDC memoryDc,
                      int alpha) {
  if (!g_alphaBlend) return;
  BITMAP bm;
  if ((width == 0 || height == 0) && GetObjectW(bitmap, sizeof bm, &bm) == sizeof bm) {
    width = bm.bmWidth;
    height = bm.bmHeight;
  }
  HDC source = memoryDc ? memoryDc : makeDc(dc);
  if (!source) return;
  HGDIOBJ previous = SelectObject(source, bitmap);
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, (BYTE)alpha, AC_SRC_ALPHA};
  g_alphaBlend(dc, x, y, width, height, source, 0, 0, width, height, blend);
  SelectObject(source, previous);
  if (!memoryDc) deleteDc(source);
}

void Bitmap_AlphaDelete(HANDLE bitmap) {
  if (!g_alphaBlend || !bitmap) return;
  DeleteObject(bitmap);
  Account_Deleted(ACCOUNT_BITMAP);
}
