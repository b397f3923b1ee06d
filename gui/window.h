// Numbered top-level windows and their procedure.
//
// Window_Open makes a window whose client area is exactly the inner size asked for, with a
// class of its own ("WindowClass_<number>"), shows it, gives it the Tab and Shift+Tab
// accelerators and makes it the current gadget list. Window_Procedure turns the messages a
// program cares about into events of the event queue.
#pragma once

#include "gui/scaling.h"
#include "runtime/platform.h"
#include "runtime/registry.h"

const uint32_t WINDOW_SCREEN_CENTERED = 0x1;
const uint32_t WINDOW_OWNER_CENTERED = 0x2;
const uint32_t WINDOW_TOOL_FRAME = 0x4;
const uint32_t WINDOW_KEEP_GADGET_LIST = 0x8;
const uint32_t WINDOW_SYSTEM_MENU = 0xC80000;
const uint32_t WINDOW_SHOW_MAXIMIZED = 0x1000000;
const uint32_t WINDOW_SHOW_NO_ACTIVATE = 0x2000000;
const uint32_t WINDOW_HIDDEN = 0x10000000;
const uint32_t WINDOW_SHOW_MINIMIZED = 0x20000000;
const int32_t WINDOW_DEFAULT_POSITION = -65535;

// Tray-icon notification message.
const UINT WINDOW_TRAY_MESSAGE = 12501;
// Message that the window procedure hands to the gadget that sent it.
const UINT WINDOW_GADGET_MESSAGE = 13120;
// GWL_ID of a control whose WM_COMMAND is a menu item, not a gadget.
const intptr_t WINDOW_MENU_CONTROL_ID = -10000;

// The windows registry's record.
struct WindowRecord {
  HWND windowHandle;    // live mark
  ACCEL* accelEntries;  // the accelerator entries (Tab, Shift+Tab, then any shortcuts added)
  HACCEL accelTable;
  int32_t accelCount;
  int32_t minMaxState;  // 1 while minimised or maximised
  int32_t created;      // 1 once Window_Open is done; move and size events wait for it
  int32_t innerWidth;   // the client size asked for, in design units
  int32_t innerHeight;
};

intptr_t Window_Open(intptr_t number, int32_t x, int32_t y, int32_t innerWidth, int32_t innerHeight,
                     const Char16* title, uint32_t flags);
// The full operation behind Window_Open: the same with an owner window.
intptr_t Window_OpenWithParent(intptr_t number, int32_t x, int32_t y, int32_t innerWidth,
                               int32_t innerHeight, const Char16* title, uint32_t flags,
                               HWND parent);
void Window_Free(intptr_t number);
// Adds a key (a virtual-key code, with FCONTROL, FSHIFT or FALT) to the window's accelerators:
// pressing it while the window is active posts EVENT_MENU_ITEM with `command` (below 64000,
// where the Tab commands are). 1 when added, 0 when the window or memory is missing.
int Window_AddShortcut(intptr_t number, uint8_t modifiers, uint16_t key, uint16_t command);
// Sizes the window so that its client area is the size it was opened with at the window's
// resolution, with the frame it has now (given back after another resolution, say).
void Window_FitClient(intptr_t number);
// Takes the keys that post `command` out of the window's accelerators again. 1 when the table
// was made anew (or had no such key).
int Window_RemoveShortcut(intptr_t number, uint16_t command);
// Adds an item to the window's system menu (after a separator): choosing it posts
// EVENT_MENU_ITEM with `command`, a multiple of 16 below 0xF000 (the system keeps the low four
// bits and the commands above). 1 when added.
int Window_AddMenuItem(intptr_t number, uint16_t command, const Char16* text);
void Window_Center(HWND window, uint32_t flags, HWND parent);
LRESULT CALLBACK Window_Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The window handle of a number; null if no such window is open.
HWND Window_Handle(intptr_t number);
// The accelerator table the pump should translate with for a message while `active` is the
// active window: a runtime window's own, of this process; null when the message must go through
// untranslated.
HACCEL Window_Accelerators(HWND active);

void WindowLib_Start();
void WindowLib_End();

namespace window_detail {
ObjectRegistry* registry();
WindowRecord* record(intptr_t number);
// The number a runtime window carries, or -1 for any other window.
intptr_t numberOf(HWND window);
// The composition frame offset, in pixels (5 with desktop composition, else 0).
int32_t frameOffset();
}  // namespace window_detail
