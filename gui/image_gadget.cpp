// Image gadget: a STATIC control (no picture style of its own, SS_NOTIFY for clicks) whose
// subclass procedure keeps the picture handle, sizes the control to the picture and paints it.
// A picture with an alpha channel is drawn from the gadget's own premultiplied copy through
// AlphaBlend; anything else with DrawStateW.
//
// Transparent pixels must show the window underneath. A blended picture is painted whole in a
// memory bitmap (the window's background, then the blend) and copied to the screen in one
// go, so that any repaint, however it was asked for, gives the same pixels: blending straight
// onto the screen would blend over what the control last drew and darken soft edges. When an
// alpha picture changes or moves, the window area under the control is repainted as well
// (ImageGadget_RedrawUnder), for the parts the control no longer covers.
#include "gui/gadget.h"

#include "image/alpha.h"
#include "runtime/accounting.h"
#include "runtime/memory.h"

namespace {

// The kind fields of the gadget record.
struct ImageFields {
  HANDLE image;           // shown, not owned (the image object owns it)
  HBITMAP premultiplied;  // owned: the premultiplied copy of a picture with alpha
  int32_t pressed;        // left button down inside, no drag started yet
  int16_t pressX;         // client coordinates of that press
  int16_t pressY;
};
static_assert(sizeof(ImageFields) <= sizeof(((GadgetRecord*)nullptr)->kindFields),
              "image fields fit the record");

GadgetKind g_kind;
int32_t g_dragX;
int32_t g_dragY;
WNDPROC g_staticProc;
// Set by a right double-click so that the release that ends it posts nothing. One for all
// image gadgets: only one mouse button sequence is under way at a time.
bool g_rightDouble;

ImageFields* fieldsOf(GadgetRecord* record) { return (ImageFields*)record->kindFields; }

LRESULT forward(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!g_staticProc) return DefWindowProcW(control, message, wParam, lParam);
  return CallWindowProcW(g_staticProc, control, message, wParam, lParam);
}

bool hasStyle(HWND control, LONG_PTR bits) {
  return (GetWindowLongPtrW(control, GWL_STYLE) & bits) != 0;
}

void freeGadget(GadgetRecord* record) {
  ImageFields* f = fieldsOf(record);
  if (f->premultiplied) {
    Bitmap_AlphaDelete(f->premultiplied);
    f->premultiplied = nullptr;
  }
}

intptr_t getState(GadgetRecord* record) {
  return (intptr_t)SendMessageW(record->controlHandle, STM_GETIMAGE, 0, 0);
}

void setState(GadgetRecord* record, intptr_t value) {
  SendMessageW(record->controlHandle, STM_SETIMAGE, 0, (LPARAM)value);
}

void requiredSize(GadgetRecord* record, int32_t* width, int32_t* height) {
  RECT r = {0, 0, 0, 0};
  GetWindowRect(record->controlHandle, &r);
  *width = r.right - r.left;
  *height = r.bottom - r.top;
}

// With a picture the control is the picture's size.
bool sizesItself(GadgetRecord* record) { return fieldsOf(record)->image != nullptr; }

void fillKind() {
  if (g_kind.kindId) return;
  g_kind.kindId = GADGET_KIND_IMAGE;
  g_kind.SizesItself = sizesItself;
  g_kind.tableSize = (int32_t)sizeof(GadgetKind);
  g_kind.FreeGadget = freeGadget;
  g_kind.GetState = getState;
  g_kind.SetState = setState;
  g_kind.RequiredSize = requiredSize;
  g_dragX = GetSystemMetrics(SM_CXDRAG);
  g_dragY = GetSystemMetrics(SM_CYDRAG);
}

// The picture's natural size. False when the handle is neither a readable bitmap nor an icon
// whose size can be read: the control then keeps the size it has.
bool pictureSize(HANDLE image, int32_t* width, int32_t* height) {
  if (GetObjectType(image) == OBJ_BITMAP) {
    BITMAP bm;
    if (!GetObjectW(image, sizeof(bm), &bm)) return false;
    *width = bm.bmWidth;
    *height = bm.bmHeight;
    return true;
  }
  ICONINFO info;
  if (!GetIconInfo((HICON)image, &info)) return false;
  BITMAP bm;
  bool known = false;
  if (info.hbmColor && GetObjectW(info.hbmColor, sizeof(bm), &bm)) {
    *width = bm.bmWidth;
    *height = bm.bmHeight;
    known = true;
  } else if (!info.hbmColor && info.hbmMask && GetObjectW(info.hbmMask, sizeof(bm), &bm)) {
    // A monochrome icon keeps its AND and XOR masks stacked in one bitmap twice its height.
    *width = bm.bmWidth;
    *height = bm.bmHeight / 2;
    known = true;
  }
  if (info.hbmMask) DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  return known;
}

