// The event library's queue, compiled natively from gui/events.cpp itself.
//
// gui/ is a Windows-only folder: events.cpp also holds the message pump and the hidden event
// window, which need user32. The queue (Event_Post, Event_Take and EventQueue_Start) touches
// none of it, so this file gives the few user32 names that the rest of events.cpp mentions
// declarations and inert bodies, then compiles the file unchanged. Nothing here is ever
// called by the benchmarks; the queue code measured is the program's own.
#include "bench/win_shim.h"

namespace {
LRESULT DefWindowProcW(HWND, UINT, WPARAM, LPARAM) { return 0; }
BOOL GetMessageW(MSG*, HWND, UINT, UINT) { return -1; }
BOOL PeekMessageW(MSG*, HWND, UINT, UINT, UINT) { return FALSE; }
DWORD MsgWaitForMultipleObjects(DWORD, const HANDLE*, BOOL, DWORD, DWORD) { return WAIT_TIMEOUT; }
HWND GetActiveWindow() { return nullptr; }
int TranslateAcceleratorW(HWND, HACCEL, MSG*) { return 0; }
BOOL IsWindow(HWND) { return FALSE; }
BOOL TranslateMessage(const MSG*) { return FALSE; }
LRESULT DispatchMessageW(const MSG*) { return 0; }
BOOL PostMessageW(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
WORD RegisterClassW(const WNDCLASSW*) { return 0; }
HWND CreateWindowExW(DWORD, LPCWSTR, LPCWSTR, DWORD, int, int, int, int, HWND, void*, HINSTANCE,
                     void*) {
  return nullptr;
}
UINT RegisterWindowMessageW(LPCWSTR) { return 0; }
BOOL DestroyWindow(HWND) { return FALSE; }
BOOL UnregisterClassW(LPCWSTR, HINSTANCE) { return FALSE; }
}  // namespace

#include "gui/events.cpp"

// Declared by gui/focus.h, defined in gui/focus.cpp on Windows; the pump is never run here.
HACCEL Window_Accelerators(HWND) { return nullptr; }
void Focus_Cues(HWND, bool) {}
