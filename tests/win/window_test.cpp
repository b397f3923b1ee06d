// Numbered windows: geometry, flags, the events their procedure posts for real platform
// messages, reopening under a used number, and destruction.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/focus.h"
#include "tests/support/foreground_win.h"
#include "tests/support/window_fixture_win.h"

using namespace test_support;

namespace {

const wchar_t kTitle[] = L"Tirage Vorellis";

class WindowTest : public WindowLibTest {};

LONG styleOf(HWND w) { return GetWindowLongW(w, GWL_STYLE); }

RECT windowRect(HWND w) {
  RECT r = {};
  GetWindowRect(w, &r);
  return r;
}

TEST_F(WindowTest, ProgramWindowHasTheExactClientAreaAndIsCentredByItsOuterSize) {
  HWND w = (HWND)Window_Open(0, 0, 0, 760, 140, kTitle, 0xC80001);
  ASSERT_NE(w, nullptr);
  RECT client;
  GetClientRect(w, &client);
  EXPECT_EQ(client.right - client.left, 760);
  EXPECT_EQ(client.bottom - client.top, 140);

  RECT outer = windowRect(w);
  int ow = outer.right - outer.left, oh = outer.bottom - outer.top;
  // The frame AdjustWindowRectEx describes for this style, worked out independently.
  RECT expected = {0, 0, 760, 140};
  AdjustWindowRectEx(&expected, WS_CAPTION | WS_SYSMENU, FALSE, 0);
  EXPECT_EQ(ow, expected.right - expected.left);
  EXPECT_EQ(oh, expected.bottom - expected.top);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - ow) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - oh) / 2);

  LONG style = styleOf(w);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_TRUE(IsWindowVisible(w));

  wchar_t text[64] = {};
  GetWindowTextW(w, text, 64);
  EXPECT_STREQ(text, kTitle);
  GetClassNameW(w, text, 64);
  EXPECT_STREQ(text, L"WindowClass_0");
  EXPECT_EQ((intptr_t)GetPropW(w, L"QZ_WindowID"), 1);
  EXPECT_EQ((HCURSOR)GetClassLongPtrW(w, GCLP_HCURSOR), LoadCursorW(nullptr, IDC_ARROW));

  WindowRecord* record = window_detail::record(0);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->created, 1);
  EXPECT_EQ(record->minMaxState, 0);
  EXPECT_EQ(record->accelCount, 2);
  ASSERT_NE(record->accelEntries, nullptr);
  EXPECT_EQ(record->accelEntries[0].fVirt, FVIRTKEY | FNOINVERT);
  EXPECT_EQ(record->accelEntries[0].key, VK_TAB);
  EXPECT_EQ(record->accelEntries[0].cmd, 64001);
  EXPECT_EQ(record->accelEntries[1].fVirt, FVIRTKEY | FNOINVERT | FSHIFT);
  EXPECT_EQ(record->accelEntries[1].cmd, 64002);
  EXPECT_NE(record->accelTable, nullptr);
}

TEST_F(WindowTest, CreationCentringAndFirstShowingPostNoMoveOrSize) {
  ASSERT_TRUE(Window_Open(0, 0, 0, 760, 140, kTitle, 0xC80001));
  std::vector<int32_t> codes = waitEvents(150);
  EXPECT_EQ(countOf(codes, EVENT_WINDOW_MOVED), 0) << describe(codes);
  EXPECT_EQ(countOf(codes, EVENT_WINDOW_SIZED), 0) << describe(codes);
  // Moving the complete window does report, with the window number as the object.
  HWND w = Window_Handle(0);
  SetWindowPos(w, nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  codes = waitEvents(50);
  ASSERT_EQ(codes, std::vector<int32_t>{EVENT_WINDOW_MOVED});
}

TEST_F(WindowTest, ScreenCentringPutsAnOversizedWindowAtZero) {
  HWND w = (HWND)Window_Open(1, 0, 0, 2000, 1500, kTitle, 0xC80001);
  ASSERT_NE(w, nullptr);
  RECT r = windowRect(w);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  // Only too wide: the other axis is still centred.
  w = (HWND)Window_Open(1, 0, 0, 2000, 100, kTitle, 0xC80001);
  r = windowRect(w);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2);
  // Centred on a smaller owner near the top left corner: kept on the screen.
  HWND owner = (HWND)Window_Open(2, 10, 10, 100, 50, kTitle, 0xC80000);
  w = (HWND)Window_OpenWithParent(3, 0, 0, 400, 300, kTitle, 0xC80002, owner);
  ASSERT_TRUE(owner && w);
  r = windowRect(w);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
}

