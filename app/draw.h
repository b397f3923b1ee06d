// The draw program's state and its two draw procedures.
//
// The entry point (main.cpp) fills the state at start-up; a press of the draw button runs
// Draw_Balls and then Draw_Stars, which refill and shuffle a pool, load the picture file of
// each drawn value into the image that bears the slot's number, and re-create the slot's
// image gadget around it.
#pragma once

#include "runtime/platform.h"

struct HashMap;

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
// The largest picture a slot shows, a side: the window is 760 x 140, and a larger picture
// would only cost memory (twice its pixels, with the blending copy) and time to decode.
const int32_t SLOT_PICTURE_MAX_SIDE = 1024;

// Keyboard shortcuts of the main window (EVENT_MENU_ITEM).
const uint16_t SHORTCUT_DRAW = 1;  // Enter
const uint16_t SHORTCUT_COPY = 2;  // Ctrl+C

// Process-wide, zero when the entry point begins. The program heap and the module instance
// are the runtime's own variables, g_programHeap and g_instance (runtime/memory.h).
struct ProgramState {
  int32_t event;          // last result of Event_Wait
  intptr_t folderCheck;   // result of the start-up Dir_Examine of the balls folder
  Char16* ballsPath;      // "GFX\Balls\"
  Char16* starsPath;      // "GFX\Stars\"
  int32_t* ballPool;      // 50 values, array of type code 21
  int32_t* starPool;      // 12 values, array of type code 21
  SlotContent slots[9];   // by gadget number; 0, 6 and 9 are not image slots
  int32_t values[9];      // the value each slot was last given by a draw
  bool drawn[9];          // whether it was given one yet
  HashMap* keptPictures;  // pictures resampled for the resolution, by file name
  int32_t keptBytes;      // their pixels' bytes
};

extern ProgramState g_program;

// Shows the placeholder image in slot `number` at (x, 0), or removes the slot when the
// placeholder is not loaded or the gadget cannot be made.
void Slot_ShowPlaceholder(intptr_t number, int32_t x, intptr_t placeholder);

// Loads the picture of `value` ("N.png"), or the placeholder ("vide.png") when value is null,
// from `folder` into image `number`, at the size it is shown at the window's resolution: above
// 100 % from the best of the files drawn for a scale ("N.scale-200.png"), resampled from that
// file's own pixels. The image's handle, or 0 when no candidate file could be shown (image
// `number` may then hold anything: the caller replaces it).
intptr_t Slot_LoadPicture(intptr_t number, const Char16* folder, const int32_t* value);
// Forgets every picture kept at its resampled size (the resolution changed).
void Slot_ForgetPictures();
// The scale qualifiers tried at a display scale in percent, best first, the plain file (100)
// last; their count.
int32_t Slot_ScaleOrder(int32_t scale, int32_t order[6]);

// Loads both placeholders and shows in every slot its drawn value, or the placeholder before
// the slot's first draw: at start-up, and again whenever the display changed (resolution, font,
// colours), so that pictures and cards are remade at once for it.
void Slots_Show();

// Makes image `number` a card showing `value` on the placeholder image (a plain card without
// one); its handle, or 0 when it cannot be made.
intptr_t Slot_MakeValueCard(intptr_t number, intptr_t placeholder, int32_t value);

void Draw_Balls();
void Draw_Stars();
// Puts the values on show on the clipboard; does nothing before the first draw.
void Draw_Copy();
