// The floor as a program of its own, for the start-up row: started like the draw program, in
// the folder that holds GFX\, it opens its window centred, fills it and waits until it is
// closed. A click on the button draws, from the C library's generator.
#include <stdlib.h>

#include <utility>

#include "bench/floor_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (!Floor_Start(instance, true)) return 1;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    if (!Floor_TakeClick()) continue;
    int values[7], balls[50], stars[12];
    for (int i = 0; i < 50; i++) balls[i] = i;
    for (int i = 0; i < 12; i++) stars[i] = i;
    for (int k = 0; k < 5; k++) std::swap(balls[k], balls[k + rand() % (50 - k)]);
    for (int k = 0; k < 2; k++) std::swap(stars[k], stars[k + rand() % (12 - k)]);
    for (int k = 0; k < 5; k++) values[k] = balls[k];
    for (int k = 0; k < 2; k++) values[5 + k] = stars[k];
    Floor_Draw(values);
  }
  Floor_End();
  return 0;
}
