// The runtime's pseudo-random generator (two lagged tables of 17 words) and the in-place
// shuffle of arrays built on it.
#pragma once

#include "runtime/platform.h"

struct RandomState {
  int32_t seeded;
  int32_t p1;  // current index into both tables
  int32_t p2;  // lagged index, always p1 + 10 modulo 17
  uint32_t a[17];
  uint32_t b[17];
};

void Random_Seed(uint32_t seed);
uint32_t Random_Range(uint32_t max);  // 0..max inclusive; 0xFFFFFFFF gives the full word
const RandomState& Random_State();    // read-only view, for tests

void Array_ShuffleRange(void* array, int32_t first, int32_t last);
void Array_Shuffle(void* array);

// The same generator and shuffle on a state of the caller's own, for a tool that runs one
// generator per thread. The process-wide generator above is one such state; a state that is
// zeroed is unseeded and seeds itself at its first use, as the process-wide one does.
void RandomState_Seed(RandomState& s, uint32_t seed);
void RandomState_ShuffleRange(RandomState& s, void* array, int32_t first, int32_t last);
void RandomState_Shuffle(RandomState& s, void* array);