DWORD createdStyle;
LRESULT CALLBACK captureStyle(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    const CREATESTRUCTW* cs = ((CBT_CREATEWNDW*)lParam)->lpcs;
    if (!cs->hwndParent) createdStyle = (DWORD)cs->style;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The style Window_Open hands to CreateWindowExW for these flags.
DWORD requestedStyle(uint32_t flags) {
  createdStyle = 0xFFFFFFFF;
  HHOOK hook = SetWindowsHookExW(WH_CBT, captureStyle, nullptr, GetCurrentThreadId());
  Window_Open(9, 0, 0, 50, 50, nullptr, flags | WINDOW_HIDDEN);
  UnhookWindowsHookEx(hook);
  Window_Free(9);
  return createdStyle;
}

TEST_F(WindowTest, FlagsDecideCaptionFrameAndShowing) {
  // Nothing but centring or nothing at all: a caption is added.
  for (uint32_t flags : {0u, 1u}) {
    HWND w = (HWND)Window_Open(0, 30, 40, 200, 100, nullptr, flags);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(styleOf(w) & WS_CAPTION, WS_CAPTION) << flags;
    RECT client;
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, 200);
    EXPECT_EQ(client.bottom, 100);
  }
  HWND w = (HWND)Window_Open(0, 30, 40, 200, 100, nullptr, 0);
  EXPECT_EQ(windowRect(w).left, 30);
  EXPECT_EQ(windowRect(w).top, 40);
  // Sizable at a given place: the frame's offset comes from the composition library (off here).
  w = (HWND)Window_Open(0, 30, 40, 200, 100, nullptr, 0xC80000 | WS_THICKFRAME);
  EXPECT_EQ(windowRect(w).left, 30);

  // A system menu bit alone is a style of its own: the runtime forces no caption. (The platform
  // gives every overlapped window one anyway, so the style is read where it is asked for.)
  EXPECT_EQ(requestedStyle(0) & WS_CAPTION, (DWORD)WS_CAPTION);
  EXPECT_EQ(requestedStyle(WINDOW_HIDDEN | WINDOW_OWNER_CENTERED) & WS_CAPTION, (DWORD)WS_CAPTION);
  EXPECT_EQ(requestedStyle(0x80000) & WS_CAPTION, 0u);
  EXPECT_EQ(requestedStyle(0x80000 | WINDOW_SCREEN_CENTERED) & 0x7, 0u);

  // Hidden, kept gadget list: neither bit reaches the style.
  w = (HWND)Window_Open(0, 30, 40, 200, 100, nullptr,
                        0xC80000 | WINDOW_HIDDEN | WINDOW_KEEP_GADGET_LIST);
  EXPECT_FALSE(IsWindowVisible(w));
  EXPECT_FALSE(styleOf(w) & 0x8);

  // Tool frame: a caption, the tool-window extended style, and no boxes whatever was asked.
  w = (HWND)Window_Open(0, 30, 40, 200, 100, nullptr,
                        WINDOW_TOOL_FRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU);
  EXPECT_EQ(styleOf(w) & WS_CAPTION, WS_CAPTION);
  EXPECT_FALSE(styleOf(w) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_TRUE(GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  RECT client;
  GetClientRect(w, &client);
  EXPECT_EQ(client.right, 200);

  // Shown minimised: the record says so from the start.
  w = (HWND)Window_Open(0, 30, 40, 200, 100, nullptr,
                        0xC80000 | WINDOW_SHOW_MINIMIZED | WS_MINIMIZEBOX);
  EXPECT_TRUE(IsIconic(w));
  EXPECT_EQ(window_detail::record(0)->minMaxState, 1);

  // Not activated when asked so. Only a process that has the front may activate a new window.
  ASSERT_TRUE(inFront(w));
  HWND first = (HWND)Window_Open(1, 30, 40, 200, 100, nullptr, 0xC80000);
  EXPECT_EQ(GetActiveWindow(), first);
  w = (HWND)Window_Open(2, 60, 80, 200, 100, nullptr, 0xC80000 | WINDOW_SHOW_NO_ACTIVATE);
  EXPECT_TRUE(IsWindowVisible(w));
  EXPECT_EQ(GetActiveWindow(), first);
  EXPECT_FALSE(styleOf(w) & WS_CLIPCHILDREN) << "the no-activate bit must not reach the style";
}

TEST_F(WindowTest, DefaultPositionLetsTheSystemPlaceTheWindow) {
  HWND w = (HWND)Window_Open(0, WINDOW_DEFAULT_POSITION, 300, 200, 100, nullptr, 0xC80000);
  ASSERT_NE(w, nullptr);
  RECT r = windowRect(w);
  EXPECT_NE(r.left, WINDOW_DEFAULT_POSITION);
  EXPECT_NE(r.top, 300) << "y is ignored when x asks for the default position";
  EXPECT_GE(r.left, 0);
  EXPECT_LT(r.left, GetSystemMetrics(SM_CXSCREEN));

  // y alone asks for the default position, unless a centring flag is given.
  w = (HWND)Window_Open(1, 300, WINDOW_DEFAULT_POSITION, 200, 100, nullptr, 0xC80000);
  EXPECT_NE(windowRect(w).left, 300);
  w = (HWND)Window_Open(1, 300, WINDOW_DEFAULT_POSITION, 200, 100, nullptr, 0xC80001);
  r = windowRect(w);
  EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2);
  EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2);
}

