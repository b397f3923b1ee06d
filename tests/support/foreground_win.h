// The one way the window tests get the front of the screen and the keyboard. Windows refuses the
// foreground to a program started from a console that never got the user's input, which is
// every test program on a build machine; Wine never refuses it.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

namespace test_support {

// Brings `window` to the front the ways Windows allows (tools/common/foreground_win.h) and
// checks that it is the foreground window, and the active one when it belongs to this thread.
// A failure says which window kept the front and lists every visible one:
//   ASSERT_TRUE(test_support::inFront(window));
::testing::AssertionResult inFront(HWND window);

}  // namespace test_support
