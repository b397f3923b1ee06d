#include "tools/common/foreground_win.h"

#include <cstdio>

namespace foreground {
namespace {

// Waits for `window` to be in front. Activating a window of another thread is handed to that
// thread, so it can take a while; sent messages are let in meanwhile, posted ones stay queued.
bool inFrontWithin(HWND window, DWORD milliseconds) {
  for (DWORD start = GetTickCount();; Sleep(10)) {
    if (GetForegroundWindow() == window) return true;
    if (GetTickCount() - start >= milliseconds) return false;
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
  }
}

// A thread attached to the input of the thread that has the front shares its right to move it.
void setAttached(HWND window) {
  DWORD self = GetCurrentThreadId();
  DWORD front = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
  bool attached = front && front != self && AttachThreadInput(self, front, TRUE);
  BringWindowToTop(window);
  SetForegroundWindow(window);
  if (attached) AttachThreadInput(self, front, FALSE);
}

// The process that made the last input may move the front. A mouse move by nothing changes no
// key state and opens no menu, unlike the Alt press often used for this.
void makeLastInput() {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_MOVE;
  SendInput(1, &input, sizeof input);
}

std::string utf8(const wchar_t* text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(size > 1 ? size - 1 : 0, '\0');
  if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
  return out;
}

BOOL CALLBACK addVisible(HWND window, LPARAM text) {
  if (!IsWindowVisible(window)) return TRUE;
  std::string* lines = (std::string*)text;
  *lines += window == GetForegroundWindow() ? "  * " : "    ";
  *lines += describe(window) + "\n";
  return TRUE;
}

}  // namespace

bool bringToFront(HWND window, DWORD milliseconds) {
  if (!IsWindow(window)) return false;
  if (GetForegroundWindow() == window) return true;
  if (SetForegroundWindow(window) && inFrontWithin(window, milliseconds)) return true;
  setAttached(window);
  if (inFrontWithin(window, milliseconds)) return true;
  makeLastInput();
  setAttached(window);
  return inFrontWithin(window, milliseconds);
}

std::string describe(HWND window) {
  if (!window) return "no window";
  wchar_t className[128] = L"", title[256] = L"";
  char head[64];
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  GetClassNameW(window, className, 128);
  GetWindowTextW(window, title, 256);
  snprintf(head, sizeof head, "window %p of process %lu", (void*)window, (unsigned long)process);
  return std::string(head) + ", class " + utf8(className) + ", title \"" + utf8(title) + "\"";
}

std::string visibleWindows() {
  std::string lines;
  EnumWindows(addVisible, (LPARAM)&lines);
  return lines.empty() ? "    (none)\n" : lines;
}

}  // namespace foreground
