// The event queue itself: post, fold, take, purge, hold and bindings. It needs no window and
// makes no user32 call, so it is platform-free (gui/events.h adds the pump and the event
// window on top of it).
#pragma once

#include "runtime/platform.h"

enum : int32_t {
  EVENT_GADGET = 13100,
  EVENT_MENU_ITEM = 13101,
  EVENT_TRAY_ICON = 13102,
  EVENT_WINDOW_ACTIVATED = 13104,
  EVENT_WINDOW_MINIMIZED = 13107,
  EVENT_WINDOW_MAXIMIZED = 13108,
  EVENT_WINDOW_RESTORED = 13109,
  EVENT_TIMER = 13110,
  EVENT_RIGHT_CLICK = 13111,
  EVENT_LEFT_CLICK = 13112,
  EVENT_LEFT_DOUBLE_CLICK = 13113,
  EVENT_WINDOW_DEACTIVATED = 13114,
  EVENT_REPAINT = 13115,
  EVENT_CLOSE_WINDOW = 13116,
  EVENT_WINDOW_MOVED = 13117,
  EVENT_WINDOW_SIZED = 13118,
  // The window's resolution, the system's font or colours, high contrast or the theme changed:
  // whatever the program drew for the display (pictures at a size, cards in colours) is due again.
  EVENT_DISPLAY_CHANGED = 13119,
};

const uint32_t EVENT_POST_FORCE = 1;
const uint32_t EVENT_POST_DEFERRED = 2;

typedef void (*EventDataFreeFn)(intptr_t data);
typedef void (*EventBindingFn)(void);

// One queued event, a block of the node pool. A thread posting through the event window hands
// over a record of this shape from the program heap.
struct EventNode {
  EventNode* next;
  int32_t code;
  uint32_t flags;
  intptr_t object;
  intptr_t windowNumber;  // -1: the message reached a window that has no runtime number yet
  int32_t type;
  intptr_t data;
  EventDataFreeFn dataFree;
};

// The event library's state block: the queue and the current event.
struct BlockPool;
struct HashMap;
struct EventState {
  BlockPool* nodePool;
  EventNode* queueHead;
  EventNode* queueTail;
  int32_t hold;  // while non-zero, posts without EVENT_POST_FORCE are dropped
  int32_t code;  // current event; 0 when the last take found nothing
  intptr_t windowNumber;
  intptr_t object;  // what Event_Gadget answers
  int32_t type;     // -1 when the last take found nothing
  intptr_t data;
  EventDataFreeFn dataFree;
  HashMap* bindings;
};

void Event_Post(int32_t code, intptr_t object, intptr_t windowNumber, int32_t type, intptr_t data,
                EventDataFreeFn dataFree, uint32_t flags);
// Makes the queue's head the current event and returns its code; 0 when nothing is queued.
int32_t Event_Take();
void Event_Purge(int32_t code, intptr_t object, intptr_t windowNumber, int32_t type);
void Event_PurgeWindow(intptr_t windowNumber);
intptr_t Event_Gadget();
// The menu item or keyboard shortcut of the current EVENT_MENU_ITEM.
intptr_t Event_Menu();
// The current event's window number and type.
intptr_t Event_Window();
int32_t Event_Type();

// Bindings: routines run when a matching event is posted (or, for deferred posts, taken).
// -1 in any of code's companions matches any value. Returns 0 when memory ran out.
int Event_Bind(int32_t code, intptr_t windowNumber, intptr_t object, int32_t type,
               EventBindingFn routine);
void Event_RunBindings(int32_t code, intptr_t windowNumber, intptr_t object, int32_t type);
void Event_UnbindWindow(intptr_t windowNumber);

// Holding: while set, posts without EVENT_POST_FORCE are dropped.
void Event_Hold(int32_t hold);

// The queue alone, without the event window.
void EventQueue_Start();
void EventQueue_End();
const EventState* EventQueue_State();  // read-only view, for tests; null when not started
int32_t EventQueue_Length();
