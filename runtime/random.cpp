// The pseudo-random generator (two lagged tables of 17 words, p2 = p1 + 10 mod 17) and the
// in-place Fisher-Yates shuffle of arrays built on it.
#include "runtime/random.h"

#include <string.h>

#include "runtime/memory.h"

namespace {

RandomState state;

uint32_t rotateRight(uint32_t x, int bits) { return (x >> bits) | (x << (32 - bits)); }

uint32_t step(RandomState& s) {
  // Both sums read the tables before either store.
  uint32_t newA = rotateRight(s.b[s.p1], 13) + s.b[s.p2];
  uint32_t newB = rotateRight(s.a[s.p1], 5) + s.a[s.p2];
  s.a[s.p1] = newA;
  s.b[s.p1] = newB;
  if (--s.p1 < 0) s.p1 = 16;
  if (--s.p2 < 0) s.p2 = 16;
  return newA;
}

// The first use of an unseeded generator seeds it from the thread and the clock.
void seedAtFirstUse(RandomState& s) {
  if (!s.seeded) RandomState_Seed(s, GetCurrentThreadId() ^ GetTickCount());
}

uint32_t range(RandomState& s, uint32_t max) {
  seedAtFirstUse(s);
  uint32_t r = step(s);
  if (max == 0xFFFFFFFFu) return r;
  return (uint32_t)(((uint64_t)r * ((uint64_t)max + 1)) >> 32);
}

template <typename T>
void swapAs(char* x, char* y) {
  T t;
  memcpy(&t, x, sizeof(T));
  memcpy(x, y, sizeof(T));
  memcpy(y, &t, sizeof(T));
}

}  // namespace

void RandomState_Seed(RandomState& s, uint32_t seed) {
  s.seeded = 1;
  uint32_t x = seed;
  for (int i = 0; i < 17; i++) {
    x = 1u - x * 0x53A9B4FBu;
    s.b[i] = x;
    x = 1u - x * 0x53A9B4FBu;
    s.a[i] = x;
  }
  s.p1 = 0;
  s.p2 = 10;
  for (int i = 0; i < 31; i++) step(s);
}

void Random_Seed(uint32_t seed) { RandomState_Seed(state, seed); }

uint32_t Random_Range(uint32_t max) { return range(state, max); }

const RandomState& Random_State() { return state; }

namespace {

// The shuffle's loop, one instantiation per element width, drawing its words with the same
// steps as Random_Range: the table indices live in registers for the whole loop and go back
// to the state at the end, so the generator's words and the swaps are exactly those of
// calling Random_Range(i - first) for each i.
template <typename T>
void shuffleElements(RandomState& s, char* base, int32_t first, int32_t last) {
  int32_t p1 = s.p1, p2 = s.p2;
  for (int32_t i = first + 1; i <= last; i++) {
    uint32_t newA = rotateRight(s.b[p1], 13) + s.b[p2];
    uint32_t newB = rotateRight(s.a[p1], 5) + s.a[p2];
    s.a[p1] = newA;
    s.b[p1] = newB;
    p1 = p1 ? p1 - 1 : 16;
    p2 = p2 ? p2 - 1 : 16;
    int32_t j = first + (int32_t)(((uint64_t)newA * (uint64_t)(i - first + 1)) >> 32);
    if (j == i) continue;
    swapAs<T>(base + (size_t)i * sizeof(T), base + (size_t)j * sizeof(T));
  }
  s.p1 = p1;
  s.p2 = p2;
}

void shuffleWithScratch(RandomState& s, char* base, int32_t size, int32_t first, int32_t last) {
  void* scratch = HeapAlloc(g_programHeap, 0, (size_t)size);
  if (!scratch) return;
  for (int32_t i = first + 1; i <= last; i++) {
    int32_t j = first + (int32_t)range(s, (uint32_t)(i - first));
    if (j == i) continue;
    char* x = base + (size_t)i * (size_t)size;
    char* y = base + (size_t)j * (size_t)size;
    memcpy(scratch, x, (size_t)size);
    memcpy(x, y, (size_t)size);
    memcpy(y, scratch, (size_t)size);
  }
  // Elements that hold containers recording their owner's address would be re-pointed here;
  // arrays carry no element description in this runtime, so there is nothing to do.
  HeapFree(g_programHeap, 0, scratch);
}

}  // namespace

void RandomState_ShuffleRange(RandomState& s, void* array, int32_t first, int32_t last) {
  if (!array || first >= last) return;
  const ArrayRecord* record = Array_Record(array);
  // A range outside the array would swap memory that is not the array's: refuse it.
  if (first < 0 || last >= record->count) return;
  int32_t size = record->elementSize;
  if (size <= 0) return;

  char* base = (char*)array;
  bool direct = size == 1 || size == 2 || size == 4 || size == 8;
  if (!direct) return shuffleWithScratch(s, base, size, first, last);
  seedAtFirstUse(s);  // the first draw seeds the generator, as Random_Range would
  switch (size) {
    case 1: shuffleElements<uint8_t>(s, base, first, last); break;
    case 2: shuffleElements<uint16_t>(s, base, first, last); break;
    case 4: shuffleElements<uint32_t>(s, base, first, last); break;
    default: shuffleElements<uint64_t>(s, base, first, last); break;
  }
}

void RandomState_Shuffle(RandomState& s, void* array) {
  if (array) RandomState_ShuffleRange(s, array, 0, Array_Record(array)->count - 1);
}

void Array_ShuffleRange(void* array, int32_t first, int32_t last) {
  RandomState_ShuffleRange(state, array, first, last);
}

void Array_Shuffle(void* array) { RandomState_Shuffle(state, array); }
