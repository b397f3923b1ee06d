// The room's view: the main window full screen on the monitor it is on, for a draw shown to a
// room (a projector, a television, a second screen). The seven pictures go in one row as large
// as the monitor allows, a caption below them names the draw's journal record, the button is
// hidden and any press draws: Space, Enter or a click anywhere. At a pace chosen in the system
// menu ("Dévoilement"), a draw's values then show one at a time in slot order. F11 or Esc gives
// the window back where it was, as it was; started normally, nothing of this shows.
#pragma once

#include "runtime/platform.h"

// Commands (EVENT_MENU_ITEM), multiples of 16 as the system menu wants them.
const uint16_t FULL_SCREEN_TOGGLE = 0x130;  // F11 and "Plein écran" in the system menu
const uint16_t FULL_SCREEN_LEAVE = 0x140;   // Esc, while full screen
const uint16_t FULL_SCREEN_PRESS = 0x150;   // Space, while full screen (the button is hidden)
const uint16_t REVEAL_IMMEDIATE = 0x160;    // "Dévoilement": "Immédiat", then "1 s", "2 s" and
const int32_t REVEAL_PACES = 4;             // "3 s", 16 apart
const intptr_t CAPTION = 10;                // the caption's gadget, while full screen

// F11 and the system menu's items; the reveal pace as the user last chose it.
void FullScreen_Install();
bool FullScreen_On();
void FullScreen_Enter();
void FullScreen_Leave();
// The window moved, or the display changed (DISPLAY_CHANGED: the resolution, the screen's size,
// a monitor gone): full screen, the window covers the monitor it is now on, laid out for it.
void FullScreen_Follow(bool displayChanged);
// A draw was made: full screen, its caption shows and its reveal begins.
void FullScreen_Drawn();
// The full-screen and reveal commands; false for others.
bool FullScreen_Command(intptr_t command);

// The reveal (reveal.cpp). The pace in milliseconds, 0 for "Immédiat".
void Reveal_Install(HMENU menu);
uint32_t Reveal_Pace();
// Shows the draw's first value now and the others at the pace.
void Reveal_Start();
// Whether a draw is being revealed.
bool Reveal_Busy();
// Shows the rest of the draw at once (a press during a reveal).
void Reveal_Finish();
// Ends the reveal without showing anything: the caller shows the draw whole.
void Reveal_Stop();
bool Reveal_Command(intptr_t command);
