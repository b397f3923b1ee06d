// Gadget framework: replacement under a used number, stale events, failed creation, dynamic
// numbers, the default font, the current gadget list, and gadgets placed again and given the
// font of another resolution when the display changes.
#include "gui/gadget.h"

#include <commctrl.h>

#include <string>

#include "gui/events.h"
#include "gui/scaling.h"
#include "gui/window.h"
#include "runtime/accounting.h"
#include "runtime/memory.h"
#include "tests/support/gadget_fixture.h"

using namespace gadgettest;

namespace {

int liveRecords() {
  // Registry_Next gives the numbered records, then keeps answering the newest dynamic one.
  ObjectRegistry* gadgets = gadget_detail::registry();
  int count = 0;
  intptr_t number;
  Registry_Rewind(gadgets);
  while (Registry_Next(gadgets, &number) && number >= 0 && number < gadgets->capacity) count++;
  for (void* p = gadgets->dynamicChain; p; p = Chain_Next(p))
    if (((GadgetRecord*)p)->controlHandle) count++;
  return count;
}

uint32_t withAlpha(int x, int) { return x < 10 ? 0x00000000u : 0xFF2040C0u; }

class GadgetFramework : public GadgetTest {};

TEST_F(GadgetFramework, RecreatingANumberLeavesOneControlAndOneRecord) {
  HBITMAP first = makePicture(40, 30, 32, withAlpha);
  HBITMAP second = makePicture(50, 20, 32, withAlpha);
  int64_t controls = Account_Live(ACCOUNT_CONTROL);
  int64_t bitmaps = Account_Live(ACCOUNT_BITMAP);

  HWND old = (HWND)Gadget_Image(1, 0, 0, 100, 100, first);
  ASSERT_NE(old, nullptr);
  EXPECT_EQ(Account_Live(ACCOUNT_BITMAP), bitmaps + 1) << "premultiplied copy of the first picture";
  HWND now = (HWND)Gadget_Image(1, 0, 0, 100, 100, second);
  ASSERT_NE(now, nullptr);

  EXPECT_FALSE(IsWindow(old));
  std::vector<HWND> kids = children(window);
  ASSERT_EQ(kids.size(), 1u);
  EXPECT_EQ(kids[0], now);
  EXPECT_EQ(GetWindowLongPtrW(now, GWLP_ID), 1);
  EXPECT_EQ((intptr_t)GetPropW(now, L"QZ_ID"), 1);
  EXPECT_EQ(liveRecords(), 1);
  EXPECT_EQ(Gadget_FromControl(now)->controlHandle, now);
  EXPECT_EQ((HANDLE)SendMessageW(now, STM_GETIMAGE, 0, 0), second);
  EXPECT_EQ(Account_Live(ACCOUNT_CONTROL), controls + 1);
  EXPECT_EQ(Account_Live(ACCOUNT_BITMAP), bitmaps + 1) << "the old copy is deleted";

  Gadget_Free(1);
  EXPECT_FALSE(IsWindow(now));
  EXPECT_EQ(liveRecords(), 0);
  EXPECT_EQ(Account_Live(ACCOUNT_CONTROL), controls);
  EXPECT_EQ(Account_Live(ACCOUNT_BITMAP), bitmaps);
  DeleteObject(first);
  DeleteObject(second);
}

TEST_F(GadgetFramework, QueuedEventOfAReplacedGadgetIsNotDelivered) {
  HWND one = (HWND)Gadget_Button(1, 0, 0, 50, 20, L"one");
  HWND two = (HWND)Gadget_Button(2, 60, 0, 50, 20, L"two");
  SendMessageW(one, BM_CLICK, 0, 0);
  SendMessageW(two, BM_CLICK, 0, 0);
  ASSERT_NE(Gadget_Button(1, 0, 0, 50, 20, L"one again"), 0);

  std::vector<Event> events = takeGadgetEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].object, 2);
  EXPECT_EQ(events[0].window, 0);
}

