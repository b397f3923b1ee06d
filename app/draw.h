// The draw program's state and its two draw procedures.
//
// The entry point (main.cpp) fills the state at start-up; a press of the draw button runs
// Draw_Run, which refills and shuffles both pools, records the draw in the journal, loads the
// picture file of each drawn value into the image that bears the slot's number, and re-creates
// the slot's image gadget around it.
#pragma once

#include "runtime/platform.h"

// What an image slot's gadget is showing.
enum SlotContent : int32_t {
  SLOT_NONE = 0,         // no gadget under the slot's number
  SLOT_PLACEHOLDER = 1,  // the group's placeholder, image 0 or 6
  SLOT_PICTURE = 2,      // the image with the slot's own number: the drawn value's picture,
                         // or its value card when that picture cannot be shown
};

const intptr_t BALL_PLACEHOLDER = 0;  // image "vide.png" of the balls folder
const intptr_t STAR_PLACEHOLDER = 6;  // image "vide.png" of the stars folder
const intptr_t DRAW_BUTTON = 9;
const int32_t SLOT_SPACING = 110;

// Keyboard shortcuts of the main window (EVENT_MENU_ITEM).
const uint16_t SHORTCUT_DRAW = 1;  // Enter
const uint16_t SHORTCUT_COPY = 2;  // Ctrl+C

// Where the slots are shown: each slot's top-left corner in the window's pixels (by gadget
// number), and the resolution the pictures are made at. The window's own row at the window's
// resolution, or, full screen, the room's row as large as the monitor allows.
struct SlotLayout {
  int32_t pictureDpi;  // 0: the window's own row
  POINT at[9];
};

// Process-wide, zero when the entry point begins. The program heap and the module instance
// are the runtime's own variables, g_programHeap and g_instance (runtime/memory.h).
struct ProgramState {
  int32_t event;         // last result of Event_Wait
  intptr_t folderCheck;  // result of the start-up Dir_Examine of the balls folder
  Char16* ballsPath;     // "GFX\Balls\"
  Char16* starsPath;     // "GFX\Stars\"
  int32_t* ballPool;     // 50 values, array of type code 21
  int32_t* starPool;     // 12 values, array of type code 21
  SlotContent slots[9];  // by gadget number; 0, 6 and 9 are not image slots
  int32_t values[9];     // the value each slot was last given by a draw
  bool drawn[9];         // whether it was given one yet
  SlotLayout room;       // the room's layout while full screen; pictureDpi 0 otherwise
  bool revealing;        // draws show their values one at a time (full screen, at a pace)
  int32_t hidden;        // the draw's last slots, in the reveal order, not shown yet
  uint64_t record;       // the last draw's record number in the journal, 0 if not recorded
  SYSTEMTIME drawnAt;    // its local date and time, as recorded
};

extern ProgramState g_program;

// Loads both placeholders and shows in every slot its drawn value, or the placeholder before
// the slot's first draw, at window 0's resolution: at start-up, and again whenever the display
// changed (resolution, font, colours), so that pictures and cards are remade at once for it.
void Slots_Show();
// Shows every slot again at the layout in force (the window's row or the room's), keeping the
// pictures already made at their size: the view changed, not the display.
void Slots_Arrange();
// Shows the next COUNT values of a draw being revealed, in slot order; true while some remain.
bool Slots_Reveal(int32_t count);

// A press of the draw button: five balls out of 0..49 into slots 1-5 and two stars out of 0..11
// into slots 7 and 8, the draw's record appended to the journal before it is shown. While
// draws are revealed, the record is on disk and every slot shows its placeholder when it
// returns: Slots_Reveal shows the values.
void Draw_Run();
// Puts the values on show on the clipboard; does nothing before the first draw, nor before a
// draw is wholly revealed.
void Draw_Copy();
// Hands `bytes` of Unicode text (its terminator included) to the clipboard, which owns the copy.
void Clipboard_SetText(HWND owner, const Char16* text, size_t bytes);
