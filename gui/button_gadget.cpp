// Button gadget: a standard "Button" control. It has no procedure of its own; a click reaches
// the program as the control's WM_COMMAND BN_CLICKED to its window, which the window procedure
// turns into EVENT_GADGET with the full number read from GWL_ID.
#include "gui/gadget.h"

#include "gui/scaling.h"
#include "runtime/memory.h"

namespace {

const DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP;  // 0x50030000

GadgetKind g_kind;

intptr_t getState(GadgetRecord* record) {
  return SendMessageW(record->controlHandle, BM_GETCHECK, 0, 0) & 1;
}

void setState(GadgetRecord* record, intptr_t value) {
  SendMessageW(record->controlHandle, BM_SETCHECK, value ? 1 : 0, 0);
}

void fillKind() {
  if (g_kind.kindId) return;
  g_kind.kindId = GADGET_KIND_BUTTON;
  g_kind.tableSize = (int32_t)sizeof(GadgetKind);
  g_kind.GetState = getState;
  g_kind.SetState = setState;
  g_kind.RequiredSize = ButtonGadget_RequiredSize;
}

}  // namespace

void ButtonGadget_RequiredSize(GadgetRecord* record, int32_t* width, int32_t* height) {
  int32_t w = 0, h = 0;
  HWND control = record ? record->controlHandle : nullptr;
  HDC dc = control ? GetDC(control) : nullptr;
  if (dc) {
    HGDIOBJ font = (HGDIOBJ)SendMessageW(control, WM_GETFONT, 0, 0);
    HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    int n = GetWindowTextLengthW(control);
    Char16* text = n >= 0 ? (Char16*)HeapAlloc(g_programHeap, 0, 2 * (size_t)n + 2) : nullptr;
    if (text) {
      // The text is measured as it stands: an ampersand counts as a character, one line.
      int got = GetWindowTextW(control, text, n + 1);
      SIZE size = {0, 0};
      GetTextExtentPoint32W(dc, text, got, &size);
      // The margins at the resolution of the button's own window.
      Resolution at = Scaling_Of(control);
      w = size.cx + Scaling_ToPixels(2 * GetSystemMetrics(SM_CXEDGE) + 10, at.x);
      h = size.cy + Scaling_ToPixels(2 * GetSystemMetrics(SM_CYEDGE), at.y);
      int32_t least = Scaling_ToPixels(24, at.y);
      if (h < least) h = least;
      HeapFree(g_programHeap, 0, text);
    }
    if (previous) SelectObject(dc, previous);
    ReleaseDC(control, dc);
  }
  if (width) *width = w;
  if (height) *height = h;
}

intptr_t Gadget_ButtonEx(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                         const Char16* text, uint32_t flags) {
  fillKind();
  gadget_detail::GadgetControl control = {
      L"Button", text ? text : L"", flags | kButtonStyle, 0, nullptr, nullptr, nullptr};
  return gadget_detail::create(number, &g_kind, &control, x, y, width, height);
}

intptr_t Gadget_Button(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                       const Char16* text) {
  return Gadget_ButtonEx(number, x, y, width, height, text, 0);
}