TEST_F(GadgetFramework, FailedCreationKeepsTheOldGadgetAndNoCurrentListAfterItsWindowGoes) {
  HWND old = (HWND)Gadget_Button(1, 0, 0, 50, 20, L"old");
  ASSERT_NE(old, nullptr);
  // Window 1 becomes the current list, then goes: no list is left to create gadgets in.
  HWND other = (HWND)Window_Open(1, 0, 200, 200, 100, L"Other", WINDOW_SYSTEM_MENU);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(GadgetList_Use(nullptr), other);
  Window_Free(1);
  EXPECT_EQ(GadgetList_Use(nullptr), nullptr);

  int64_t controls = Account_Live(ACCOUNT_CONTROL);
  EXPECT_EQ(Gadget_Button(1, 0, 0, 50, 20, L"new"), 0);
  EXPECT_EQ(Gadget_Image(1, 0, 0, 50, 20, nullptr), 0);
  EXPECT_EQ(Gadget_Button(-2, 0, 0, 50, 20, L"bad number"), 0);
  EXPECT_EQ(Account_Live(ACCOUNT_CONTROL), controls);

  ASSERT_TRUE(IsWindow(old));
  EXPECT_EQ(GetWindowLongPtrW(old, GWLP_ID), 1);
  EXPECT_EQ(Gadget_FromControl(old)->controlHandle, old);
  SendMessageW(old, BM_CLICK, 0, 0);
  std::vector<Event> events = takeGadgetEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].object, 1);

  // The next window opened becomes the list again.
  HWND next = (HWND)Window_Open(2, 0, 200, 200, 100, L"Next", WINDOW_SYSTEM_MENU);
  EXPECT_EQ(GadgetList_Use(nullptr), next);
  HWND inNext = (HWND)Gadget_Button(3, 0, 0, 50, 20, L"three");
  EXPECT_EQ(GetParent(inNext), next);
}

TEST_F(GadgetFramework, SwitchingListsReturnsThePreviousOne) {
  HWND other = (HWND)Window_Open(1, 0, 200, 200, 100, L"Other", WINDOW_KEEP_GADGET_LIST);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(GadgetList_Use(nullptr), window) << "kept";
  EXPECT_EQ(GadgetList_Use(other), window);
  EXPECT_EQ(GetParent((HWND)Gadget_Button(1, 0, 0, 50, 20, L"a")), other);
  EXPECT_EQ(GadgetList_Use(window), other);
  EXPECT_EQ(GetParent((HWND)Gadget_Button(2, 0, 0, 50, 20, L"b")), window);
  EXPECT_EQ(GadgetList_Use(nullptr), window);
}

TEST_F(GadgetFramework, DynamicGadgetIsNamedByItsRecordAddress) {
  intptr_t number = Gadget_Button(OBJECT_DYNAMIC, 0, 0, 50, 20, L"dyn");
  ASSERT_NE(number, 0);
  GadgetRecord* record = (GadgetRecord*)number;
  HWND control = record->controlHandle;
  ASSERT_TRUE(IsWindow(control));
  EXPECT_EQ(GetWindowLongPtrW(control, GWLP_ID), number);
  EXPECT_EQ((intptr_t)GetPropW(control, L"QZ_ID"), number);
  EXPECT_EQ(Gadget_FromControl(control), record);

  SendMessageW(control, BM_CLICK, 0, 0);
  std::vector<Event> events = takeGadgetEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].object, number);
  EXPECT_EQ(events[0].type, BN_CLICKED);

  Gadget_Free(number);
  EXPECT_FALSE(IsWindow(control));
  EXPECT_EQ(liveRecords(), 0);
}

TEST_F(GadgetFramework, NewGadgetsUseTheMessageFont) {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = 500;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 500, &metrics, 0));
  HWND controls[2] = {(HWND)Gadget_Button(1, 0, 0, 50, 20, L"b"),
                      (HWND)Gadget_Image(2, 0, 30, 50, 20, nullptr)};
  for (HWND control : controls) {
    HFONT font = (HFONT)SendMessageW(control, WM_GETFONT, 0, 0);
    ASSERT_NE(font, nullptr);
    EXPECT_NE(font, (HFONT)GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTW logFont = {};
    ASSERT_TRUE(GetObjectW(font, sizeof(logFont), &logFont));
    EXPECT_EQ(logFont.lfHeight, metrics.lfMessageFont.lfHeight);
    EXPECT_STREQ(logFont.lfFaceName, metrics.lfMessageFont.lfFaceName);
  }
}

