// The runtime's start and end sequences: every runtime library starts and ends in one fixed
// order, kept in runtime/sequence/lifecycle_win.cpp.
#pragma once

#include <stdint.h>

void Runtime_Start();
void Runtime_End();

// Font library: the font registry (no operation creates a font) and the screen's vertical
// logical pixels per inch, read once. Windows builds only.
void FontLib_Start();
void FontLib_End();
void Font_Free(intptr_t number);
int FontLib_PixelsPerInchY();
struct ObjectRegistry;
ObjectRegistry* FontLib_Registry();  // the font registry, for tests
