// The event queue: window and gadget procedures post events, the program takes them one at a
// time with Event_Wait, which pumps one platform message when nothing is queued.
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
};

const uint32_t EVENT_POST_FORCE = 1;
const uint32_t EVENT_POST_DEFERRED = 2;

typedef void (*EventDataFreeFn)(intptr_t data);

void Event_Post(int32_t code, intptr_t object, intptr_t windowNumber, int32_t type, intptr_t data,
                EventDataFreeFn dataFree, uint32_t flags);
int32_t Event_Take();
void Event_Purge(int32_t code, intptr_t object, intptr_t windowNumber, int32_t type);
void Event_PurgeWindow(intptr_t windowNumber);
void Event_UnbindWindow(intptr_t windowNumber);
int32_t Event_Wait();
int32_t Event_WaitTimeout(int32_t milliseconds);
intptr_t Event_Gadget();

void EventLib_Start();
void EventLib_End();
