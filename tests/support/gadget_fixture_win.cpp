#include "tests/support/gadget_fixture.h"

#include "gui/events.h"
#include "gui/gadget.h"
#include "gui/scaling.h"
#include "gui/window.h"
#include "image/alpha.h"
#include "runtime/memory.h"
#include "runtime/tempstring.h"
#include "tests/support/foreground_win.h"

namespace gadgettest {

void startRuntime() {
  static bool started = false;
  if (started) return;
  started = true;
  g_instance = GetModuleHandleW(nullptr);
  g_programHeap = HeapCreate(0, 4096, 0);
  TempString_Start();
  EventLib_Start();
  Memory_Start();
  AlphaBlend_Start();
  Scaling_Start();
  WindowLib_Start();
  GadgetLib_Start();
  Controls_Start();
}

void pump(int milliseconds) {
  DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(1);
  } while ((int)(GetTickCount() - start) < milliseconds);
}

std::vector<Event> takeEvents() {
  std::vector<Event> events;
  for (int32_t code; (code = Event_Take()) != 0;)
    events.push_back({code, Event_Gadget(), Event_Window(), Event_Type()});
  return events;
}

std::vector<Event> takeGadgetEvents() {
  std::vector<Event> gadgetEvents;
  for (const Event& e : takeEvents())
    if (e.code == EVENT_GADGET) gadgetEvents.push_back(e);
  return gadgetEvents;
}

HBITMAP makePicture(int width, int height, int bitCount,
                    const std::function<uint32_t(int, int)>& pixel) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = (WORD)bitCount;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  int bytes = bitCount / 8;
  int pitch = (width * bytes + 3) & ~3;
  for (int y = 0; y < height; y++) {
    uint8_t* row = (uint8_t*)bits + (size_t)(height - 1 - y) * pitch;
    for (int x = 0; x < width; x++) {
      uint32_t p = pixel(x, y);
      for (int b = 0; b < bytes; b++) row[x * bytes + b] = (uint8_t)(p >> (8 * b));
    }
  }
  GdiFlush();
  return bitmap;
}

void mouseTo(HWND window, int x, int y) {
  POINT p = {x, y};
  ClientToScreen(window, &p);
  SetCursorPos(p.x, p.y);
  pump(20);
}

void mouseButton(DWORD flags) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof(input));
  pump(20);
}

void click(HWND window, int x, int y) {
  mouseTo(window, x, y);
  mouseButton(MOUSEEVENTF_LEFTDOWN);
  mouseButton(MOUSEEVENTF_LEFTUP);
}

uint32_t rgbOf(COLORREF colour) {
  return ((uint32_t)GetRValue(colour) << 16) | ((uint32_t)GetGValue(colour) << 8) |
         GetBValue(colour);
}

uint32_t screenPixel(HWND window, int x, int y) {
  // Read the whole screen, as a screenshot would, rather than ask the window.
  POINT p = {x, y};
  ClientToScreen(window, &p);
  HDC screen = GetDC(nullptr);
  COLORREF c = GetPixel(screen, p.x, p.y);
  ReleaseDC(nullptr, screen);
  return rgbOf(c);
}

uint32_t printedPixel(HWND control, int x, int y, uint32_t background) {
  RECT r;
  GetClientRect(control, &r);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right + 1, r.bottom + 1);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  HBRUSH brush =
      CreateSolidBrush(RGB(background >> 16, (background >> 8) & 0xFF, background & 0xFF));
  RECT all = {0, 0, r.right + 1, r.bottom + 1};
  FillRect(dc, &all, brush);
  DeleteObject(brush);
  SendMessageW(control, WM_PRINTCLIENT, (WPARAM)dc, PRF_CLIENT);
  COLORREF c = GetPixel(dc, x, y);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return rgbOf(c);
}

RECT rectInParent(HWND control) {
  RECT r = {0, 0, 0, 0};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetParent(control), (POINT*)&r, 2);
  return r;
}

std::vector<HWND> children(HWND window) {
  std::vector<HWND> found;
  for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) found.push_back(c);
  return found;
}

// Window 0 stays open from test to test: destroying an active top-level window costs about two
// seconds under Wine without a window manager.
void GadgetTest::SetUp() {
  static HWND shared = nullptr;
  if (!shared || !IsWindow(shared)) {
    shared = (HWND)Window_Open(0, 0, 0, 760, 140, L"Gadget test", WINDOW_SYSTEM_MENU);
    ASSERT_NE(shared, nullptr);
  } else {
    GadgetList_Use(shared);
  }
  window = shared;
  // Real clicks land on the window under the cursor, and screen pixels are the top window's.
  ASSERT_TRUE(test_support::inFront(window));
  pump(50);
  takeEvents();
}

void GadgetTest::TearDown() {
  Gadget_Free(OBJECT_ALL);
  for (intptr_t number = 1; number < 4; number++) Window_Free(number);
  pump(20);
  takeEvents();
}

}  // namespace gadgettest