LRESULT setImage(HWND control, GadgetRecord* record, HANDLE image) {
  ImageFields* f = fieldsOf(record);
  f->image = image;
  if (f->premultiplied) {
    Bitmap_AlphaDelete(f->premultiplied);
    f->premultiplied = nullptr;
  }
  if (image && Bitmap_HasAlpha(image)) f->premultiplied = Bitmap_Premultiplied(image, nullptr, 0);
  ImageGadget_RedrawUnder(control, record);
  if (!image) return 0;

  int32_t width, height;
  bool resized = false;
  if (pictureSize(image, &width, &height)) {
    if ((GetWindowLongPtrW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) ||
        hasStyle(control, WS_DLGFRAME)) {
      width += 4;
      height += 4;
    }
    RECT before = {0, 0, 0, 0};
    GetWindowRect(control, &before);
    SetWindowPos(control, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    resized = before.right - before.left != width || before.bottom - before.top != height;
  }
  if (!f->premultiplied) {
    // Drawn opaque: paint it at once. This also covers an alpha picture whose copy could not
    // be made, which is then drawn like any other bitmap.
    InvalidateRect(control, nullptr, FALSE);
    UpdateWindow(control);
  } else if (resized) {
    // The area under the control grew or shrank after the first repaint beneath it.
    ImageGadget_RedrawUnder(control, record);
  }
  return (LRESULT)image;
}

// The brush the top window erases its background with, as the default erase reads it.
HBRUSH backgroundBrush(HWND control) {
  HBRUSH brush = (HBRUSH)GetClassLongPtrW(Gadget_TopWindow(control), GCLP_HBRBACKGROUND);
  uintptr_t value = (uintptr_t)brush;
  // A system colour index plus one stands for that colour's brush.
  if (value > 0 && value <= COLOR_MENUBAR + 1) return GetSysColorBrush((int)value - 1);
  return brush ? brush : GetSysColorBrush(COLOR_BTNFACE);
}

// What lies beneath, then the blend, composed off screen and copied as one image.
void paintBlended(HWND control, HDC dc, HBITMAP premultiplied, int offset) {
  RECT area;
  GetClientRect(control, &area);
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP canvas = memory ? CreateCompatibleBitmap(dc, area.right, area.bottom) : nullptr;
  if (!canvas) {
    // Short of memory: blend on the screen, as good as it gets.
    if (memory) DeleteDC(memory);
    Bitmap_AlphaDraw(dc, offset, offset, 0, 0, premultiplied, nullptr, 255);
    return;
  }
  Account_Created(ACCOUNT_DC);
  Account_Created(ACCOUNT_BITMAP);
  HGDIOBJ previous = SelectObject(memory, canvas);
  FillRect(memory, &area, backgroundBrush(control));
  Bitmap_AlphaDraw(memory, offset, offset, 0, 0, premultiplied, nullptr, 255);
  BitBlt(dc, 0, 0, area.right, area.bottom, memory, 0, 0, SRCCOPY);
  SelectObject(memory, previous);
  DeleteObject(canvas);
  DeleteDC(memory);
  Account_Deleted(ACCOUNT_BITMAP);
  Account_Deleted(ACCOUNT_DC);
}

void paint(HWND control, GadgetRecord* record, HDC dc) {
  ImageFields* f = fieldsOf(record);
  if (!f->image) return;
  int offset = hasStyle(control, WS_DLGFRAME) ? -1 : 0;
  if (f->premultiplied) {
    paintBlended(control, dc, f->premultiplied, offset);
  } else {
    UINT type = GetObjectType(f->image) == OBJ_BITMAP ? DST_BITMAP : DST_ICON;
    DrawStateW(dc, nullptr, nullptr, (LPARAM)f->image, 0, offset, offset, 0, 0, type);
  }
}

}  // namespace

