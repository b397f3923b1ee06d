// The font library: the font registry and the screen's vertical logical pixels per inch.
// Nothing in this program creates a font, but the registry is made at start and emptied at
// end like every other kind's, so a font created later is freed with the rest.
#include "runtime/accounting.h"
#include "runtime/font.h"
#include "runtime/registry.h"

namespace {

ObjectRegistry* fonts;
int pixelsPerInchY = 96;

}  // namespace

void Font_Free(intptr_t number) {
  if (number == OBJECT_ALL) {
    Registry_FreeAll(fonts);
    return;
  }
  HFONT* record = (HFONT*)Registry_Get(fonts, number);
  if (!record) return;
  if (DeleteObject(*record)) Account_Deleted(ACCOUNT_FONT);
  Registry_Release(fonts, number);
}

void FontLib_Start() {
  fonts = Registry_Create(sizeof(HFONT), 16, Font_Free);
  // Read once: the value does not change while the program runs.
  HDC dc = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
  if (dc) {
    Account_Created(ACCOUNT_DC);
    pixelsPerInchY = GetDeviceCaps(dc, LOGPIXELSY);
    if (pixelsPerInchY <= 0) pixelsPerInchY = 96;
    DeleteDC(dc);
    Account_Deleted(ACCOUNT_DC);
  } else {
    pixelsPerInchY = 96;
  }
}

void FontLib_End() { Registry_FreeAll(fonts); }

int FontLib_PixelsPerInchY() { return pixelsPerInchY; }

ObjectRegistry* FontLib_Registry() { return fonts; }
