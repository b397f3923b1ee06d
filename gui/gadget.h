// Gadgets: numbered child controls of runtime windows.
#pragma once

#include "runtime/platform.h"

// Returned by a runtime window or gadget procedure to hand a message on to default processing.
const LRESULT NOT_HANDLED = (LRESULT)(intptr_t)(int32_t)0xD0D0D0D1u;

HWND GadgetList_Use(HWND window);
LRESULT Gadget_ParentMessage(HWND control, HWND parent, UINT message, WPARAM wParam, LPARAM lParam);

intptr_t Gadget_Image(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height, HANDLE image);
intptr_t Gadget_Button(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height, const Char16* text);
void Gadget_Free(intptr_t number);

void GadgetLib_Start();
void GadgetLib_End();
void Controls_Start();