TEST_F(GadgetFramework, ForeignControlsAreNoGadgets) {
  HWND gadget = (HWND)Gadget_Button(0, 0, 0, 50, 20, L"zero");
  ASSERT_NE(gadget, nullptr);
  // A plain control with identifier 0 and no "QZ_ID": GetPropW answers 0 for it, like gadget 0.
  HWND plain = CreateWindowExW(0, L"Button", L"plain", WS_CHILD, 0, 30, 50, 20, window, nullptr,
                               g_instance, nullptr);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(Gadget_FromControl(plain), nullptr);
  EXPECT_EQ(Gadget_ParentMessage(plain, window, WM_COMMAND, 0, (LPARAM)plain), NOT_HANDLED);
  EXPECT_EQ(Gadget_ParentMessage(nullptr, window, WM_COMMAND, 0, 0), NOT_HANDLED);
  EXPECT_NE(Gadget_FromControl(gadget), nullptr);
  DestroyWindow(plain);
}

TEST_F(GadgetFramework, FreeAllDestroysEveryGadgetAndWindowsTakeTheirGadgetsAlong) {
  int64_t controls = Account_Live(ACCOUNT_CONTROL);
  HWND a = (HWND)Gadget_Button(1, 0, 0, 50, 20, L"a");
  HWND b = (HWND)Gadget_Image(60, 0, 30, 50, 20, nullptr);  // grows the table past 50
  intptr_t c = Gadget_Button(OBJECT_DYNAMIC, 0, 60, 50, 20, L"c");
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(liveRecords(), 3);
  Gadget_Free(OBJECT_ALL);
  EXPECT_FALSE(IsWindow(a));
  EXPECT_FALSE(IsWindow(b));
  EXPECT_EQ(liveRecords(), 0);
  EXPECT_EQ(Account_Live(ACCOUNT_CONTROL), controls);

  HWND d = (HWND)Gadget_Button(1, 0, 0, 50, 20, L"d");
  ASSERT_NE(d, nullptr);
  Window_Free(0);
  EXPECT_FALSE(IsWindow(d));
  EXPECT_EQ(liveRecords(), 0);
  EXPECT_EQ(Account_Live(ACCOUNT_CONTROL), controls);
  EXPECT_EQ(GadgetList_Use(nullptr), nullptr);
}

TEST_F(GadgetFramework, StateGoesThroughTheKindTable) {
  HWND box = (HWND)Gadget_ButtonEx(1, 0, 0, 80, 20, L"box", BS_AUTOCHECKBOX);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(Gadget_GetState(1), 0);
  SendMessageW(box, BM_CLICK, 0, 0);
  EXPECT_EQ(Gadget_GetState(1), 1);
  Gadget_SetState(1, 0);
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  Gadget_SetState(1, 7);
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(Gadget_GetState(42), 0) << "no such gadget";
  int32_t w = -1, h = -1;
  EXPECT_EQ(Gadget_RequiredSize(42, &w, &h), 0);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
}

std::vector<HWND> renamed;
void CALLBACK onNameChange(HWINEVENTHOOK, DWORD, HWND control, LONG object, LONG child, DWORD,
                           DWORD) {
  if (object == OBJID_CLIENT && child == CHILDID_SELF) renamed.push_back(control);
}

TEST_F(GadgetFramework, TextIsSetAndAnnouncedAndTheFocusGoesToTheGadgetAsked) {
  HWND one = (HWND)Gadget_Button(1, 0, 0, 50, 20, L"one");
  HWND two = (HWND)Gadget_Button(2, 60, 0, 50, 20, L"two");
  ASSERT_TRUE(one && two);
  HWINEVENTHOOK hook =
      SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr, onNameChange,
                      GetCurrentProcessId(), GetCurrentThreadId(), WINEVENT_OUTOFCONTEXT);
  renamed.clear();
  Gadget_SetText(2, L"deux");
  Gadget_SetText(1, nullptr);
  Gadget_SetText(42, L"none");  // no such gadget: nothing happens
  pump(50);
  UnhookWinEvent(hook);
  wchar_t text[8] = {};
  GetWindowTextW(two, text, 8);
  EXPECT_STREQ(text, L"deux");
  GetWindowTextW(one, text, 8);
  EXPECT_STREQ(text, L"");
  EXPECT_EQ(renamed, (std::vector<HWND>{two, one}));

  Gadget_SetActive(2);
  EXPECT_EQ(GetFocus(), two);
  Gadget_SetActive(1);
  EXPECT_EQ(GetFocus(), one);
  Gadget_SetActive(42);
  EXPECT_EQ(GetFocus(), one);
}

