// The value card: what a slot shows when the drawn value's own picture cannot be shown (the
// file is missing, cannot be decoded or is larger than a slot takes). It is the drawn value
// written large and centred, on the group's placeholder when there is one, else on a plain
// card, so that a slot never goes on showing another draw's number.
#include "app/slot_picture.h"

#include "gui/gadget.h"
#include "gui/scaling.h"
#include "image/alpha.h"
#include "image/image.h"
#include "runtime/accounting.h"
#include "runtime/tempstring.h"

namespace {

const int32_t kCardSide = 100;  // without a placeholder, in design units

// In high contrast the card is the system's own window and text colours, nothing else.
bool highContrast() {
  HIGHCONTRASTW contrast = {};
  contrast.cbSize = sizeof contrast;
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

// The placeholder as the slot would show it over the window's background.
void drawPlaceholder(HDC dc, HANDLE picture) {
  if (Bitmap_HasAlpha(picture)) {
    HBITMAP premultiplied = Bitmap_Premultiplied(picture, nullptr, 0);
    if (!premultiplied) return;
    Bitmap_AlphaDraw(dc, 0, 0, 0, 0, premultiplied, nullptr, 255);
    Bitmap_AlphaDelete(premultiplied);
    return;
  }
  UINT type = GetObjectType(picture) == OBJ_BITMAP ? DST_BITMAP : DST_ICON;
  DrawStateW(dc, nullptr, nullptr, (LPARAM)picture, 0, 0, 0, 0, 0, type);
}

// The interface's own font at the window's resolution, bold, with digits about half the card
// high.
HFONT numberFont(int32_t width, int32_t height, int32_t dpi) {
  LOGFONTW font = {};  // unread, the system's default face
  Gadget_MessageFont(dpi, &font);
  int32_t side = width < height ? width : height;
  font.lfHeight = -(side / 2);
  font.lfWidth = 0;
  font.lfWeight = FW_BOLD;
  font.lfItalic = FALSE;
  HFONT made = CreateFontIndirectW(&font);
  if (made) Account_Created(ACCOUNT_FONT);
  return made;
}

// Dark digits with a light rim: legible on any placeholder.
void drawNumber(HDC dc, RECT area, int32_t value, int32_t dpi) {
  int32_t start = TempString_Area().end;
  Number_AppendText((int64_t)value, start);
  TempString_Area().end += 2;
  const Char16* text = TempString_Address(start);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_WINDOW));
  int32_t r = Scaling_ToPixels(2, dpi);
  for (int dx = -r; dx <= r; dx += r)
    for (int dy = -r; dy <= r; dy += r) {
      RECT rim = {area.left + dx, area.top + dy, area.right + dx, area.bottom + dy};
      DrawTextW(dc, text, -1, &rim, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  DrawTextW(dc, text, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  TempString_Area().end = start;
}

}  // namespace

intptr_t Slot_MakeValueCard(intptr_t number, intptr_t placeholder, int32_t value, int32_t dpi) {
  HANDLE picture = highContrast() ? nullptr : (HANDLE)Image_Handle(placeholder);
  // The placeholder is loaded at the window's resolution already.
  int32_t width = picture ? Image_Width(placeholder) : 0;
  int32_t height = picture ? Image_Height(placeholder) : 0;
  if (width <= 0 || height <= 0) {
    picture = nullptr;
    width = Scaling_ToPixels(kCardSide, dpi);
    height = Scaling_ToPixels(kCardSide, dpi);
  }
  HANDLE card = (HANDLE)Image_Create(number, width, height);
  if (!card) return 0;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) {
    Image_Free(number);
    return 0;
  }
  Account_Created(ACCOUNT_DC);
  HGDIOBJ previousBitmap = SelectObject(dc, card);
  RECT area = {0, 0, width, height};
  // Under the placeholder's transparent pixels lies what lies under a slot: the window.
  FillRect(dc, &area, GetSysColorBrush(picture ? COLOR_BTNFACE : COLOR_WINDOW));
  if (picture) drawPlaceholder(dc, picture);
  HFONT font = numberFont(width, height, dpi);
  HGDIOBJ previousFont = font ? SelectObject(dc, font) : nullptr;
  drawNumber(dc, area, value, dpi);
  if (font) {
    SelectObject(dc, previousFont);
    DeleteObject(font);
    Account_Deleted(ACCOUNT_FONT);
  }
  SelectObject(dc, previousBitmap);
  DeleteDC(dc);
  Account_Deleted(ACCOUNT_DC);
  return (intptr_t)card;
}
