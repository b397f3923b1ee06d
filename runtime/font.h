// Font library: the font registry (no operation creates a font) and the screen's vertical
// logical pixels per inch, read once. Windows builds only.
#pragma once

#include <stdint.h>

void FontLib_Start();
void FontLib_End();
void Font_Free(intptr_t number);
int FontLib_PixelsPerInchY();
struct ObjectRegistry;
ObjectRegistry* FontLib_Registry();  // the font registry, for tests