WNDPROC runtimeProcedure;
// Xvfb's screen is smaller than the window at 192 dpi, and the system keeps a window within the
// screen's size; on a monitor of that resolution the window fits.
LRESULT CALLBACK onLargeMonitor(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = CallWindowProcW(runtimeProcedure, window, message, wParam, lParam);
  if (message == WM_GETMINMAXINFO) ((MINMAXINFO*)lParam)->ptMaxTrackSize = {4000, 4000};
  return result;
}

// The window moved to a monitor of another resolution, or the system's font, colours or theme
// changed. Window 0 is put back to 96 dpi and its first place whatever a test left.
class DisplayChange : public GadgetTest {
 protected:
  void SetUp() override {
    GadgetTest::SetUp();
    GetWindowRect(window, &start);
    runtimeProcedure = (WNDPROC)SetWindowLongPtrW(window, GWLP_WNDPROC, (LONG_PTR)onLargeMonitor);
  }
  void TearDown() override {
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(96, 96), (LPARAM)&start);
    SetWindowLongPtrW(window, GWLP_WNDPROC, (LONG_PTR)runtimeProcedure);
    scaling_detail::reset();
    GadgetTest::TearDown();
  }
  int displayEvents() {
    int n = 0;
    for (const Event& e : takeEvents()) n += e.code == EVENT_DISPLAY_CHANGED && e.window == 0;
    return n;
  }
  RECT start = {};
};

LOGFONTW fontOf(HWND control) {
  LOGFONTW font = {};
  GetObjectW((HFONT)SendMessageW(control, WM_GETFONT, 0, 0), sizeof(font), &font);
  return font;
}

// The client area as the screen shows it, row by row.
std::vector<uint32_t> clientPixels(HWND window) {
  RECT r;
  GetClientRect(window, &r);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  std::vector<uint32_t> pixels((size_t)r.right * r.bottom);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right, r.bottom);
  HGDIOBJ old = SelectObject(dc, bitmap);
  BitBlt(dc, 0, 0, r.right, r.bottom, screen, origin.x, origin.y, SRCCOPY);
  SelectObject(dc, old);
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), r.right, -r.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  GetDIBits(dc, bitmap, 0, (UINT)r.bottom, pixels.data(), &info, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return pixels;
}

