// The event queue and the message pump.
//
// Events are nodes from a block pool linked head to tail. A post that repeats the tail exactly
// (a stream of the same notification) is folded into it. Taking an event makes it the current
// event, which Event_Gadget and the other readers describe until the next take. When nothing
// is queued, the wait pumps exactly one platform message and returns its number, so the
// program's loop keeps turning while the user works.
//
// Only the owning thread touches the queue. Other threads hand events over through the hidden
// event window with the registered message; the owning thread posts them while pumping.
#include "gui/events.h"

#include "gui/focus.h"
#include "gui/textnum.h"
#include "runtime/accounting.h"
#include "runtime/memory.h"
#include "runtime/registry.h"

namespace {

// Build-time switch: a non-zero value puts posting and taking under a critical section.
const int32_t kThreadSafe = 0;

// Codes at or above this are never folded into the tail.
const int32_t kCoalesceLimit = 0x10000;

const Char16 kPostClassName[] = TEXT16("PostEventClass");
const Char16 kPostMessageName[] = TEXT16("QZ_PostEventMessage");

// A binding's map element: its chain of callback blocks and the window it belongs to.
struct BindingElement {
  struct Callback* chain;
  intptr_t windowNumber;
};
struct Callback {
  Callback* next;
  EventBindingFn routine;
};

void* stateBlock;  // from LibState_Alloc; null while the queue is not started
CRITICAL_SECTION queueLock;
HWND postWindow;
UINT postMessage;

EventState* state() { return stateBlock ? (EventState*)LibState_Get(stateBlock) : nullptr; }

void lockQueue() {
  if (kThreadSafe) EnterCriticalSection(&queueLock);
}
void unlockQueue() {
  if (kThreadSafe) LeaveCriticalSection(&queueLock);
}

void discardData(intptr_t data, EventDataFreeFn dataFree) {
  if (data && dataFree) dataFree(data);
}

void initState(void* block) {
  EventState* s = (EventState*)block;
  s->type = -1;
  s->nodePool = Pool_Create((int32_t)sizeof(EventNode), 16, 256, 2);
  // Hold one block for good, so the first chunk stays even when the queue runs empty and a
  // steady trickle of events does not allocate and free a chunk each time.
  if (s->nodePool) Pool_Alloc(s->nodePool);
}

// Formats "code:window:object:type" into key.
void formatKey(Char16* key, int32_t code, intptr_t windowNumber, intptr_t object, int32_t type) {
  Char16* p = gui_detail::appendNumber(key, code);
  *p++ = ':';
  p = gui_detail::appendNumber(p, windowNumber);
  *p++ = ':';
  p = gui_detail::appendNumber(p, object);
  *p++ = ':';
  gui_detail::appendNumber(p, type);
}

// Runs the bindings of an event under the five keys, from the most particular to the most
// general, with the event as the current event while they run.
void runBindingKeys(EventState* s, int32_t code, intptr_t windowNumber, intptr_t object,
                    int32_t type) {
  if (!s->bindings || Map_Count(s->bindings) == 0) return;
  Event_RunBindings(code, windowNumber, object, type);
  Event_RunBindings(code, windowNumber, object, -1);
  Event_RunBindings(code, windowNumber, -1, -1);
  Event_RunBindings(code, -1, -1, -1);
  Event_RunBindings(code, -1, object, type);
}

bool matches(const EventNode* node, int32_t code, intptr_t object, intptr_t windowNumber,
             int32_t type) {
  return (code == -1 || node->code == code) && (object == -1 || node->object == object) &&
         (windowNumber == -1 || node->windowNumber == windowNumber) &&
         (type == -1 || node->type == type);
}

// Unlinks and returns to the pool every queued node that matches.
void purgeMatching(int32_t code, intptr_t object, intptr_t windowNumber, int32_t type) {
  EventState* s = state();
  if (!s) return;
  lockQueue();
  EventNode* previous = nullptr;
  EventNode* node = s->queueHead;
  while (node) {
    EventNode* next = node->next;
    if (matches(node, code, object, windowNumber, type)) {
      if (previous) previous->next = next;
      else s->queueHead = next;
      discardData(node->data, node->dataFree);
      Pool_Free(s->nodePool, node);
    } else {
      previous = node;
    }
    node = next;
  }
  // The tail is the last node kept, so the next post appends after it.
  s->queueTail = previous;
  unlockQueue();
}

void freeCallbacks(BindingElement* element) {
  Callback* c = element->chain;
  while (c) {
    Callback* next = c->next;
    HeapFree(g_programHeap, 0, c);
    c = next;
  }
  element->chain = nullptr;
}

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

void Event_Post(int32_t code, intptr_t object, intptr_t windowNumber, int32_t type, intptr_t data,
                EventDataFreeFn dataFree, uint32_t flags) {
  EventState* s = state();
  if (!s) {
    discardData(data, dataFree);
    return;
  }
  lockQueue();
  if (s->hold && !(flags & EVENT_POST_FORCE)) {
    unlockQueue();
    discardData(data, dataFree);
    return;
  }
  bool kept = false;
  EventNode* tail = s->queueTail;
  bool fold = tail && code < kCoalesceLimit && !(flags & EVENT_POST_DEFERRED) &&
              tail->code == code && tail->object == object &&
              tail->windowNumber == windowNumber && tail->type == type;
  if (!fold) {
    // No node to be had: the event is dropped rather than written through a missing block.
    EventNode* node = s->nodePool ? (EventNode*)Pool_Alloc(s->nodePool) : nullptr;
    if (node) {
      node->next = nullptr;
      node->code = code;
      node->flags = flags;
      node->object = object;
      node->windowNumber = windowNumber;
      node->type = type;
      node->data = data;
      node->dataFree = dataFree;
      if (tail) tail->next = node;
      else s->queueHead = node;
      s->queueTail = node;
      kept = true;
    }
  }
  if (!(flags & EVENT_POST_DEFERRED)) {
    int32_t savedCode = s->code, savedType = s->type;
    intptr_t savedWindow = s->windowNumber, savedObject = s->object, savedData = s->data;
    EventDataFreeFn savedFree = s->dataFree;
    s->code = code;
    s->windowNumber = windowNumber;
    s->object = object;
    s->type = type;
    s->data = data;
    s->dataFree = dataFree;
    runBindingKeys(s, code, windowNumber, object, type);
    s->code = savedCode;
    s->windowNumber = savedWindow;
    s->object = savedObject;
    s->type = savedType;
    s->data = savedData;
    s->dataFree = savedFree;
  }
  unlockQueue();
  // A folded or dropped post's data has no node to travel with: release it now, unless it is
  // the very data the tail already carries.
  if (!kept && !(fold && tail->data == data)) discardData(data, dataFree);
}

int32_t Event_Take() {
  EventState* s = state();
  if (!s) return 0;
  s->code = 0;
  lockQueue();
  if (s->data && s->dataFree) s->dataFree(s->data);
  s->data = 0;
  s->dataFree = nullptr;
  s->type = -1;
  EventNode* node = s->queueHead;
  if (node) {
    s->code = node->code;
    s->object = node->object;
    s->windowNumber = node->windowNumber;
    s->type = node->type;
    s->data = node->data;
    s->dataFree = node->dataFree;
    s->queueHead = node->next;
    if (!s->queueHead) s->queueTail = nullptr;
    uint32_t flags = node->flags;
    Pool_Free(s->nodePool, node);
    if (flags & EVENT_POST_DEFERRED) runBindingKeys(s, s->code, s->windowNumber, s->object, s->type);
  }
  int32_t code = s->code;
  unlockQueue();
  return code;
}

void Event_Purge(int32_t code, intptr_t object, intptr_t windowNumber, int32_t type) {
  purgeMatching(code, object, windowNumber, type);
}

void Event_PurgeWindow(intptr_t windowNumber) { purgeMatching(-1, -1, windowNumber, -1); }

intptr_t Event_Gadget() {
  EventState* s = state();
  return s ? s->object : 0;
}

intptr_t Event_Window() {
  EventState* s = state();
  return s ? s->windowNumber : 0;
}

int32_t Event_Type() {
  EventState* s = state();
  return s ? s->type : -1;
}

void Event_Hold(int32_t hold) {
  if (EventState* s = state()) s->hold = hold;
}

int Event_Bind(int32_t code, intptr_t windowNumber, intptr_t object, int32_t type,
               EventBindingFn routine) {
  EventState* s = state();
  if (!s || !s->bindings || !routine) return 0;
  Char16 key[96];
  formatKey(key, code, windowNumber, object, type);
  BindingElement* element = (BindingElement*)Map_Find(s->bindings, key);
  if (!element) {
    element = (BindingElement*)Map_Add(s->bindings, key, 0);
    if (!element) return 0;
    element->windowNumber = windowNumber;
  }
  Callback* callback = (Callback*)HeapAlloc(g_programHeap, HEAP_ZERO_MEMORY, sizeof(Callback));
  if (!callback) return 0;
  callback->routine = routine;
  // Appended, so the routines run in the order they were bound.
  Callback** link = &element->chain;
  while (*link) link = &(*link)->next;
  *link = callback;
  return 1;
}

void Event_RunBindings(int32_t code, intptr_t windowNumber, intptr_t object, int32_t type) {
  EventState* s = state();
  if (!s || !s->bindings) return;
  Char16 key[96];
  formatKey(key, code, windowNumber, object, type);
  BindingElement* element = (BindingElement*)Map_Find(s->bindings, key);
  if (!element) return;
  for (Callback* c = element->chain; c; c = c->next) c->routine();
}

void Event_UnbindWindow(intptr_t windowNumber) {
  EventState* s = state();
  if (!s || !s->bindings || Map_Count(s->bindings) == 0) return;
  Map_Rewind(s->bindings);
  while (BindingElement* element = (BindingElement*)Map_Next(s->bindings)) {
    if (element->windowNumber != windowNumber) continue;
    freeCallbacks(element);
    Map_DeleteCurrent(s->bindings);
  }
}

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

void EventQueue_Start() {
  if (stateBlock) EventQueue_End();
  if (kThreadSafe) InitializeCriticalSection(&queueLock);
  stateBlock = LibState_Alloc(sizeof(EventState), initState, nullptr);
  EventState* s = state();
  if (s) Map_Create((int32_t)sizeof(BindingElement), 7, nullptr, &s->bindings, 1024);
}

void EventQueue_End() {
  EventState* s = state();
  if (!s) return;
  for (EventNode* node = s->queueHead; node; node = node->next)
    discardData(node->data, node->dataFree);
  s->queueHead = s->queueTail = nullptr;
  discardData(s->data, s->dataFree);
  s->data = 0;
  s->dataFree = nullptr;
  if (s->bindings) {
    Map_Rewind(s->bindings);
    while (BindingElement* element = (BindingElement*)Map_Next(s->bindings)) freeCallbacks(element);
    Map_Free(&s->bindings);
  }
  if (s->nodePool) Pool_Destroy(s->nodePool);
  s->nodePool = nullptr;
  stateBlock = nullptr;  // the block itself belongs to the private heap
  if (kThreadSafe) DeleteCriticalSection(&queueLock);
}

const EventState* EventQueue_State() { return state(); }

int32_t EventQueue_Length() {
  EventState* s = state();
  int32_t n = 0;
  if (s)
    for (EventNode* node = s->queueHead; node; node = node->next) n++;
  return n;
}

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
