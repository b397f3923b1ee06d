// The message requester under the real user32: the box is found on screen by its title from a
// second thread, which looks at every window while the box is up and then closes it (with the
// Enter key as a user would, or with the button's command). The other process that owns the
// foreground in the "no owner" case is this same test program started with a flag.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "runtime/memory.h"
#include "runtime/registry.h"
#include "sys/requester.h"
#include "tests/support/foreground_win.h"
#include "tools/common/foreground_win.h"

namespace {

const wchar_t kClassName[] = L"VorellisRequesterTestWindow";
const wchar_t kOtherFlag[] = L"--other-process-window";

void registerTestClass() {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClassName;
  wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
  RegisterClassW(&wc);
}

void pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// ---- the other process -----------------------------------------------------------------

std::wstring readyEventName(DWORD parent) {
  return L"vorellis_requester_ready_" + std::to_wstring(parent);
}
std::wstring quitEventName(DWORD parent) {
  return L"vorellis_requester_quit_" + std::to_wstring(parent);
}

// Started as "<this program> --other-process-window <parent pid>": shows one window, takes
// the foreground and keeps pumping until the parent says quit.
void runOtherProcessWindow(DWORD parent) {
  registerTestClass();
  HWND window = CreateWindowExW(0, kClassName, L"Vorellis other process", WS_POPUP | WS_VISIBLE,
                                600, 400, 200, 100, nullptr, nullptr, nullptr, nullptr);
  foreground::bringToFront(window);  // the parent checks that it worked
  pump();
  HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, readyEventName(parent).c_str());
  HANDLE quit = OpenEventW(SYNCHRONIZE, FALSE, quitEventName(parent).c_str());
  if (ready) SetEvent(ready);
  while (quit &&
         MsgWaitForMultipleObjects(1, &quit, FALSE, 30000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
    pump();
  ExitProcess(0);
}

// Runs before GoogleTest's main: the child copy of this program does nothing else.
const bool g_isOtherProcess = [] {
  const wchar_t* flag = wcsstr(GetCommandLineW(), kOtherFlag);
  if (flag) runOtherProcessWindow((DWORD)_wtoi(flag + wcslen(kOtherFlag)));
  return false;
}();

class OtherProcessWindow {
 public:
  OtherProcessWindow() {
    DWORD self = GetCurrentProcessId();
    ready_ = CreateEventW(nullptr, TRUE, FALSE, readyEventName(self).c_str());
    quit_ = CreateEventW(nullptr, TRUE, FALSE, quitEventName(self).c_str());
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring command =
        L"\"" + std::wstring(exe) + L"\" " + kOtherFlag + L" " + std::to_wstring(self);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    if (!CreateProcessW(exe, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &process_))
      return;
    if (WaitForSingleObject(ready_, 10000) != WAIT_OBJECT_0) return;
    window_ = FindWindowW(kClassName, L"Vorellis other process");
    // Wait until the platform has really handed it the foreground.
    for (int i = 0; i < 200 && GetForegroundWindow() != window_; i++) Sleep(10);
  }
  ~OtherProcessWindow() {
    SetEvent(quit_);
    if (process_.hProcess) {
      WaitForSingleObject(process_.hProcess, 10000);
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
    CloseHandle(ready_);
    CloseHandle(quit_);
  }
  HWND window() const { return window_; }

 private:
  HANDLE ready_ = nullptr;
  HANDLE quit_ = nullptr;
  PROCESS_INFORMATION process_ = {};
  HWND window_ = nullptr;
};

// ---- watching the box ------------------------------------------------------------------

struct WindowState {
  bool enabled;
  bool visible;
  bool topmost;
};

WindowState stateOf(HWND window) {
  return {IsWindowEnabled(window) != FALSE, IsWindowVisible(window) != FALSE,
          (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0};
}

struct BoxSeen {
  HWND box = nullptr;
  HWND owner = nullptr;
  std::wstring text;
  std::vector<std::wstring> buttons;  // texts of the box's buttons
  std::vector<WindowState> windows;   // the watched windows, while the box was up
  int recordsOfRequester = 0;         // records on the chain for the requester's thread
  bool closedByKey = false;
  testing::AssertionResult boxInFront = testing::AssertionFailure() << "not tried";
};

BOOL CALLBACK closeAnyBox(HWND window, LPARAM) {
  wchar_t cls[16];
  if (GetClassNameW(window, cls, 16) && lstrcmpW(cls, L"#32770") == 0)
    PostMessageW(window, WM_COMMAND, IDOK, 0);
  return TRUE;
}

enum class CloseBy { EnterKey, Command };

// Watches for the box titled `title` on a second thread, records what it sees, then closes
// the box. Returns the watcher; join it after the requester returned.
std::thread watchBox(const wchar_t* title, std::vector<HWND> watched, DWORD requesterThread,
                     CloseBy closeBy, int command, BoxSeen* seen,
                     std::function<void()> whileShown = nullptr) {
  return std::thread([=] {
    HWND box = nullptr;
    for (int i = 0; i < 1000 && !box; i++) {
      box = FindWindowW(L"#32770", title);
      if (!box || !IsWindowVisible(box)) box = nullptr, Sleep(10);
    }
    if (!box) {
      // Never leave the requester's thread blocked: close any box it shows.
      EnumThreadWindows(requesterThread, closeAnyBox, 0);
      return;
    }
    seen->box = box;
    seen->owner = GetWindow(box, GW_OWNER);
    wchar_t buffer[256] = {};
    GetDlgItemTextW(box, 0xFFFF, buffer, 256);  // the message box's text control
    seen->text = buffer;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      wchar_t cls[32] = {};
      GetClassNameW(child, cls, 32);
      if (lstrcmpiW(cls, L"Button") == 0 && IsWindowVisible(child)) {
        GetWindowTextW(child, buffer, 256);
        seen->buttons.push_back(buffer);
      }
    }
    for (HWND w : watched) seen->windows.push_back(stateOf(w));
    // The requester's thread is inside MessageBoxW, so its records are still and can be read.
    for (SuspendedWindow* r = Requester_SuspendedHead(); r; r = (SuspendedWindow*)Chain_Next(r))
      if (r->threadId == requesterThread) seen->recordsOfRequester++;
    if (whileShown) whileShown();

    if (closeBy == CloseBy::EnterKey) {
      // Keys go to the foreground window.
      seen->boxInFront = test_support::inFront(box);
      INPUT keys[2] = {};
      keys[0].type = keys[1].type = INPUT_KEYBOARD;
      keys[0].ki.wVk = keys[1].ki.wVk = VK_RETURN;
      keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
      SendInput(2, keys, sizeof(INPUT));
      // Without a window manager the platform may take a couple of seconds to let a
      // captioned window go.
      for (int i = 0; i < 1000 && IsWindow(box); i++) Sleep(10);
      seen->closedByKey = !IsWindow(box);
      if (seen->closedByKey) return;
    }
    PostMessageW(box, WM_COMMAND, command, 0);
  });
}

// ---- fixture ---------------------------------------------------------------------------

class RequesterEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    g_programHeap = HeapCreate(0, 4096, 0);
    ASSERT_NE(g_programHeap, nullptr);
    registerTestClass();
  }
};
::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new RequesterEnvironment);

class RequesterTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (HWND w : windows_) DestroyWindow(w);
    pump();
    EXPECT_EQ(Requester_SuspendedHead(), nullptr) << "records left on the chain";
  }
  HWND window(const wchar_t* title, DWORD exStyle, DWORD style, int x) {
    HWND w = CreateWindowExW(exStyle, kClassName, title, WS_POPUP | style, x, 40, 120, 80, nullptr,
                             nullptr, nullptr, nullptr);
    EXPECT_NE(w, nullptr);
    windows_.push_back(w);
    return w;
  }
  std::vector<HWND> windows_;
};

TEST_F(RequesterTest, WithAnotherProcessInFrontEveryVisibleWindowIsSetAsideAndRestored) {
  HWND plain = window(L"plain", 0, WS_VISIBLE, 0);
  HWND topmost = window(L"topmost", WS_EX_TOPMOST, WS_VISIBLE, 130);
  HWND hidden = window(L"hidden", 0, 0, 260);
  HWND disabled = window(L"disabled", 0, WS_VISIBLE | WS_DISABLED, 390);
  HWND hiddenDuringBox = window(L"hidden while shown", 0, WS_VISIBLE, 520);
  pump();
  OtherProcessWindow other;
  ASSERT_NE(other.window(), nullptr) << "the other process did not show its window";
  ASSERT_EQ(GetForegroundWindow(), other.window())
      << "the other process could not take the front; visible windows:\n"
      << foreground::visibleWindows();
  EXPECT_EQ(Requester_OwnerWindow(), nullptr);

  BoxSeen seen;
  const wchar_t* title = L"Requester without owner";
  std::thread watcher =
      watchBox(title, {plain, topmost, hidden, disabled, hiddenDuringBox}, GetCurrentThreadId(),
               CloseBy::EnterKey, IDOK, &seen, [&] { ShowWindowAsync(hiddenDuringBox, SW_HIDE); });
  int result = Requester_Message(title, L"Information. Dossier GFX non trouver.", 0);
  watcher.join();

  ASSERT_NE(seen.box, nullptr) << "the box was not found by its title";
  EXPECT_EQ(seen.owner, nullptr);
  EXPECT_EQ(seen.text, L"Information. Dossier GFX non trouver.");
  EXPECT_EQ(seen.buttons, std::vector<std::wstring>{L"OK"});
  EXPECT_TRUE(seen.boxInFront);
  EXPECT_TRUE(seen.closedByKey) << "Enter did not close the box";
  EXPECT_EQ(result, IDOK);

  ASSERT_EQ(seen.windows.size(), 5u);
  EXPECT_FALSE(seen.windows[0].enabled) << "plain window disabled while shown";
  EXPECT_FALSE(seen.windows[1].enabled);
  EXPECT_FALSE(seen.windows[1].topmost) << "topmost window in the normal band while shown";
  EXPECT_TRUE(seen.windows[2].enabled) << "hidden window untouched";
  EXPECT_FALSE(seen.windows[3].enabled);
  EXPECT_FALSE(seen.windows[4].enabled);
  EXPECT_EQ(seen.recordsOfRequester, 4) << "the hidden window is not recorded";

  EXPECT_TRUE(IsWindowEnabled(plain));
  EXPECT_TRUE(IsWindowEnabled(topmost));
  EXPECT_TRUE(GetWindowLongW(topmost, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_TRUE(IsWindowEnabled(hidden));
  EXPECT_FALSE(IsWindowEnabled(disabled)) << "a window disabled before stays disabled";
  EXPECT_FALSE(IsWindowVisible(hiddenDuringBox));
  EXPECT_TRUE(IsWindowEnabled(hiddenDuringBox)) << "hidden during the box, restored all the same";
}

TEST_F(RequesterTest, OwnForegroundWindowOwnsTheBoxAndIsReenabledByIt) {
  HWND main = window(L"Tirage Vorellis", WS_EX_TOPMOST, WS_VISIBLE, 0);
  HWND second = window(L"second", 0, WS_VISIBLE, 130);
  pump();
  ASSERT_TRUE(test_support::inFront(main));
  pump();
  EXPECT_EQ(Requester_OwnerWindow(), main);

  BoxSeen seen;
  const wchar_t* title = L"Requester with owner";
  std::thread watcher =
      watchBox(title, {main, second}, GetCurrentThreadId(), CloseBy::EnterKey, IDOK, &seen);
  int result = Requester_Message(title, L"owned", MB_OK);
  watcher.join();

  ASSERT_NE(seen.box, nullptr);
  EXPECT_EQ(seen.owner, main);
  EXPECT_TRUE(seen.closedByKey) << "Enter did not close the box";
  EXPECT_EQ(result, IDOK);
  ASSERT_EQ(seen.windows.size(), 2u);
  EXPECT_FALSE(seen.windows[0].enabled) << "the box disables its owner";
  EXPECT_FALSE(seen.windows[0].topmost) << "the foreground window leaves the topmost band too";
  EXPECT_FALSE(seen.windows[1].enabled);
  EXPECT_TRUE(IsWindowEnabled(main));
  EXPECT_TRUE(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_TRUE(IsWindowEnabled(second));
}

TEST_F(RequesterTest, ForegroundWindowIsRecordedButNotDisabledByTheRequester) {
  HWND main = window(L"front", WS_EX_TOPMOST, WS_VISIBLE, 0);
  HWND back = window(L"back", 0, WS_VISIBLE, 130);
  pump();
  ASSERT_TRUE(test_support::inFront(main));
  pump();

  Requester_DisableWindows();
  std::vector<SuspendedWindow> records;
  for (SuspendedWindow* r = Requester_SuspendedHead(); r; r = (SuspendedWindow*)Chain_Next(r))
    records.push_back(*r);
  bool mainEnabled = IsWindowEnabled(main);
  bool mainTopmost = GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_TOPMOST;
  Requester_RestoreWindows();

  ASSERT_EQ(records.size(), 2u);
  for (const SuspendedWindow& r : records) {
    EXPECT_EQ(r.threadId, GetCurrentThreadId());
    if (r.window == main) {
      EXPECT_EQ(r.wasTopmost, 1);
      EXPECT_EQ(r.disabledHere, 0);
    } else {
      EXPECT_EQ(r.window, back);
      EXPECT_EQ(r.wasTopmost, 0);
      EXPECT_EQ(r.disabledHere, 1);
    }
  }
  EXPECT_TRUE(mainEnabled);
  EXPECT_FALSE(mainTopmost);
  EXPECT_TRUE(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_TRUE(IsWindowEnabled(back));
}

TEST_F(RequesterTest, ResultOfTheBoxIsReturnedUnchanged) {
  window(L"anchor", 0, WS_VISIBLE, 0);
  pump();
  BoxSeen seen;
  const wchar_t* title = L"Requester yes no";
  std::thread watcher = watchBox(title, {}, GetCurrentThreadId(), CloseBy::Command, IDNO, &seen);
  int result = Requester_Message(title, L"question", MB_YESNO | MB_ICONQUESTION);
  watcher.join();
  ASSERT_NE(seen.box, nullptr);
  EXPECT_EQ(seen.buttons.size(), 2u);
  EXPECT_EQ(result, IDNO);
}

TEST_F(RequesterTest, EachThreadRestoresOnlyItsOwnWindows) {
  HWND front = window(L"front", 0, WS_VISIBLE, 0);
  HWND mine = window(L"mine", 0, WS_VISIBLE, 130);
  pump();
  ASSERT_TRUE(test_support::inFront(front));
  pump();
  HANDLE suspended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE restore = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<HWND> theirs{nullptr};
  std::atomic<bool> theirsEnabledAfterRestore{false};
  std::thread other([&] {
    HWND w = CreateWindowExW(0, kClassName, L"theirs", WS_POPUP, 300, 40, 120, 80, nullptr, nullptr,
                             nullptr, nullptr);
    ShowWindow(w, SW_SHOWNOACTIVATE);  // the foreground stays with "front"
    theirs = w;
    Requester_DisableWindows();
    SetEvent(suspended);
    WaitForSingleObject(restore, 10000);
    Requester_RestoreWindows();
    theirsEnabledAfterRestore = IsWindowEnabled(w) != FALSE;
    DestroyWindow(w);
  });
  ASSERT_EQ(WaitForSingleObject(suspended, 10000), WAIT_OBJECT_0);
  EXPECT_FALSE(IsWindowEnabled(theirs)) << "the other thread set its window aside";
  EXPECT_TRUE(IsWindowEnabled(mine)) << "the other thread left this thread's windows alone";

  Requester_DisableWindows();
  EXPECT_FALSE(IsWindowEnabled(mine));
  EXPECT_TRUE(IsWindowEnabled(front));
  Requester_RestoreWindows();
  EXPECT_TRUE(IsWindowEnabled(mine));
  EXPECT_FALSE(IsWindowEnabled(theirs)) << "restoring here must not undo the other thread";
  ASSERT_NE(Requester_SuspendedHead(), nullptr);
  EXPECT_EQ(Requester_SuspendedHead()->window, (HWND)theirs);
  EXPECT_EQ(Chain_Next(Requester_SuspendedHead()), nullptr);

  SetEvent(restore);
  other.join();
  EXPECT_TRUE(theirsEnabledAfterRestore);
  CloseHandle(suspended);
  CloseHandle(restore);
}

// A requester shown while another of the same thread is up (from a window procedure that runs
// inside the outer box): closing the inner box leaves the outer one's windows set aside.
TEST_F(RequesterTest, InnerRequesterOnOneThreadLeavesTheOuterOnesWindowsAside) {
  HWND front = window(L"front", 0, WS_VISIBLE, 0);
  HWND back = window(L"back", WS_EX_TOPMOST, WS_VISIBLE, 130);
  pump();
  ASSERT_TRUE(test_support::inFront(front));
  pump();

  Requester_DisableWindows();
  window(L"outer box", 0, WS_VISIBLE, 260);  // takes the foreground, as the box does
  Requester_DisableWindows();
  EXPECT_FALSE(IsWindowEnabled(front));
  Requester_RestoreWindows();
  EXPECT_TRUE(IsWindowEnabled(front));
  EXPECT_FALSE(IsWindowEnabled(back)) << "re-enabled while the outer box is still up";
  EXPECT_FALSE(GetWindowLongW(back, GWL_EXSTYLE) & WS_EX_TOPMOST);
  Requester_RestoreWindows();
  EXPECT_TRUE(IsWindowEnabled(back));
  EXPECT_TRUE(GetWindowLongW(back, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

}  // namespace
