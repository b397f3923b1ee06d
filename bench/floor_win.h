// The floor: the program's start-up and draw made of nothing but the platform calls the design
// asks for, straight to Win32 and libpng, with none of the runtime in between (no registry, no
// event queue, no string area, no decoder table). What the program spends beyond it is the
// price of its own layers.
#pragma once

#include <windows.h>

#include <stdint.h>

// Start-up: program heap, hidden event window and its message, display DC, AlphaBlend, icon,
// message font, common controls and COM, the 760 x 140 window (centred, or at the top-left
// corner so that it sits beside the program's), the folder check, both placeholders in the
// seven slots, and the button. The current folder holds GFX\. False if a step failed.
bool Floor_Start(HINSTANCE instance, bool centred);
// One draw: its record appended to the floor's own journal, values[0..4] into the ball slots,
// values[5..6] into the star slots, each slot as the program does it (file, decode, new control,
// old control destroyed, paint), then the record flushed and the file closed, as a draw of the
// program does it with its journal.
void Floor_Draw(const int values[7]);
// The floor's journal, %APPDATA%\Tirage Vorellis (floor)\tirages.csv (never the program's),
// and the records the floor has written to it in this process.
const wchar_t* Floor_JournalPath();
uint64_t Floor_JournalRecords();
// Five distinct balls out of 50 and two distinct stars out of 12, from the C library's
// generator (the floor has no generator of its own): what Floor_Draw takes.
void Floor_DrawValues(int values[7]);
// Dispatches every message waiting for the thread.
void Floor_Settle();
HWND Floor_Window();
HWND Floor_Button();
// Set when the button was clicked; cleared by reading it.
bool Floor_TakeClick();
void Floor_End();