std::vector<std::pair<int, HWND>> cbtLog;
LRESULT CALLBACK recordCbt(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND || code == HCBT_DESTROYWND) cbtLog.push_back({code, (HWND)wParam});
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(WindowTest, ReopeningAUsedNumberDestroysTheFirstWindowBeforeMakingTheNew) {
  HWND first = (HWND)Window_Open(0, 0, 0, 300, 100, L"first", 0xC80001);
  ASSERT_NE(first, nullptr);
  HWND child = CreateWindowExW(0, L"Button", L"x", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, first,
                               nullptr, g_instance, nullptr);
  ASSERT_NE(child, nullptr);
  WindowRecord* firstRecord = window_detail::record(0);
  Event_Post(EVENT_GADGET, 77, 0, 0, 0, nullptr, 0);
  int64_t live = Account_Live(ACCOUNT_WINDOW);

  cbtLog.clear();
  HHOOK hook = SetWindowsHookExW(WH_CBT, recordCbt, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  HWND second = (HWND)Window_Open(0, 0, 0, 300, 100, L"second", 0xC80001);
  UnhookWindowsHookEx(hook);
  ASSERT_NE(second, nullptr);

  EXPECT_FALSE(IsWindow(first));
  EXPECT_FALSE(IsWindow(child));
  EXPECT_EQ(window_detail::record(0), firstRecord) << "the record block is reused";
  EXPECT_EQ(Account_Live(ACCOUNT_WINDOW), live);
  int destroyedFirst = -1, createdSecond = -1;
  for (size_t i = 0; i < cbtLog.size(); i++) {
    if (cbtLog[i].first == HCBT_DESTROYWND && cbtLog[i].second == first) destroyedFirst = (int)i;
    if (cbtLog[i].first == HCBT_CREATEWND && cbtLog[i].second == second) createdSecond = (int)i;
  }
  ASSERT_GE(destroyedFirst, 0);
  ASSERT_GE(createdSecond, 0);
  EXPECT_LT(destroyedFirst, createdSecond);
  wchar_t className[32] = {};
  GetClassNameW(second, className, 32);
  EXPECT_STREQ(className, L"WindowClass_0");
  // The first window's queued events went with it.
  pumpMessages();
  while (Event_Take()) EXPECT_NE(Event_Gadget(), 77) << "an event of the first window survived";
}

TEST_F(WindowTest, DynamicNumberIsTheRecordAddress) {
  intptr_t number = Window_Open(OBJECT_DYNAMIC, 10, 10, 120, 80, L"dynamic", 0xC80000);
  ASSERT_NE(number, 0);
  WindowRecord* record = window_detail::record(number);
  ASSERT_EQ((intptr_t)record, number);
  HWND w = record->windowHandle;
  wchar_t className[40] = {};
  GetClassNameW(w, className, 40);
  EXPECT_EQ(std::wstring(className), L"WindowClass_" + std::to_wstring((long long)number));
  EXPECT_EQ((intptr_t)GetPropW(w, L"QZ_WindowID"), number + 1);
  Window_Free(number);
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(window_detail::record(number), nullptr);
  // Its class went with it, so the name can be registered afresh.
  WNDCLASSW info;
  EXPECT_FALSE(GetClassInfoW(g_instance, className, &info));
}

TEST_F(WindowTest, CloseBoxPostsOneCloseEventAndTheWindowStays) {
  HWND w = (HWND)Window_Open(2, 0, 0, 300, 100, kTitle, 0xC80001);
  ASSERT_NE(w, nullptr);
  waitEvents(50);
  // What a click on the close box makes of itself.
  ASSERT_TRUE(PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0));
  std::vector<int32_t> codes = waitEvents(100);
  EXPECT_EQ(countOf(codes, EVENT_CLOSE_WINDOW), 1) << describe(codes);
  EXPECT_TRUE(IsWindow(w));
  EXPECT_TRUE(IsWindowVisible(w));
  Event_Post(EVENT_CLOSE_WINDOW, 2, 2, 0, 0, nullptr, 0);
  EXPECT_EQ(Event_Take(), EVENT_CLOSE_WINDOW);
  EXPECT_EQ(Event_Gadget(), 2);
  EXPECT_EQ(Event_Window(), 2);
}

