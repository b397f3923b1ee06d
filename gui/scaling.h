// Desktop scaling: window and gadget coordinates are design units of 96 dots per inch, converted
// to pixels of the resolution each window is shown at. The program is DPI-aware (per monitor,
// declared in its manifest), so Windows does not stretch its pixels: it draws them itself at
// the resolution's size. At 96 dpi every conversion is the identity.
//
// Each runtime window has a resolution of its own: the desktop's when it is opened, then its
// monitor's, changed only by its own WM_DPICHANGED. Two windows on monitors of different scales
// are each right. Scale_X, Scale_Y, Scale_Rect and Unscale_X convert for the window being built:
// the current gadget list (Scaling_Target), or the desktop when there is none.
#pragma once

#include "runtime/platform.h"

// Dots per inch across and down.
struct Resolution {
  int32_t x;
  int32_t y;
};

void Scaling_Start();
int32_t Scale_X(int32_t v);
int32_t Scale_Y(int32_t v);
void Scale_Rect(int32_t* x, int32_t* y, int32_t* width, int32_t* height);
int32_t Unscale_X(int32_t v);

// The one conversion of design units to pixels at `dpi`, rounded to the nearest pixel (MulDiv),
// and its inverse, rounded the same way: at 96 dpi and above it gives back the design value of
// every size the first one made.
int32_t Scaling_ToPixels(int32_t design, int32_t dpi);
int32_t Scaling_ToDesign(int32_t pixels, int32_t dpi);
void Scaling_RectToPixels(Resolution at, int32_t* x, int32_t* y, int32_t* width, int32_t* height);

// The desktop's resolution, which a window is sized at before it exists (96 when scaling is off).
Resolution Scaling_Desktop();
// A runtime window's own resolution (found from any of its children too); the desktop's for a
// window that has none.
Resolution Scaling_Of(HWND window);
// Gives the window its resolution: when it is opened and at its own WM_DPICHANGED. Ignored, and
// false, when scaling is off or a resolution is not positive.
bool Scaling_SetWindow(HWND window, Resolution at);
// The window is being destroyed: its resolution goes with it.
void Scaling_ForgetWindow(HWND window);
// The window Scale_X and the others convert for from now on (null: the desktop).
void Scaling_Target(HWND window);
// The resolution of the monitor a window is on: GetDpiForWindow where the system has it, else
// the window's device's LOGPIXELSX. 0 when neither can tell.
int32_t Scaling_WindowDpi(HWND window);

namespace scaling_detail {
// Tests choose the switch and the desktop's resolution to check the arithmetic, and put back
// the build's own state (scaling on at the desktop's resolution) with reset().
void configure(bool dpiAware, int32_t dpiX, int32_t dpiY);
void reset();
}  // namespace scaling_detail
