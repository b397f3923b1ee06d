// The floor as a program of its own, for the start-up row: started like the draw program, in
// the folder that holds GFX\, it opens its window centred, fills it and waits until it is
// closed. A click on the button draws, from the C library's generator.

#include "bench/floor_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (!Floor_Start(instance, true)) return 1;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    if (!Floor_TakeClick()) continue;
    int values[7];
    Floor_DrawValues(values);
    Floor_Draw(values);
  }
  Floor_End();
  return 0;
}