TEST_F(WindowTest, MinimiseThenRestoreReportsInOrderWithOneSizeEvent) {
  HWND w = (HWND)Window_Open(0, 0, 0, 300, 100, kTitle, 0xC80001 | WS_MINIMIZEBOX);
  ASSERT_NE(w, nullptr);
  waitEvents(50);
  ShowWindow(w, SW_MINIMIZE);
  pumpMessages();
  ShowWindow(w, SW_RESTORE);
  pumpMessages();
  std::vector<int32_t> codes = takeEvents();
  int minimised = indexOf(codes, EVENT_WINDOW_MINIMIZED);
  int restored = indexOf(codes, EVENT_WINDOW_RESTORED);
  int sized = indexOf(codes, EVENT_WINDOW_SIZED);
  ASSERT_GE(minimised, 0) << describe(codes);
  EXPECT_LT(minimised, restored) << describe(codes);
  EXPECT_LT(restored, sized) << describe(codes);
  EXPECT_EQ(countOf(codes, EVENT_WINDOW_SIZED), 1) << describe(codes);
  EXPECT_EQ(window_detail::record(0)->minMaxState, 0);

  // Resizing twice leaves only the newest size event queued.
  SetWindowPos(w, nullptr, 0, 0, 350, 150, SWP_NOMOVE | SWP_NOZORDER);
  Event_Post(EVENT_REPAINT, 0, 0, 0, 0, nullptr, 0);
  SetWindowPos(w, nullptr, 0, 0, 360, 160, SWP_NOMOVE | SWP_NOZORDER);
  codes = takeEvents();
  EXPECT_EQ(countOf(codes, EVENT_WINDOW_SIZED), 1) << describe(codes);
  EXPECT_EQ(codes.back(), EVENT_WINDOW_SIZED) << describe(codes);
}

