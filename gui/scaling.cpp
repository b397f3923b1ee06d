// Desktop scaling (see scaling.h). MulDiv rounds the 64-bit product's quotient to the nearest
// integer, which is what keeps neighbouring gadgets from drifting apart by a pixel.
#include "gui/scaling.h"

#include <math.h>

#include "runtime/system_library.h"

namespace {

// Build-time switch: the program draws itself at the desktop's resolution.
const int32_t kDpiAware = 1;

struct ScalingState {
  bool dpiAware = kDpiAware != 0;
  int32_t dpiX = 96;
  int32_t dpiY = 96;
  double scaleX = 1.0;
  double scaleY = 1.0;
};

ScalingState state;

typedef UINT(WINAPI* GetDpiForWindowFn)(HWND);
FARPROC g_getDpiForWindow;
bool g_lookedForDpiForWindow;

}  // namespace

void Scaling_Start() {
  if (!kDpiAware) return;
  HDC dc = GetDC(nullptr);
  if (!dc) return;  // keep 96 dpi: better unscaled than scaled by nonsense
  int32_t x = GetDeviceCaps(dc, LOGPIXELSX);
  int32_t y = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  scaling_detail::configure(true, x, y);
}

int32_t Scale_X(int32_t v) { return state.dpiAware ? MulDiv(v, state.dpiX, 96) : v; }
int32_t Scale_Y(int32_t v) { return state.dpiAware ? MulDiv(v, state.dpiY, 96) : v; }

void Scale_Rect(int32_t* x, int32_t* y, int32_t* width, int32_t* height) {
  // Whatever the switch: at 96 dpi MulDiv(v, 96, 96) is v.
  *x = MulDiv(*x, state.dpiX, 96);
  *y = MulDiv(*y, state.dpiY, 96);
  *width = MulDiv(*width, state.dpiX, 96);
  *height = MulDiv(*height, state.dpiY, 96);
}

int32_t Unscale_X(int32_t v) {
  if (!state.dpiAware) return v;
  return (int32_t)floor(v / state.scaleX + 0.5);
}

double Scaling_FactorX() { return state.scaleX; }
double Scaling_FactorY() { return state.scaleY; }

int32_t Scaling_Dpi() { return state.dpiX; }

int32_t Scaling_WindowDpi(HWND window) {
  GetDpiForWindowFn forWindow = (GetDpiForWindowFn)(void*)System_User32Function(
      "GetDpiForWindow", &g_getDpiForWindow, &g_lookedForDpiForWindow);
  if (forWindow) {
    int32_t dpi = (int32_t)forWindow(window);
    if (dpi > 0) return dpi;
  }
  HDC dc = GetDC(window);
  if (!dc) return 0;
  int32_t dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(window, dc);
  return dpi;
}

void Scaling_Use(int32_t dpi) {
  // Monitors are square-pixelled: one resolution serves both directions.
  if (state.dpiAware && dpi > 0) scaling_detail::configure(true, dpi, dpi);
}

void scaling_detail::configure(bool dpiAware, int32_t dpiX, int32_t dpiY) {
  state = ScalingState();
  state.dpiAware = false;
  // A device that reports no resolution would make every size 0: stay unscaled.
  if (!dpiAware || dpiX <= 0 || dpiY <= 0) return;
  state.dpiAware = true;
  state.dpiX = dpiX;
  state.dpiY = dpiY;
  state.scaleX = dpiX / 96.0;
  state.scaleY = dpiY / 96.0;
}

void scaling_detail::reset() {
  state = ScalingState();
  Scaling_Start();
}
