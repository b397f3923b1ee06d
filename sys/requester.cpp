// Message requester: MessageBoxW made modal to every visible top-level window of the calling
// thread, with the thread's topmost windows kept from covering the box.
//
// The set-aside windows are recorded on one process-wide chain, each record tagged with the
// thread that made it, so requesters shown by different threads never undo each other's
// windows. The chain is guarded by a critical section (set up once) because nothing stops
// two threads from showing requesters at the same time. Depends on user32, the chain and
// the program heap (through Chain_Add).
#include "sys/requester.h"

#include "runtime/registry.h"

namespace {

void* g_suspendedChain;  // payload of the newest SuspendedWindow node, or null
CRITICAL_SECTION g_chainLock;
volatile intptr_t g_chainLockOnce;

const size_t kNodeSize = 2 * sizeof(void*) + sizeof(SuspendedWindow);

// How many requesters of each thread are between DisableWindows and RestoreWindows (a window
// procedure may show one while the box of another is up), in a slot of the platform's thread
// storage: the compiler's thread_local would bring a threads library into the program.
DWORD g_nestingSlot = TLS_OUT_OF_INDEXES;

void initChainLock() {
  InitializeCriticalSection(&g_chainLock);
  g_nestingSlot = TlsAlloc();
}

// A critical section is recursive on one thread: a window procedure that shows a requester
// while one of ours is setting windows aside does not deadlock.
void lockChain() {
  Once_Run(&g_chainLockOnce, initChainLock);
  EnterCriticalSection(&g_chainLock);
}

void unlockChain() { LeaveCriticalSection(&g_chainLock); }

uint16_t threadNesting() {
  if (g_nestingSlot == TLS_OUT_OF_INDEXES) return 0;
  return (uint16_t)(uintptr_t)TlsGetValue(g_nestingSlot);
}

void setThreadNesting(uint16_t nesting) {
  if (g_nestingSlot != TLS_OUT_OF_INDEXES) TlsSetValue(g_nestingSlot, (void*)(uintptr_t)nesting);
}

void setTopmost(HWND window, bool topmost) {
  SetWindowPos(window, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOSIZE | SWP_NOMOVE);
}

BOOL CALLBACK suspendWindow(HWND window, LPARAM nesting) {
  DWORD thread = GetCurrentThreadId();
  if (GetWindowThreadProcessId(window, nullptr) != thread) return TRUE;
  if (!IsWindowVisible(window)) return TRUE;

  SuspendedWindow* record = (SuspendedWindow*)Chain_Add(&g_suspendedChain, kNodeSize);
  // Without a record the window could not be restored, so it is left as it is.
  if (!record) return TRUE;
  record->window = window;
  record->threadId = thread;
  record->nesting = (uint16_t)nesting;
  if (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) record->wasTopmost = 1;
  // The foreground window is left enabled: when it is the box's owner, MessageBoxW disables
  // and re-enables it itself.
  if (window != GetForegroundWindow() && IsWindowEnabled(window)) {
    record->disabledHere = 1;
    EnableWindow(window, FALSE);
  }
  return TRUE;
}

}  // namespace

SuspendedWindow* Requester_SuspendedHead() { return (SuspendedWindow*)g_suspendedChain; }

HWND Requester_OwnerWindow() {
  HWND foreground = GetForegroundWindow();
  if (!foreground) return nullptr;
  DWORD process = 0;
  GetWindowThreadProcessId(foreground, &process);
  return process == GetCurrentProcessId() ? foreground : nullptr;
}

void Requester_DisableWindows() {
  DWORD thread = GetCurrentThreadId();
  lockChain();
  uint16_t nesting = (uint16_t)(threadNesting() + 1);
  setThreadNesting(nesting);
  EnumWindows(suspendWindow, nesting);
  // The foreground window too leaves the topmost band, so that nothing can cover the box.
  for (void* node = g_suspendedChain; node; node = Chain_Next(node)) {
    SuspendedWindow* record = (SuspendedWindow*)node;
    if (record->threadId == thread && record->nesting == nesting && record->wasTopmost)
      setTopmost(record->window, false);
  }
  unlockChain();
}

void Requester_RestoreWindows() {
  DWORD thread = GetCurrentThreadId();
  // Only the records of this thread's latest DisableWindows: those of a requester that is
  // still up around this one stay until it closes.
  lockChain();
  uint16_t nesting = threadNesting();
  if (nesting) setThreadNesting((uint16_t)(nesting - 1));
  // Without a slot every requester counted as the outermost one, level 1.
  if (g_nestingSlot == TLS_OUT_OF_INDEXES) nesting = 1;
  // Each pass takes the newest record of this thread off the chain before acting on a copy
  // of it, so no chain pointer is held across the window calls, whose messages may run any
  // window procedure of the thread.
  for (;;) {
    SuspendedWindow* record = (SuspendedWindow*)g_suspendedChain;
    while (record && record->threadId != thread) record = (SuspendedWindow*)Chain_Next(record);
    if (!record || record->nesting != nesting) break;
    SuspendedWindow held = *record;
    Chain_Remove(&g_suspendedChain, record);
    // A window hidden while the box was up is restored all the same.
    if (held.disabledHere) EnableWindow(held.window, TRUE);
    if (held.wasTopmost) setTopmost(held.window, true);
  }
  unlockChain();
}

int Requester_Message(const Char16* title, const Char16* text, uint32_t flags) {
  HWND owner = Requester_OwnerWindow();
  Requester_DisableWindows();
  int result = MessageBoxW(owner, text, title, flags);
  Requester_RestoreWindows();
  return result;
}