void ImageGadget_RedrawUnder(HWND control, GadgetRecord* record) {
  if (record) {
    ImageFields* f = fieldsOf(record);
    // An opaque picture covers its whole area: nothing beneath shows.
    if (f->image && GetObjectType(f->image) == OBJ_BITMAP && !f->premultiplied) return;
  }
  RECT r;
  if (!GetWindowRect(control, &r)) return;
  HWND top = Gadget_TopWindow(control);
  POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
  ScreenToClient(top, &corners[0]);
  ScreenToClient(top, &corners[1]);
  RECT area = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  RedrawWindow(top, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

LRESULT CALLBACK ImageGadget_Procedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  // Until Gadget_Register has tied the control to its number there is no record: the control
  // behaves as a plain STATIC.
  GadgetRecord* record = gadget_detail::recordOf(control);
  if (!record) return forward(control, message, wParam, lParam);
  ImageFields* f = fieldsOf(record);

  switch (message) {
    case STM_SETIMAGE:
    case STM_SETICON: return setImage(control, record, (HANDLE)lParam);
    case STM_GETIMAGE:
    case STM_GETICON: return (LRESULT)f->image;

    case WM_PAINT:
    case WM_PRINT:
    case WM_PRINTCLIENT: {
      PAINTSTRUCT ps;
      HDC dc = message == WM_PAINT ? BeginPaint(control, &ps) : (HDC)wParam;
      if (!dc) return 0;
      paint(control, record, dc);
      if (message == WM_PAINT) EndPaint(control, &ps);
      return 0;
    }

    case WM_MOVE:
      ImageGadget_RedrawUnder(control, record);
      return forward(control, message, wParam, lParam);

    case WM_ENABLE:
      // Returning without forwarding keeps STN_ENABLE and STN_DISABLE from the parent.
      RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      return 0;

    case WM_SETTEXT:
      // The text is the gadget's accessible name, never drawn: the STATIC procedure would
      // paint it over the picture at once.
      return DefWindowProcW(control, message, wParam, lParam);

    case WM_LBUTTONDOWN:
      f->pressed = 1;
      f->pressX = (int16_t)LOWORD(lParam);
      f->pressY = (int16_t)HIWORD(lParam);
      SetCapture(control);
      return forward(control, message, wParam, lParam);  // STATIC notifies STN_CLICKED

    case WM_MOUSEMOVE:
      // A press whose release never came here (the capture went to a message box opened on
      // the click, say) is over once the button is seen up.
      if (!(wParam & MK_LBUTTON)) f->pressed = 0;
      if (f->pressed) {
        int32_t dx = (int16_t)LOWORD(lParam) - f->pressX;
        int32_t dy = (int16_t)HIWORD(lParam) - f->pressY;
        // Strict: a move of exactly the threshold is still a click.
        if (dx > g_dragX || dx < -g_dragX || dy > g_dragY || dy < -g_dragY) {
          f->pressed = 0;
          ReleaseCapture();
          Gadget_PostEvent(control, GADGET_EVENT_DRAG_START);
        }
      }
      return forward(control, message, wParam, lParam);

    case WM_LBUTTONUP:
      if (f->pressed) {
        f->pressed = 0;
        ReleaseCapture();
      }
      return forward(control, message, wParam, lParam);

    case WM_CAPTURECHANGED:
      // Without the capture (taken by another window, or let go on WM_CANCELMODE) the release
      // may go elsewhere: the press is over.
      if ((HWND)lParam != control) f->pressed = 0;
      return forward(control, message, wParam, lParam);

    case WM_LBUTTONDBLCLK:
      Gadget_PostEvent(control, GADGET_EVENT_LEFT_DOUBLE_CLICK);
      return 0;  // no STN_DBLCLK

    case WM_RBUTTONDOWN:
      // A fresh press: a flag left over from a double-click whose release never came here
      // (the control went away in between) must not swallow this click.
      g_rightDouble = false;
      return forward(control, message, wParam, lParam);

    case WM_RBUTTONUP:
      if (g_rightDouble) g_rightDouble = false;
      else Gadget_PostEvent(control, GADGET_EVENT_RIGHT_CLICK);
      return 0;

    case WM_RBUTTONDBLCLK:
      Gadget_PostEvent(control, GADGET_EVENT_RIGHT_DOUBLE_CLICK);
      g_rightDouble = true;
      return 0;

    default: return forward(control, message, wParam, lParam);
  }
}

intptr_t Gadget_ImageEx(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                        HANDLE image, uint32_t flags) {
  fillKind();
  DWORD exStyle = 0;
  DWORD style = WS_CHILD | WS_VISIBLE | SS_NOTIFY;
  if (flags & IMAGE_BORDER_SUNKEN) exStyle = WS_EX_CLIENTEDGE;
  else if (flags & IMAGE_BORDER_RAISED) style |= WS_DLGFRAME;
  gadget_detail::GadgetControl control = {
      L"STATIC", nullptr, style, exStyle, ImageGadget_Procedure, &g_staticProc, nullptr};
  intptr_t result = gadget_detail::create(number, &g_kind, &control, x, y, width, height);
  if (result) SendMessageW(control.made, STM_SETIMAGE, 0, (LPARAM)image);
  return result;
}

intptr_t Gadget_Image(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                      HANDLE image) {
  return Gadget_ImageEx(number, x, y, width, height, image, 0);
}
