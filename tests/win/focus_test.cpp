// Keyboard navigation with real key input: Tab and Shift+Tab through the window's accelerators,
// the focus cues that modifier keys show, and Tab typed into an editable rich-edit control.
#include <gtest/gtest.h>

#include <richedit.h>

#include <string>
#include <vector>

#include "gui/focus.h"
#include "tests/support/foreground_win.h"
#include "tests/support/window_fixture_win.h"

#include <commctrl.h>
#include <objbase.h>  // before commctrl.h, which the lean windows.h leaves without HRESULT

using namespace test_support;

namespace {

void key(WORD vk, bool up) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = (WORD)MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof(INPUT));
}

// Runs the runtime's pump over what the keys caused: a while, then on until the thread's queue
// is empty (at most 2 s more), since under load the key messages outlast any fixed wait.
void settle() {
  waitEvents(40);
  for (DWORD end = GetTickCount() + 2000;
       HIWORD(GetQueueStatus(QS_ALLINPUT)) && (int32_t)(end - GetTickCount()) > 0;)
    waitEvents(10);
}

// Presses a key (with Shift held when asked) and runs the runtime's pump over what it caused.
void press(WORD vk, bool shift = false) {
  if (shift) key(VK_SHIFT, false);
  key(vk, false);
  key(vk, true);
  if (shift) key(VK_SHIFT, true);
  settle();
}

class FocusTest : public WindowLibTest {
 protected:
  void SetUp() override {
    WindowLibTest::SetUp();
    window = (HWND)Window_Open(0, 0, 0, 400, 120, L"Tirage Vorellis", 0xC80001);
    ASSERT_NE(window, nullptr);
    // The keys go to the foreground window.
    ASSERT_TRUE(inFront(window));
    waitEvents(30);
  }

  HWND child(HWND parent, const wchar_t* cls, DWORD style, int x) {
    return CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, x, 5, 40, 25, parent,
                           nullptr, g_instance, nullptr);
  }

  HWND window = nullptr;
};

TEST_F(FocusTest, TabAndShiftTabWalkTheEnabledVisibleTabStopsWithWrapAround) {
  HWND first = child(window, L"Button", WS_TABSTOP, 0);
  HWND disabled = child(window, L"Button", WS_TABSTOP | WS_DISABLED, 45);
  HWND hidden = child(window, L"Button", WS_TABSTOP, 90);
  ShowWindow(hidden, SW_HIDE);
  HWND plain = child(window, L"Button", 0, 135);  // no tab stop
  // A container: its children come right after it, depth first.
  HWND box = child(window, L"Static", 0, 180);
  SetWindowPos(box, nullptr, 180, 5, 150, 40, SWP_NOZORDER);
  HWND inner = child(box, L"Button", WS_TABSTOP, 0);
  HWND last = child(window, L"Button", WS_TABSTOP, 340);
  ASSERT_TRUE(first && disabled && hidden && box && inner && last);

  SetFocus(nullptr);
  press(VK_TAB);
  EXPECT_EQ(GetFocus(), first) << "with no focus Tab takes the first tab stop";
  press(VK_TAB);
  EXPECT_EQ(GetFocus(), inner);
  press(VK_TAB);
  EXPECT_EQ(GetFocus(), last);
  press(VK_TAB);
  EXPECT_EQ(GetFocus(), first) << "wrap-around";
  press(VK_TAB, true);
  EXPECT_EQ(GetFocus(), last) << "Shift+Tab on the first goes to the last";
  press(VK_TAB, true);
  EXPECT_EQ(GetFocus(), inner);

  SetFocus(nullptr);
  press(VK_TAB, true);
  EXPECT_EQ(GetFocus(), last) << "with no focus Shift+Tab takes the last tab stop";

  // From a control that is no tab stop, the walk goes on from where it stands.
  SetFocus(plain);
  press(VK_TAB);
  EXPECT_EQ(GetFocus(), inner);
  SetFocus(plain);
  press(VK_TAB, true);
  EXPECT_EQ(GetFocus(), first);
}

// Wine keeps no keyboard-cue state (WM_QUERYUISTATE answers 0 whatever was set), so the test
// keeps it for the window, the way Windows' default processing does, and records what the
// runtime sent.
std::vector<WPARAM> cueUpdates;
LRESULT cueState;
WNDPROC runtimeProcedure;
LRESULT CALLBACK cueKeeper(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_QUERYUISTATE) return cueState;
  if (message == WM_UPDATEUISTATE) {
    cueUpdates.push_back(wParam);
    if (LOWORD(wParam) == UIS_SET) cueState |= HIWORD(wParam);
    if (LOWORD(wParam) == UIS_CLEAR) cueState &= ~(LRESULT)HIWORD(wParam);
    return 0;
  }
  return CallWindowProcW(runtimeProcedure, w, message, wParam, lParam);
}