std::string placeOf(HWND control) {
  RECT r = rectInParent(control);
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
         std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

TEST_F(DisplayChange, ANewResolutionPlacesEveryGadgetAgainAndTheOldOneExactlyBack) {
  HBITMAP picture =
      makePicture(100, 100, 24, [](int x, int) { return x < 50 ? 0xC03020u : 0x2040C0u; });
  HWND button = (HWND)Gadget_Button(1, 5, 110, 750, 25, L"Lancer un tirage");
  HWND image = (HWND)Gadget_Image(2, 110, 0, 100, 100, picture);
  ASSERT_TRUE(button && image);
  pump(100);
  const std::vector<uint32_t> before = clientPixels(window);
  const LOGFONTW font96 = fontOf(button);
  const HFONT old = (HFONT)SendMessageW(button, WM_GETFONT, 0, 0);
  const int64_t fonts = Account_Live(ACCOUNT_FONT);
  takeEvents();

  // The size to suggest holds the design size at 192 dpi in the frame drawn at 192 dpi.
  SIZE outer = {};
  ASSERT_EQ(SendMessageW(window, 0x02E4 /* WM_GETDPISCALEDSIZE */, 192, (LPARAM)&outer), TRUE);
  typedef BOOL(WINAPI * AdjustForDpi)(RECT*, DWORD, BOOL, DWORD, UINT);
  AdjustForDpi forDpi = (AdjustForDpi)(void*)GetProcAddress(GetModuleHandleW(L"user32.dll"),
                                                            "AdjustWindowRectExForDpi");
  DWORD style = (DWORD)GetWindowLongPtrW(window, GWL_STYLE);
  DWORD exStyle = (DWORD)GetWindowLongPtrW(window, GWL_EXSTYLE);
  RECT at192 = {0, 0, 1520, 280}, suggested = at192;
  forDpi ? forDpi(&at192, style, FALSE, exStyle, 192)
         : AdjustWindowRectEx(&at192, style, FALSE, exStyle);
  EXPECT_EQ(outer.cx * 10000 + outer.cy,
            (at192.right - at192.left) * 10000 + at192.bottom - at192.top);
  // What Windows suggests: that client in the frame the window has (Wine draws every frame at
  // the system's resolution, Windows at the monitor's, which the answer above was for).
  AdjustWindowRectEx(&suggested, style, FALSE, exStyle);
  OffsetRect(&suggested, start.left - suggested.left, start.top - suggested.top);
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(192, 192), (LPARAM)&suggested);
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right * 10000 + client.bottom, 1520 * 10000 + 280);
  EXPECT_EQ(placeOf(button), "10,220 1500x50");
  EXPECT_EQ(placeOf(image), "220,0 100x100") << "moved; its picture decides its size";
  EXPECT_NEAR(fontOf(button).lfHeight, 2 * font96.lfHeight, 1);
  EXPECT_EQ(fontOf(image).lfHeight, fontOf(button).lfHeight) << "every gadget of the old font";
  EXPECT_EQ(GetObjectType(old), 0u) << "the 96-dpi font is deleted";
  EXPECT_EQ(Account_Live(ACCOUNT_FONT), fonts);
  EXPECT_EQ(displayEvents(), 1);

  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(96, 96), (LPARAM)&start);
  GetClientRect(window, &client);
  EXPECT_EQ(client.right * 10000 + client.bottom, 760 * 10000 + 140);
  EXPECT_EQ(placeOf(button), "5,110 750x25");
  EXPECT_EQ(placeOf(image), "110,0 100x100");
  EXPECT_EQ(fontOf(button).lfHeight, font96.lfHeight);
  EXPECT_EQ(Account_Live(ACCOUNT_FONT), fonts);
  EXPECT_EQ(displayEvents(), 1);
  pump(100);
  EXPECT_TRUE(clientPixels(window) == before) << "the window is drawn as it was at the start";
  // The message carries both resolutions: heights follow the vertical one.
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 192), (LPARAM)&start);
  EXPECT_EQ(placeOf(button), "8,220 1125x50");
  takeEvents();
  // The screen's size changed (or a monitor went): what is laid out on it is due again.
  SendMessageW(window, WM_DISPLAYCHANGE, 32, MAKELPARAM(1920, 1080));
  EXPECT_EQ(displayEvents(), 1);
  Gadget_Free(OBJECT_ALL);
  DeleteObject(picture);
}

