// The floor through the soak: the same picture set, the same click on the button and the same
// samples as the program's soak (tests/win/soak_test.cpp), for the floor program alone, so that
// memory growth of the program can be told from the platform's.
//
//   bench_floor_soak [DRAWS]   (default 10000)
//
// Each draw appends its record to the floor's journal (started empty), as the program's soak
// keeps its journal on. Prints one line per sample: the busy bytes of every heap of the process and
// its committed private memory, after 0 and 10 draws and every 1000 (or 100 below 2000 draws).
#include <stdio.h>
#include <stdlib.h>

#include "bench/floor_win.h"
#include "tests/support/pictures.h"
#include "tests/support/soak_win.h"

namespace {

size_t allHeapBytes() {
  HANDLE heaps[64];
  DWORD count = GetProcessHeaps(64, heaps);
  size_t total = 0;
  for (DWORD i = 0; i < count && i < 64; i++) total += soak::busyBytes(heaps[i]);
  return total;
}

void print(int draws) {
  printf("%6d draws: heaps %zu B | private %zu KiB\n", draws, allHeapBytes(),
         soak::committedPrivateBytes() / 1024);
  fflush(stdout);
}

// A click on the button, then the messages until the click has come through: one draw.
bool drawOnce() {
  SendMessageW(Floor_Button(), BM_CLICK, 0, 0);
  Floor_Settle();
  if (!Floor_TakeClick()) return false;
  int values[7];
  Floor_DrawValues(values);
  Floor_Draw(values);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int total = argc > 1 ? atoi(argv[1]) : 10000;
  std::string folder = testpics::tempFolder("floor-soak");
  DeleteFileW(Floor_JournalPath());  // each draw appends to it
  if (!soak::writePictureSet(folder) || !SetCurrentDirectoryA(folder.c_str()) ||
      !Floor_Start(GetModuleHandleW(nullptr), false)) {
    fprintf(stderr, "bench_floor_soak: start-up failed\n");
    return 1;
  }
  Floor_Settle();
  print(0);
  int step = total >= 2000 ? 1000 : 100;
  for (int draw = 1; draw <= total; draw++) {
    if (!drawOnce()) {
      fprintf(stderr, "bench_floor_soak: no click for draw %d\n", draw);
      return 1;
    }
    if (draw == 10 || draw % step == 0 || draw == total) print(draw);
  }
  Floor_End();
  return 0;
}