TEST_F(WindowTest, ControlsAndTheClientAreaReportThroughTheWindow) {
  HWND w = (HWND)Window_Open(3, 0, 0, 300, 100, kTitle, 0xC80001);
  ASSERT_NE(w, nullptr);
  HWND button = CreateWindowExW(0, L"Button", L"go", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 5, 5,
                                60, 25, w, (HMENU)9, g_instance, nullptr);
  HWND menuButton = CreateWindowExW(0, L"Button", L"menu", WS_CHILD | WS_VISIBLE, 80, 5, 60, 25, w,
                                    nullptr, g_instance, nullptr);
  SetWindowLongPtrW(menuButton, GWLP_ID, WINDOW_MENU_CONTROL_ID);
  waitEvents(50);

  SendMessageW(button, BM_CLICK, 0, 0);
  std::vector<int32_t> codes = waitEvents(50);
  ASSERT_EQ(countOf(codes, EVENT_GADGET), 1) << describe(codes);

  SendMessageW(button, BM_CLICK, 0, 0);
  SendMessageW(menuButton, BM_CLICK, 0, 0);
  SetTimer(w, 42, 10, nullptr);
  Sleep(30);
  PostMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(200, 50));
  PostMessageW(w, WM_RBUTTONUP, 0, MAKELPARAM(200, 50));
  PostMessageW(w, WM_LBUTTONDBLCLK, 0, MAKELPARAM(200, 50));

  struct Seen {
    int32_t code;
    intptr_t object, window;
    int32_t type;
  };
  std::vector<Seen> seen;
  DWORD end = GetTickCount() + 150;
  while ((int32_t)(end - GetTickCount()) > 0) {
    int32_t code = Event_WaitTimeout(10);
    if (code >= EVENT_GADGET && code <= EVENT_WINDOW_SIZED)
      seen.push_back({code, Event_Gadget(), Event_Window(), Event_Type()});
  }
  KillTimer(w, 42);
  takeEvents();
  auto find = [&](int32_t code) -> const Seen* {
    for (const Seen& s : seen)
      if (s.code == code) return &s;
    return nullptr;
  };
  const Seen* gadget = find(EVENT_GADGET);
  ASSERT_NE(gadget, nullptr);
  EXPECT_EQ(gadget->object, 9);
  EXPECT_EQ(gadget->window, 3);
  EXPECT_EQ(gadget->type, BN_CLICKED);
  const Seen* menu = find(EVENT_MENU_ITEM);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->object, (intptr_t)(WORD)WINDOW_MENU_CONTROL_ID);
  const Seen* timer = find(EVENT_TIMER);
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->object, 42);
  EXPECT_NE(find(EVENT_LEFT_CLICK), nullptr);
  EXPECT_NE(find(EVENT_RIGHT_CLICK), nullptr);
  EXPECT_NE(find(EVENT_LEFT_DOUBLE_CLICK), nullptr);

  // A menu command and an accelerator command other than Tab become menu items.
  SendMessageW(w, WM_COMMAND, MAKEWPARAM(500, 0), 0);
  SendMessageW(w, WM_COMMAND, MAKEWPARAM(501, 1), 0);
  ASSERT_EQ(Event_Take(), EVENT_MENU_ITEM);
  EXPECT_EQ(Event_Gadget(), 500);
  ASSERT_EQ(Event_Take(), EVENT_MENU_ITEM);
  EXPECT_EQ(Event_Gadget(), 501);
}

