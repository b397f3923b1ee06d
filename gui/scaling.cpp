// Desktop scaling (see scaling.h). MulDiv rounds the 64-bit product's quotient to the nearest
// integer, which is what keeps neighbouring gadgets from drifting apart by a pixel.
//
// A window's resolution is kept as its "QZ_Dpi" property (across in the low 16 bits, down in
// the high), so that it goes with the window and needs no table of its own.
#include "gui/scaling.h"

#include "runtime/system_library.h"

namespace {

// Build-time switch: the program draws itself at its windows' resolutions.
const int32_t kDpiAware = 1;
const Char16 kDpiProperty[] = TEXT16("QZ_Dpi");

bool g_aware = kDpiAware != 0;
Resolution g_desktop = {96, 96};
HWND g_target;

typedef UINT(WINAPI* GetDpiForWindowFn)(HWND);
FARPROC g_getDpiForWindow;
bool g_lookedForDpiForWindow;

Resolution targetResolution() { return Scaling_Of(g_target); }

void readDesktop() {
  scaling_detail::configure(false, 96, 96);
  if (!kDpiAware) return;
  HDC dc = GetDC(nullptr);
  if (!dc) return;  // keep 96 dpi: better unscaled than scaled by nonsense
  int32_t x = GetDeviceCaps(dc, LOGPIXELSX);
  int32_t y = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  scaling_detail::configure(true, x, y);
}

}  // namespace

void Scaling_Start() {
  g_target = nullptr;
  readDesktop();
}

int32_t Scaling_ToPixels(int32_t design, int32_t dpi) { return MulDiv(design, dpi, 96); }

int32_t Scaling_ToDesign(int32_t pixels, int32_t dpi) {
  return dpi > 0 ? MulDiv(pixels, 96, dpi) : pixels;
}

void Scaling_RectToPixels(Resolution at, int32_t* x, int32_t* y, int32_t* width, int32_t* height) {
  *x = Scaling_ToPixels(*x, at.x);
  *y = Scaling_ToPixels(*y, at.y);
  *width = Scaling_ToPixels(*width, at.x);
  *height = Scaling_ToPixels(*height, at.y);
}

int32_t Scale_X(int32_t v) { return g_aware ? Scaling_ToPixels(v, targetResolution().x) : v; }
int32_t Scale_Y(int32_t v) { return g_aware ? Scaling_ToPixels(v, targetResolution().y) : v; }

void Scale_Rect(int32_t* x, int32_t* y, int32_t* width, int32_t* height) {
  // Whatever the switch: without it every resolution is 96, where MulDiv(v, 96, 96) is v.
  Scaling_RectToPixels(targetResolution(), x, y, width, height);
}

int32_t Unscale_X(int32_t v) { return g_aware ? Scaling_ToDesign(v, targetResolution().x) : v; }

Resolution Scaling_Desktop() { return g_desktop; }

Resolution Scaling_Of(HWND window) {
  if (!g_aware) return g_desktop;
  for (HWND w = window; w; w = GetParent(w)) {
    uintptr_t kept = (uintptr_t)GetPropW(w, kDpiProperty);
    if (kept) return Resolution{(int32_t)(kept & 0xFFFF), (int32_t)((kept >> 16) & 0xFFFF)};
  }
  return g_desktop;
}

bool Scaling_SetWindow(HWND window, Resolution at) {
  if (!g_aware || !window || at.x <= 0 || at.y <= 0 || at.x > 0xFFFF || at.y > 0xFFFF) return false;
  uintptr_t kept = (uint32_t)at.x | (uint32_t)at.y << 16;
  return SetPropW(window, kDpiProperty, (HANDLE)kept) != 0;
}

void Scaling_ForgetWindow(HWND window) {
  RemovePropW(window, kDpiProperty);
  if (g_target == window) g_target = nullptr;
}

void Scaling_Target(HWND window) { g_target = window; }

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

void scaling_detail::configure(bool dpiAware, int32_t dpiX, int32_t dpiY) {
  g_aware = false;
  g_desktop = Resolution{96, 96};
  // A device that reports no resolution would make every size 0: stay unscaled.
  if (!dpiAware || dpiX <= 0 || dpiY <= 0) return;
  g_aware = true;
  g_desktop = Resolution{dpiX, dpiY};
}

void scaling_detail::reset() { readDesktop(); }
