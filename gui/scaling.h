// Desktop scaling: window and gadget coordinates are design units of 96 dots per inch. A
// DPI-aware build converts them to pixels of the desktop's resolution; this program is not
// built DPI-aware, so every conversion is the identity and sizes are exactly what the code says.
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

namespace scaling_detail {
// The DPI-aware switch is fixed at build time; tests turn it on with a chosen resolution to
// check the arithmetic, and off again (resolution back to 96) afterwards.
void configure(bool dpiAware, int32_t dpiX, int32_t dpiY);
}  // namespace scaling_detail
