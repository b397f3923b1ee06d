// What the gadget tests share: the runtime libraries that windows and gadgets stand on, started
// once per test program; window 0 opened for each test; a pump, the events it produced, real
// mouse input through SendInput, test pictures and pixels read back from the screen.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "runtime/platform.h"

namespace gadgettest {

struct Event {
  int32_t code;
  intptr_t object;
  intptr_t window;
  int32_t type;
};

// Starts, in the runtime's order, every library that windows and gadgets use. Once per process.
void startRuntime();

// Dispatches platform messages for the given time (at least one pass).
void pump(int milliseconds = 50);
// Takes every queued runtime event.
std::vector<Event> takeEvents();
// Only the EVENT_GADGET ones.
std::vector<Event> takeGadgetEvents();

// A bottom-up DIB section, as the image loader makes them; pixel(x, y) gives 0xAARRGGBB with
// (0, 0) the top-left pixel (the alpha byte is ignored for 24 bits). Not counted by the runtime.
HBITMAP makePicture(int width, int height, int bitCount,
                    const std::function<uint32_t(int, int)>& pixel);

// Real mouse input at client coordinates of `window`.
void mouseTo(HWND window, int x, int y);
void mouseButton(DWORD flags);  // MOUSEEVENTF_LEFTDOWN and the like
void click(HWND window, int x, int y);

// Colour (0x00RRGGBB) of a pixel as it is on the screen, at client coordinates of `window`.
uint32_t screenPixel(HWND window, int x, int y);
// Colour at client coordinates of `control` as its WM_PRINTCLIENT paints it over `background`.
uint32_t printedPixel(HWND control, int x, int y, uint32_t background);
uint32_t rgbOf(COLORREF colour);

// The control's window rectangle in client coordinates of its parent.
RECT rectInParent(HWND control);
std::vector<HWND> children(HWND window);

class GadgetTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { startRuntime(); }
  void SetUp() override;     // window 0 (760 x 140 client at (0, 0)), in front, as the gadget list
  void TearDown() override;  // frees every gadget and windows 1 to 3, drains events
  HWND window = nullptr;
};

}  // namespace gadgettest