// Two windows on monitors of different scales: a change reaches only the window it is sent to,
// which takes the suggested rectangle (not at the origin) as it is; its gadgets follow from their
// design size each time, new ones come at its resolution, and the other window stays exactly
// as it was.
TEST_F(DisplayChange, EachWindowFollowsItsOwnResolutionOnly) {
  HWND here = (HWND)Gadget_Button(1, 5, 110, 750, 25, L"Lancer un tirage");
  HWND other = (HWND)Window_Open(1, 200, 150, 300, 100, L"Other", WINDOW_SYSTEM_MENU);
  HWND button = (HWND)Gadget_Button(2, 10, 20, 100, 30, L"b");
  HWND list = (HWND)Gadget_List(5, 10, 60, 200, 30, nullptr);
  Gadget_ListColumn(5, 0, L"c", 100);
  ASSERT_TRUE(here && other && button && list);
  const std::string placeHere = placeOf(here);
  const HFONT fontHere = (HFONT)SendMessageW(here, WM_GETFONT, 0, 0);
  const LONG height96 = fontOf(button).lfHeight;
  DWORD style = (DWORD)GetWindowLongPtrW(other, GWL_STYLE);
  for (int dpi : {144, 192, 96}) {
    RECT was, suggested = {0, 0, 300 * dpi / 96, 100 * dpi / 96}, now, client;
    GetWindowRect(other, &was);
    AdjustWindowRectEx(&suggested, style, FALSE, 0);
    OffsetRect(&suggested, was.left + 7 - suggested.left, was.top + 5 - suggested.top);
    SendMessageW(other, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), (LPARAM)&suggested);
    GetWindowRect(other, &now);
    EXPECT_TRUE(EqualRect(&now, &suggested)) << dpi << ": " << now.left << "," << now.top;
    GetClientRect(other, &client);
    EXPECT_EQ(client.right * 10000 + client.bottom, (300 * 10000 + 100) * dpi / 96) << dpi;
    const std::string place = [dpi](int x, int y, int w, int h) {
      return std::to_string(x * dpi / 96) + "," + std::to_string(y * dpi / 96) + " " +
             std::to_string(w * dpi / 96) + "x" + std::to_string(h * dpi / 96);
    }(10, 20, 100, 30);
    EXPECT_EQ(placeOf(button), place) << "placed from its design size, not scaled again";
    EXPECT_NEAR(fontOf(button).lfHeight, height96 * dpi / 96, 1) << dpi;
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0), 100 * dpi / 96) << "column, " << dpi;
    GadgetList_Use(other);
    EXPECT_EQ(placeOf((HWND)Gadget_Button(3, 10, 20, 100, 30, L"new")), place) << dpi;
    GadgetList_Use(window);
    EXPECT_EQ(placeOf((HWND)Gadget_Button(4, 5, 110, 750, 25, L"new")), placeHere) << dpi;
    EXPECT_EQ(placeOf(here), placeHere) << dpi;
    EXPECT_EQ((HFONT)SendMessageW(here, WM_GETFONT, 0, 0), fontHere) << dpi;
    EXPECT_EQ(GetObjectType(fontHere), (DWORD)OBJ_FONT) << dpi;
  }
}

// Font, colours, high contrast and theme alter what the program draws; other settings do not.
// However many came before the program looked, one event tells it.
TEST_F(DisplayChange, SystemChangesThatAlterTheDrawingQueueOneEvent) {
  // A gadget of another window shares the default font, which is made again for every change.
  HWND other = (HWND)Window_Open(1, 0, 200, 200, 100, L"Other", WINDOW_KEEP_GADGET_LIST);
  GadgetList_Use(other);
  HWND elsewhere = (HWND)Gadget_Button(3, 0, 0, 50, 20, L"b");
  GadgetList_Use(window);
  const int64_t fonts = Account_Live(ACCOUNT_FONT);
  struct Case {
    UINT message;
    WPARAM action;
    const wchar_t* area;
    int events;
  } cases[] = {{WM_SYSCOLORCHANGE, 0, nullptr, 1},
               {WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS, nullptr, 1},
               {WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, nullptr, 1},
               {WM_SETTINGCHANGE, 0, L"WindowMetrics", 1},
               {WM_THEMECHANGED, 0, nullptr, 1},
               {WM_SETTINGCHANGE, SPI_SETDESKWALLPAPER, nullptr, 0},
               {WM_SETTINGCHANGE, 0, L"intl", 0}};
  for (const Case& c : cases) {
    SendMessageW(window, c.message, c.action, (LPARAM)c.area);
    SendMessageW(window, WM_TIMER, 1, 0);  // an event between, which the queue cannot fold
    SendMessageW(window, c.message, c.action, (LPARAM)c.area);
    EXPECT_EQ(displayEvents(), c.events) << c.message << " " << c.action;
    EXPECT_EQ(Account_Live(ACCOUNT_FONT), fonts) << "a font made again replaces the old one";
    EXPECT_EQ(GetObjectType((HGDIOBJ)SendMessageW(elsewhere, WM_GETFONT, 0, 0)), (DWORD)OBJ_FONT)
        << c.message << " " << c.action << ": a gadget of another window kept a deleted font";
  }
}

}  // namespace
