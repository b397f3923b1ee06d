// Button gadget: a standard "Button" control. It has no procedure of its own; a click reaches
// the program as the control's WM_COMMAND BN_CLICKED to its window, which the window procedure
// turns into EVENT_GADGET with the full number read from GWL_ID.
#include "gui/gadget.h"

#include "gui/scaling.h"
#include "runtime/accounting.h"
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
      w = size.cx + Scale_X(2 * GetSystemMetrics(SM_CXEDGE) + 10);
      h = size.cy + Scale_Y(2 * GetSystemMetrics(SM_CYEDGE));
      if (h < Scale_Y(24)) h = Scale_Y(24);
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
  ObjectRegistry* gadgets = gadget_detail::registry();
  // The registry refuses numbers below -1; find that out before a control is made.
  if (!gadgets || number < OBJECT_DYNAMIC) return 0;
  fillKind();
  if (!text) text = L"";
  const int32_t design[4] = {x, y, width, height};
  Scale_Rect(&x, &y, &width, &height);

  HWND control = CreateWindowExW(0, L"Button", text, flags | kButtonStyle, x, y, width, height,
                                 GadgetList_Use(nullptr), (HMENU)(intptr_t)-1, g_instance, nullptr);
  if (!control) return 0;
  Account_Created(ACCOUNT_CONTROL);

  // An existing gadget with this number is destroyed here, now that its successor exists.
  GadgetRecord* record = (GadgetRecord*)Registry_Allocate(gadgets, number);
  if (!record) {
    gadget_detail::abandonControl(control);
    return 0;
  }
  intptr_t result = Gadget_Register(number, record, control, &g_kind);
  gadget_detail::keepDesignRect(record, design[0], design[1], design[2], design[3]);
  return result;
}

intptr_t Gadget_Button(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                       const Char16* text) {
  return Gadget_ButtonEx(number, x, y, width, height, text, 0);
}
