#include "tests/support/foreground_win.h"

#include "tools/common/foreground_win.h"

namespace test_support {
namespace {

bool activeIfOurs(HWND window) {
  return GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId() ||
         GetActiveWindow() == window;
}

}  // namespace

::testing::AssertionResult inFront(HWND window) {
  DWORD error = 0;
  if (!foreground::bringToFront(window)) error = GetLastError();
  else if (activeIfOurs(window)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "could not bring " << foreground::describe(window)
         << " to the front, nor make it this thread's active window (last error " << error
         << "); in front: " << foreground::describe(GetForegroundWindow()) << "; visible windows:\n"
         << foreground::visibleWindows();
}

}  // namespace test_support
