// Bringing a window to the front from a process that Windows may not let do it: one started from
// a console or a service that never got the user's input. Shared by the window tests, which need
// the keyboard and the top of the screen, and release-smoke, which clicks the program's button.
#pragma once

#include <windows.h>

#include <string>

namespace foreground {

// Makes `window` the foreground window: first as any process asks, then with this thread
// attached to the input of the thread that has the front, then after an input of this process
// (a mouse move by nothing), which Windows counts as the last one. True when it is the
// foreground window within `milliseconds` of the last try.
bool bringToFront(HWND window, DWORD milliseconds = 2000);

// One window in words, UTF-8: handle, process, class and title ("no window" for null).
std::string describe(HWND window);

// Every visible top-level window, one line each, the foreground one marked.
std::string visibleWindows();

}  // namespace foreground
