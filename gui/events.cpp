// The message pump and the hidden event window.
//
// When nothing is queued, the wait pumps exactly one platform message and returns its number,
// so the program's loop keeps turning while the user works. Other threads hand events over
// through the hidden event window with the registered message; the owning thread posts them
// into the queue (gui/event_queue.cpp) while pumping.
#include "gui/events.h"

#include "gui/focus.h"
#include "runtime/accounting.h"
#include "runtime/memory.h"

namespace {

const Char16 kPostClassName[] = TEXT16("PostEventClass");
const Char16 kPostMessageName[] = TEXT16("QZ_PostEventMessage");

HWND postWindow;
UINT postMessage;

LRESULT CALLBACK postWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (postMessage && message == postMessage && lParam) {
    EventNode* record = (EventNode*)lParam;
    Event_Post(record->code, record->object, record->windowNumber, record->type, record->data,
               nullptr, EVENT_POST_FORCE);
    HeapFree(g_programHeap, 0, record);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int32_t Event_Wait() { return Event_WaitTimeout(-1); }

int32_t Event_WaitTimeout(int32_t milliseconds) {
  int32_t code = Event_Take();
  if (code) return code;

  MSG msg = {};
  if (milliseconds == -1) {
    // WM_QUIT comes back like any other message; only a failed call (-1) has no message.
    if (GetMessageW(&msg, nullptr, 0, 0) == -1) return 0;
  } else if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) {
    if (milliseconds == 0) return 0;
    DWORD woke = MsgWaitForMultipleObjects(0, nullptr, FALSE, (DWORD)milliseconds,
                                           QS_ALLINPUT | QS_ALLPOSTMESSAGE);
    if (woke == WAIT_TIMEOUT) return 0;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) return 0;
  }

  HWND active = GetActiveWindow();
  HACCEL table = Window_Accelerators(active);
  if (table && TranslateAcceleratorW(active, table, &msg)) {
    if (IsWindow(active)) Focus_Cues(active, true);
  } else {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return (int32_t)msg.message;
}

int Event_PostFromThread(int32_t code, intptr_t object, intptr_t windowNumber, int32_t type,
                         intptr_t data) {
  HWND window = postWindow;
  UINT message = postMessage;
  if (!window || !message || !g_programHeap) return 0;
  EventNode* record = (EventNode*)HeapAlloc(g_programHeap, HEAP_ZERO_MEMORY, sizeof(EventNode));
  if (!record) return 0;
  record->code = code;
  record->object = object;
  record->windowNumber = windowNumber;
  record->type = type;
  record->data = data;
  if (!PostMessageW(window, message, 0, (LPARAM)record)) {
    HeapFree(g_programHeap, 0, record);
    return 0;
  }
  return 1;
}

HWND Event_PostWindow() { return postWindow; }
UINT Event_PostMessageId() { return postMessage; }

void EventLib_Start() {
  WNDCLASSW wc = {};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = postWindowProcedure;
  wc.hInstance = g_instance;
  wc.hbrBackground = (HBRUSH)(intptr_t)(COLOR_BTNFACE + 1);
  wc.lpszClassName = kPostClassName;
  // A failure means the class exists already (a second start in one process): use it.
  RegisterClassW(&wc);
  postWindow = CreateWindowExW(0, kPostClassName, TEXT16(""), WS_CAPTION, 0, 0, 1, 1, nullptr,
                               nullptr, g_instance, nullptr);
  if (postWindow) Account_Created(ACCOUNT_WINDOW);
  postMessage = RegisterWindowMessageW(kPostMessageName);
  EventQueue_Start();
}

void EventLib_End() {
  if (postWindow && DestroyWindow(postWindow)) Account_Deleted(ACCOUNT_WINDOW);
  postWindow = nullptr;
  UnregisterClassW(kPostClassName, g_instance);
  EventQueue_End();
}
