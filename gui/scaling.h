// Desktop scaling: window and gadget coordinates are design units of 96 dots per inch, converted
// to pixels of the resolution the program's window is shown at. The program is DPI-aware (per
// monitor, declared in its manifest), so Windows does not stretch its pixels: it draws them
// itself at the resolution's size. At 96 dpi every conversion is the identity.
#pragma once

#include "runtime/platform.h"

void Scaling_Start();
int32_t Scale_X(int32_t v);
int32_t Scale_Y(int32_t v);
void Scale_Rect(int32_t* x, int32_t* y, int32_t* width, int32_t* height);
int32_t Unscale_X(int32_t v);

// The scale factors, dpi / 96 (1.0 when scaling is off).
double Scaling_FactorX();
double Scaling_FactorY();

// The resolution the conversions use now, horizontally (96 when scaling is off).
int32_t Scaling_Dpi();
// The resolution of the monitor a window is on: GetDpiForWindow where the system has it, else
// the window's device's LOGPIXELSX. 0 when neither can tell.
int32_t Scaling_WindowDpi(HWND window);
// Makes `dpi` the resolution of every conversion from now on (a window moved to a monitor of
// another resolution). A resolution that is not positive is ignored.
void Scaling_Use(int32_t dpi);

namespace scaling_detail {
// Tests choose the switch and a resolution to check the arithmetic, and put back the
// build's own state (scaling on at the desktop's resolution) with reset().
void configure(bool dpiAware, int32_t dpiX, int32_t dpiY);
void reset();
}  // namespace scaling_detail