// Focus inside an IP address or extended combo box control sits on one of its children; Tab
// and Shift+Tab move on from the compound control as a whole, never to a part of it.
TEST_F(FocusTest, TabFromInsideACompoundControlMovesOnFromTheWholeControl) {
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_INTERNET_CLASSES | ICC_USEREX_CLASSES};
  ASSERT_TRUE(InitCommonControlsEx(&icc));
  HWND before = child(window, L"Button", WS_TABSTOP, 0);
  HWND ip = child(window, WC_IPADDRESSW, WS_TABSTOP, 45);
  HWND combo = child(window, WC_COMBOBOXEXW, WS_TABSTOP | CBS_SIMPLE, 90);
  HWND after = child(window, L"Button", WS_TABSTOP, 135);
  ASSERT_TRUE(before && ip && combo && after);
  HWND field = GetWindow(GetWindow(ip, GW_CHILD), GW_HWNDNEXT);  // one of the four fields
  HWND list = (HWND)SendMessageW(combo, CBEM_GETCOMBOCONTROL, 0, 0);
  ASSERT_TRUE(field && list);
  auto within = [](HWND control) { return GetFocus() == control || IsChild(control, GetFocus()); };

  SetFocus(field);
  press(VK_TAB);
  EXPECT_TRUE(within(combo)) << "Tab from inside the IP address control";
  SetFocus(field);
  press(VK_TAB, true);
  EXPECT_EQ(GetFocus(), before) << "Shift+Tab from inside the IP address control";
  SetFocus(list);
  press(VK_TAB);
  EXPECT_EQ(GetFocus(), after) << "Tab from inside the extended combo box";
  SetFocus(list);
  press(VK_TAB, true);
  EXPECT_TRUE(within(ip)) << "Shift+Tab from inside the extended combo box";
}

TEST_F(FocusTest, ModifierKeysShowTheCuesAndDeactivationHidesThem) {
  HWND button = child(window, L"Button", WS_TABSTOP, 0);
  child(window, L"Button", WS_TABSTOP, 50);
  SetFocus(button);
  cueUpdates.clear();
  cueState = 0;
  runtimeProcedure = (WNDPROC)SetWindowLongPtrW(window, GWLP_WNDPROC, (LONG_PTR)cueKeeper);

  Focus_Cues(window, false);
  Focus_Cues(window, false);  // hidden already: nothing more is sent
  EXPECT_EQ(cueUpdates, std::vector<WPARAM>{0x30001});
  EXPECT_EQ(cueState, 3);

  for (WORD modifier : {VK_SHIFT, VK_CONTROL, VK_MENU}) {
    Focus_Cues(window, false);
    cueUpdates.clear();
    key(modifier, false);
    key(modifier, true);
    // Alt alone opens the system menu, as on any window with one: Escape leaves it again.
    if (modifier == VK_MENU) {
      key(VK_ESCAPE, false);
      key(VK_ESCAPE, true);
    }
    settle();
    EXPECT_EQ(cueState, 0) << "modifier " << modifier;
    ASSERT_FALSE(cueUpdates.empty());
    EXPECT_EQ(cueUpdates[0], 0x30002u);
    EXPECT_EQ(cueUpdates.size(), 1u) << "shown already: nothing more is sent";
  }

  // A translated Tab shows them too.
  Focus_Cues(window, false);
  press(VK_TAB);
  EXPECT_EQ(cueState, 0);

  cueUpdates.clear();
  HWND other = (HWND)Window_Open(1, 500, 400, 100, 50, L"other", 0xC80000);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(cueUpdates, std::vector<WPARAM>{0x30001}) << "deactivation hides them";
  SetWindowLongPtrW(window, GWLP_WNDPROC, (LONG_PTR)runtimeProcedure);
}

// Presses a key with a modifier held (0: none) and returns the menu items the pump hands out.
std::vector<intptr_t> menuItemsOf(WORD modifier, WORD vk) {
  if (modifier) key(modifier, false);
  key(vk, false);
  key(vk, true);
  if (modifier) key(modifier, true);
  std::vector<intptr_t> items;
  for (DWORD start = GetTickCount(); GetTickCount() - start < 2000;) {
    int32_t code = Event_WaitTimeout(10);
    if (code == EVENT_MENU_ITEM) items.push_back(Event_Menu());
    if (!code && GetTickCount() - start > 40 && !HIWORD(GetQueueStatus(QS_ALLINPUT))) break;
  }
  return items;
}