// A runtime window made inside another: what happens to it is reported under its own number.
TEST_F(WindowTest, AChildRuntimeWindowReportsUnderItsOwnNumber) {
  HWND parent = (HWND)Window_Open(3, 0, 0, 300, 200, kTitle, 0xC80001);
  HWND inner = (HWND)Window_OpenWithParent(4, 10, 10, 120, 80, nullptr, WS_CHILD, parent);
  ASSERT_TRUE(parent && inner);
  ASSERT_EQ(GetParent(inner), parent);
  HWND button = CreateWindowExW(0, L"Button", L"go", WS_CHILD | WS_VISIBLE, 5, 5, 40, 20, inner,
                                (HMENU)9, g_instance, nullptr);
  waitEvents(30);
  // The events since the last call (repaints aside), as "code/object/window".
  auto seen = [] {
    pumpMessages();
    std::string all;
    while (int32_t code = Event_Take())
      if (code != EVENT_REPAINT)
        all += std::to_string(code) + "/" + std::to_string(Event_Gadget()) + "/" +
               std::to_string(Event_Window()) + " ";
    return all;
  };
  SendMessageW(button, BM_CLICK, 0, 0);
  EXPECT_EQ(seen(), std::to_string(EVENT_GADGET) + "/9/4 ");
  SendMessageW(inner, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(seen(), std::to_string(EVENT_LEFT_CLICK) + "/0/4 ");
  SendMessageW(parent, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(seen(), std::to_string(EVENT_LEFT_CLICK) + "/0/3 ");
  SendMessageW(inner, WM_CLOSE, 0, 0);
  EXPECT_EQ(seen(), std::to_string(EVENT_CLOSE_WINDOW) + "/4/4 ");
  SetWindowPos(inner, nullptr, 20, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(seen(), std::to_string(EVENT_WINDOW_MOVED) + "/4/4 ");
  SendMessageW(inner, WM_TIMER, 5, 0);
  EXPECT_EQ(seen(), std::to_string(EVENT_TIMER) + "/5/4 ");
}

TEST_F(WindowTest, FocusReturnsToTheChildThatHadItAfterReactivation) {
  HWND w = (HWND)Window_Open(0, 0, 0, 300, 100, kTitle, 0xC80001);
  ASSERT_NE(w, nullptr);
  HWND a = CreateWindowExW(0, L"Button", L"a", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 5, 5, 60, 25, w,
                           (HMENU)1, g_instance, nullptr);
  HWND b = CreateWindowExW(0, L"Button", L"b", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 80, 5, 60, 25, w,
                           (HMENU)2, g_instance, nullptr);
  ASSERT_TRUE(a && b);
  ASSERT_TRUE(inFront(w));  // activation moves between windows of the process that has the front
  SetFocus(b);
  ASSERT_EQ(GetFocus(), b);
  waitEvents(30);

  HWND other = (HWND)Window_Open(1, 400, 400, 100, 50, L"other", 0xC80000);
  ASSERT_EQ(GetActiveWindow(), other);
  EXPECT_EQ((HWND)GetPropW(w, L"QZ_Focus"), b);
  SetFocus(nullptr);
  SetActiveWindow(w);
  EXPECT_EQ(GetActiveWindow(), w);
  EXPECT_EQ(GetFocus(), b);

  std::vector<int32_t> codes = waitEvents(50);
  EXPECT_GE(countOf(codes, EVENT_WINDOW_DEACTIVATED), 1) << describe(codes);
  EXPECT_GE(countOf(codes, EVENT_WINDOW_ACTIVATED), 1) << describe(codes);
}

TEST_F(WindowTest, FreeingWindowsDestroysThemAndPurgesTheirEvents) {
  HWND w1 = (HWND)Window_Open(1, 0, 0, 100, 50, nullptr, 0xC80000);
  HWND w5 = (HWND)Window_Open(5, 0, 0, 100, 50, nullptr, 0xC80000);
  ASSERT_TRUE(w1 && w5);
  pumpMessages();
  takeEvents();
  Event_Post(EVENT_GADGET, 3, 1, 0, 0, nullptr, 0);
  Event_Post(EVENT_GADGET, 3, 5, 0, 0, nullptr, 0);
  Window_Free(1);
  EXPECT_FALSE(IsWindow(w1));
  EXPECT_EQ(Window_Handle(1), nullptr);
  pumpMessages();
  std::vector<intptr_t> windows;
  while (Event_Take())
    if (Event_Window() == 1) windows.push_back(1);
  EXPECT_TRUE(windows.empty());
  Window_Free(OBJECT_ALL);
  EXPECT_FALSE(IsWindow(w5));
  Window_Free(7);  // no such window: nothing happens
}

// A program heap that cannot give the accelerator block: the window still opens and works,
// without Tab navigation.
class WindowWithoutMemoryTest : public WindowLibTest {
 protected:
  size_t heapMaximum() const override { return 512 * 1024; }
};

TEST_F(WindowWithoutMemoryTest, AcceleratorBlockMissingLeavesAWorkingWindowWithoutTab) {
  // The record block of number 0 stays in its slot; the old accelerator block goes back.
  ASSERT_TRUE(Window_Open(0, 0, 0, 200, 100, kTitle, 0xC80001));
  Window_Free(0);
  std::vector<void*> filler;
  for (SIZE_T size : {4096, 64, 8})
    while (void* block = HeapAlloc(g_programHeap, 0, size)) filler.push_back(block);
  HWND w = (HWND)Window_Open(0, 0, 0, 200, 100, kTitle, 0xC80001);
  ASSERT_NE(w, nullptr);
  WindowRecord* record = window_detail::record(0);
  EXPECT_EQ(record->accelEntries, nullptr);
  EXPECT_EQ(record->accelTable, nullptr);
  EXPECT_EQ(Window_Accelerators(w), nullptr);
  RECT client;
  GetClientRect(w, &client);
  EXPECT_EQ(client.right, 200);
  for (void* block : filler) HeapFree(g_programHeap, 0, block);
  PostMessageW(w, WM_CLOSE, 0, 0);
  std::vector<int32_t> codes = waitEvents(50);
  EXPECT_EQ(countOf(codes, EVENT_CLOSE_WINDOW), 1);
}

}  // namespace
