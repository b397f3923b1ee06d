// The event queue: post, fold, take, purge, hold and bindings.
//
// Events are nodes from a block pool linked head to tail. A post that repeats the tail exactly
// (a stream of the same notification) is folded into it. Taking an event makes it the current
// event, which Event_Gadget and the other readers describe until the next take.
//
// Only the owning thread touches the queue; other threads hand their events over through the
// event window (gui/events.cpp), whose procedure posts them here. Nothing in this file needs a
// window, so it builds natively as well.
#include "gui/event_queue.h"

#include "gui/textnum.h"
#include "runtime/memory.h"
#include "runtime/registry.h"

namespace {

// Build-time switch: a non-zero value puts posting and taking under a critical section.
const int32_t kThreadSafe = 0;

// Codes at or above this are never folded into the tail.
const int32_t kCoalesceLimit = 0x10000;

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
// Set when the binding map gets its first element, cleared when the queue starts or ends: the
// program binds nothing, and a post then asks nothing of the map.
bool mapUsed;
CRITICAL_SECTION queueLock;

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

bool hasBindings(const EventState* s) {
  return mapUsed && s->bindings && Map_Count(s->bindings) != 0;
}

// Runs the bindings of an event under the five keys, from the most particular to the most
// general, with the event as the current event while they run.
void runBindingKeys(EventState* s, int32_t code, intptr_t windowNumber, intptr_t object,
                    int32_t type) {
  if (!hasBindings(s)) return;
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
              tail->code == code && tail->object == object && tail->windowNumber == windowNumber &&
              tail->type == type;
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
  // With no binding at all there is nothing to run, and so no current event to lend out and
  // give back: the common case, which this keeps as cheap as the queue work itself.
  if (!(flags & EVENT_POST_DEFERRED) && hasBindings(s)) {
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
    if (flags & EVENT_POST_DEFERRED)
      runBindingKeys(s, s->code, s->windowNumber, s->object, s->type);
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

intptr_t Event_Menu() { return Event_Gadget(); }

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
    mapUsed = true;
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

void EventQueue_Start() {
  if (stateBlock) EventQueue_End();
  if (kThreadSafe) InitializeCriticalSection(&queueLock);
  mapUsed = false;
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
  mapUsed = false;
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
