// Numbered top-level windows and their procedure.
#pragma once

#include "runtime/platform.h"

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

intptr_t Window_Open(intptr_t number, int32_t x, int32_t y, int32_t innerWidth, int32_t innerHeight,
                     const Char16* title, uint32_t flags);
void Window_Free(intptr_t number);

void WindowLib_Start();
void WindowLib_End();
void Scaling_Start();
