// Keyboard navigation: runtime windows are plain top-level windows, not dialog boxes, so the
// runtime gives them dialog-like keys itself. Tab and Shift+Tab reach the window procedure
// through each window's two-entry accelerator table and move the focus between tab stops.
#pragma once

#include "runtime/platform.h"

// Accelerator commands of every runtime window.
const WORD TAB_NEXT_COMMAND = 64001;
const WORD TAB_PREVIOUS_COMMAND = 64002;

// Whether the key now going through the pump belongs to the focused control as it is: Tab
// typed into an editable rich-edit control, any combination into a shortcut-entry control.
// Shows the cues of the active window when a modifier key is down.
bool Focus_KeepsKeys(HWND active);
// Shows or hides the keyboard focus and accelerator cues of a window.
void Focus_Cues(HWND window, bool show);
// Moves the focus to the next (or previous) tab stop of the active window, wrapping around.
void Focus_Tab(bool backward);