TEST_F(FocusTest, SeveralShortcutsEachPostTheirOwnMenuItemAndTabStillWorks) {
  HWND a = child(window, L"Button", WS_TABSTOP, 0);
  HWND b = child(window, L"Button", WS_TABSTOP, 50);
  ASSERT_TRUE(Window_AddShortcut(0, 0, VK_RETURN, 7));
  ASSERT_TRUE(Window_AddShortcut(0, FCONTROL, 'C', 8));
  ASSERT_TRUE(Window_AddShortcut(0, FSHIFT, VK_F5, 9));
  EXPECT_FALSE(Window_AddShortcut(1, 0, VK_F6, 10)) << "no such window";
  EXPECT_EQ(window_detail::record(0)->accelCount, 5);
  struct {
    WORD modifier, vk;
    std::vector<intptr_t> items;
  } cases[] = {{0, VK_RETURN, {7}}, {VK_CONTROL, 'C', {8}}, {VK_SHIFT, VK_F5, {9}},
               {0, 'C', {}},        {0, VK_F5, {}},         {VK_SHIFT, VK_RETURN, {}}};
  for (const auto& c : cases)
    EXPECT_EQ(menuItemsOf(c.modifier, c.vk), c.items) << c.modifier << "+" << c.vk;
  SetFocus(a);
  press(VK_TAB);
  EXPECT_EQ(GetFocus(), b);
  press(VK_TAB, true);
  EXPECT_EQ(GetFocus(), a);
}

TEST_F(FocusTest, TabIsTypedIntoAnEditableRichEditAndMovesOnFromAReadOnlyOne) {
  if (!LoadLibraryW(L"riched20.dll")) GTEST_SKIP() << "no rich-edit control on this system";
  HWND rich = CreateWindowExW(0, RICHEDIT_CLASSW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 5,
                              150, 25, window, nullptr, g_instance, nullptr);
  ASSERT_NE(rich, nullptr);
  HWND button = child(window, L"Button", WS_TABSTOP, 200);
  SetFocus(rich);
  press(VK_TAB);
  EXPECT_EQ(GetFocus(), rich);
  wchar_t text[16] = {};
  GetWindowTextW(rich, text, 16);
  EXPECT_STREQ(text, L"\t");

  SendMessageW(rich, EM_SETREADONLY, TRUE, 0);
  press(VK_TAB);
  EXPECT_EQ(GetFocus(), button);
}

TEST_F(FocusTest, AShortcutEntryControlKeepsTheKeysToItself) {
  HWND entry = child(window, L"Button", WS_TABSTOP, 0);
  child(window, L"Button", WS_TABSTOP, 50);
  SetPropW(entry, L"QZ_Hotkey", (HANDLE)1);
  SetFocus(entry);
  press(VK_TAB);
  EXPECT_EQ(GetFocus(), entry);
  RemovePropW(entry, L"QZ_Hotkey");
}

// Where the front cannot be had, the helper fails and says what holds it, rather than leave a
// wrong assertion to fail further on: a window that is gone never gets it.
TEST_F(FocusTest, TheFrontHelperFailsForAWindowThatCannotComeToTheFront) {
  HWND gone = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              g_instance, nullptr);
  DestroyWindow(gone);
  ::testing::AssertionResult result = inFront(gone);
  EXPECT_FALSE(result);
  std::string said = result.message();
  EXPECT_NE(said.find("in front: window"), std::string::npos) << said;
  EXPECT_NE(said.find("Tirage Vorellis"), std::string::npos) << said;
}

TEST_F(FocusTest, WindowsThatAreNotRuntimeWindowsGetNoAccelerators) {
  EXPECT_NE(Window_Accelerators(window), nullptr);
  HWND plain = CreateWindowExW(0, L"Static", L"", WS_CAPTION, 0, 0, 50, 50, nullptr, nullptr,
                               g_instance, nullptr);
  EXPECT_EQ(Window_Accelerators(plain), nullptr);
  EXPECT_EQ(Window_Accelerators(nullptr), nullptr);
  DestroyWindow(plain);
  // The desktop belongs to another process.
  HWND shell = GetDesktopWindow();
  ASSERT_TRUE(SetPropW(shell, L"QZ_WindowID", (HANDLE)1));
  EXPECT_EQ(Window_Accelerators(shell), nullptr);
  RemovePropW(shell, L"QZ_WindowID");
}

}  // namespace
