// The pseudo-random generator (two lagged tables of 17 words, p2 = p1 + 10 mod 17) and the
// in-place Fisher-Yates shuffle of arrays built on it.
#include "runtime/random.h"

#include <string.h>

#include "runtime/memory.h"

namespace {

RandomState state;

uint32_t rotateRight(uint32_t x, int bits) { return (x >> bits) | (x << (32 - bits)); }

uint32_t step() {
  // Both sums read the tables before either store.
  uint32_t newA = rotateRight(state.b[state.p1], 13) + state.b[state.p2];
  uint32_t newB = rotateRight(state.a[state.p1], 5) + state.a[state.p2];
  state.a[state.p1] = newA;
  state.b[state.p1] = newB;
  if (--state.p1 < 0) state.p1 = 16;
  if (--state.p2 < 0) state.p2 = 16;
  return newA;
}

template <typename T>
void swapAs(char* x, char* y) {
  T t;
  memcpy(&t, x, sizeof(T));
  memcpy(x, y, sizeof(T));
  memcpy(y, &t, sizeof(T));
}

}  // namespace

void Random_Seed(uint32_t seed) {
  state.seeded = 1;
  uint32_t s = seed;
  for (int i = 0; i < 17; i++) {
    s = 1u - s * 0x53A9B4FBu;
    state.b[i] = s;
    s = 1u - s * 0x53A9B4FBu;
    state.a[i] = s;
  }
  state.p1 = 0;
  state.p2 = 10;
  for (int i = 0; i < 31; i++) step();
}

uint32_t Random_Range(uint32_t max) {
  if (!state.seeded) Random_Seed(GetCurrentThreadId() ^ GetTickCount());
  uint32_t r = step();
  if (max == 0xFFFFFFFFu) return r;
  return (uint32_t)(((uint64_t)r * ((uint64_t)max + 1)) >> 32);
}

const RandomState& Random_State() { return state; }

void Array_ShuffleRange(void* array, int32_t first, int32_t last) {
  if (!array || first >= last) return;
  const ArrayRecord* record = Array_Record(array);
  // A range outside the array would swap memory that is not the array's: refuse it.
  if (first < 0 || last >= record->count) return;
  int32_t size = record->elementSize;
  if (size <= 0) return;

  bool direct = size == 1 || size == 2 || size == 4 || size == 8;
  void* scratch = nullptr;
  if (!direct) {
    scratch = HeapAlloc(g_programHeap, 0, (size_t)size);
    if (!scratch) return;
  }
  char* base = (char*)array;
  for (int32_t i = first + 1; i <= last; i++) {
    int32_t j = first + (int32_t)Random_Range((uint32_t)(i - first));
    if (j == i) continue;
    char* x = base + (size_t)i * (size_t)size;
    char* y = base + (size_t)j * (size_t)size;
    switch (size) {
      case 1: swapAs<uint8_t>(x, y); break;
      case 2: swapAs<uint16_t>(x, y); break;
      case 4: swapAs<uint32_t>(x, y); break;
      case 8: swapAs<uint64_t>(x, y); break;
      default:
        memcpy(scratch, x, (size_t)size);
        memcpy(x, y, (size_t)size);
        memcpy(y, scratch, (size_t)size);
    }
  }
  // Elements that hold containers recording their owner's address would be re-pointed here;
  // arrays carry no element description in this runtime, so there is nothing to do.
  if (scratch) HeapFree(g_programHeap, 0, scratch);
}

void Array_Shuffle(void* array) {
  if (array) Array_ShuffleRange(array, 0, Array_Record(array)->count - 1);
}
