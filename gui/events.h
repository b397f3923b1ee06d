// The event queue: window and gadget procedures post events, the program takes them one at a
// time with Event_Wait, which pumps one platform message when nothing is queued.
//
// The queue itself (post, coalesce, take, purge, bindings) needs no window: it lives in
// gui/event_queue.h and EventQueue_Start sets it up alone. EventLib_Start adds the hidden
// "PostEventClass" window through which other threads deliver events with the registered
// message "QZ_PostEventMessage".
#pragma once

#include "gui/event_queue.h"
#include "runtime/platform.h"

int32_t Event_Wait();
int32_t Event_WaitTimeout(int32_t milliseconds);

// Sender side of a post from another thread: fills a record from the program heap and posts
// the registered message to the event window. 0 if the record or the post failed.
int Event_PostFromThread(int32_t code, intptr_t object, intptr_t windowNumber, int32_t type,
                         intptr_t data);
HWND Event_PostWindow();
UINT Event_PostMessageId();

void EventLib_Start();
void EventLib_End();
