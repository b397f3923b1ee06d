// The message pump and the hidden event window.
//
// When nothing is queued, the wait pumps exactly one platform message and returns its number,
// so the program's loop keeps turning while the user works. An event queued while a message
// sent from another thread or process is handled (a close request, say) ends the wait as
// well. Other threads hand events over through the hidden event window with the registered
// message; the owning thread posts them into the queue (gui/event_queue.cpp) while pumping.
#include "gui/events.h"

#include "gui/focus.h"
#include "gui/window.h"
#include "runtime/accounting.h"
#include "runtime/memory.h"

namespace {

const Char16 kPostClassName[] = TEXT16("PostEventClass");
const Char16 kPostMessageName[] = TEXT16("QZ_PostEventMessage");

HWND postWindow;
UINT postMessage;

// The records handed out by Event_PostFromThread and not yet taken, chained through `next`.
// Any process can find the event window and post the registered message to it, so a
// parameter is trusted as a record only when it is one of these; anything else is ignored.
EventNode* g_handedOut;
CRITICAL_SECTION g_handedOutLock;
bool g_lockReady;

void handOut(EventNode* record) {
  EnterCriticalSection(&g_handedOutLock);
  record->next = g_handedOut;
  g_handedOut = record;
  LeaveCriticalSection(&g_handedOutLock);
}

// Unchains `address` if it is a record handed out; true when it was.
bool takeBack(LPARAM address) {
  if (!g_lockReady) return false;
  EnterCriticalSection(&g_handedOutLock);
  EventNode** link = &g_handedOut;
  while (*link && (LPARAM)*link != address) link = &(*link)->next;
  EventNode* found = *link;
  if (found) *link = found->next;
  LeaveCriticalSection(&g_handedOutLock);
  return found != nullptr;
}

LRESULT CALLBACK postWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (postMessage && message == postMessage && lParam && takeBack(lParam)) {
    EventNode* record = (EventNode*)lParam;
    Event_Post(record->code, record->object, record->windowNumber, record->type, record->data,
               nullptr, EVENT_POST_FORCE);
    HeapFree(g_programHeap, 0, record);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// True for a message number that is also an event code: such a raw message (a window class's
// private message, or one posted from outside) is never handed out, or the program would take
// it for the event.
bool isEventCode(UINT message) {
  return message >= (UINT)EVENT_GADGET && message <= (UINT)EVENT_WINDOW_SIZED;
}

// Takes one posted message for the thread into msg. Peeking runs the messages that other
// threads and processes send to this thread; their procedures may queue events, which a
// blocking GetMessageW would never hand out, since it returns for posted messages only. So
// the wait is made of peeks, and an event queued on the way ends it: *code gets it.
bool nextMessage(MSG* msg, int32_t milliseconds, int32_t* code) {
  DWORD wait = milliseconds == -1 ? INFINITE : (DWORD)milliseconds;
  for (bool waited = false;; waited = true) {
    if (PeekMessageW(msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) return true;
    if ((*code = Event_Take())) return false;
    // A finite wait wakes once; a wake-up that brought no message ends it.
    if (milliseconds == 0 || (waited && milliseconds != -1)) return false;
    if (MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT | QS_ALLPOSTMESSAGE,
                                    MWMO_INPUTAVAILABLE) != WAIT_OBJECT_0)
      return false;
  }
}

// Accelerators translate keyboard messages only. Choosing the table reads key states and window
// properties, each a round trip to the window server under Wine, so the paints, timers and
// mouse messages that make up most of the traffic go straight to their windows.
bool isKeyboard(UINT message) { return message >= WM_KEYFIRST && message <= WM_KEYLAST; }

void dispatch(MSG* msg) {
  HWND active = isKeyboard(msg->message) ? GetActiveWindow() : nullptr;
  HACCEL table = active ? Window_Accelerators(active) : nullptr;
  if (table && TranslateAcceleratorW(active, table, msg)) {
    if (IsWindow(active)) Focus_Cues(active, true);
  } else {
    TranslateMessage(msg);
    DispatchMessageW(msg);
  }
}

}  // namespace

int32_t Event_Wait() { return Event_WaitTimeout(-1); }

int32_t Event_WaitTimeout(int32_t milliseconds) {
  for (;;) {
    int32_t code = Event_Take();
    if (code) return code;
    MSG msg = {};
    // WM_QUIT comes back like any other message.
    if (!nextMessage(&msg, milliseconds, &code)) return code;
    dispatch(&msg);
    if (!isEventCode(msg.message)) return (int32_t)msg.message;
    // An endless wait goes on; a finite one hands out what the dispatch queued, if anything.
    if (milliseconds != -1) return Event_Take();
  }
}

int Event_PostFromThread(int32_t code, intptr_t object, intptr_t windowNumber, int32_t type,
                         intptr_t data) {
  HWND window = postWindow;
  UINT message = postMessage;
  if (!window || !message || !g_programHeap || !g_lockReady) return 0;
  EventNode* record = (EventNode*)HeapAlloc(g_programHeap, HEAP_ZERO_MEMORY, sizeof(EventNode));
  if (!record) return 0;
  record->code = code;
  record->object = object;
  record->windowNumber = windowNumber;
  record->type = type;
  record->data = data;
  handOut(record);
  if (!PostMessageW(window, message, 0, (LPARAM)record)) {
    if (takeBack((LPARAM)record)) HeapFree(g_programHeap, 0, record);
    return 0;
  }
  return 1;
}

HWND Event_PostWindow() { return postWindow; }
UINT Event_PostMessageId() { return postMessage; }

void EventLib_Start() {
  if (!g_lockReady) InitializeCriticalSection(&g_handedOutLock);
  g_lockReady = true;
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
  // Records still on their way die with the window: nothing will take them now.
  if (g_lockReady)
    while (g_handedOut) {
      EventNode* next = g_handedOut->next;
      HeapFree(g_programHeap, 0, g_handedOut);
      g_handedOut = next;
    }
  UnregisterClassW(kPostClassName, g_instance);
  EventQueue_End();
}
