// The faster path to seeded generators for the seed sweep. RandomState_Seed fills the tables
// from the chain x -> 1 - x * 0x53A9B4FB, one multiplication waiting on the last, then runs 31
// steps. Here each table entry is an affine function of the seed, worked out once, and a batch
// of consecutive seeds runs its 31 steps side by side, one lane per seed, in the compiler's
// vector types (SSE2 instructions on every x86 target). What comes out must equal RandomState_Seed
// word for word: the sweep and the unit test compare the two.
#include <string.h>

#include "tools/draw-stats/first_draws.h"

namespace drawstats {

namespace {

constexpr int kWords = 17;
constexpr int kWarmUpSteps = 31;

// The k-th value of the chain from seed s is slope[k] * s + offset[k], k = 0 for the first;
// table B[i] takes value 2i and A[i] value 2i + 1.
struct Chain {
  uint32_t slope[2 * kWords], offset[2 * kWords];
  Chain() {
    uint32_t m = 1, c = 0;
    for (int k = 0; k < 2 * kWords; ++k) {
      m = 0u - m * 0x53A9B4FBu;
      c = 1u - c * 0x53A9B4FBu;
      slope[k] = m;
      offset[k] = c;
    }
  }
};
const Chain kChain;

typedef uint32_t Lanes __attribute__((vector_size(4 * kBatch)));

}  // namespace

void seed_batch(uint32_t first, RandomState states[kBatch]) {
  Lanes seeds;
  for (int l = 0; l < kBatch; ++l) seeds[l] = first + (uint32_t)l;
  Lanes a[kWords], b[kWords];
  for (int i = 0; i < kWords; ++i) {
    b[i] = kChain.slope[2 * i] * seeds + kChain.offset[2 * i];
    a[i] = kChain.slope[2 * i + 1] * seeds + kChain.offset[2 * i + 1];
  }
  int p1 = 0, p2 = 10;
  for (int step = 0; step < kWarmUpSteps; ++step) {
    // Rotations right by 13 and by 5, written out: a function taking or returning a vector
    // would change its calling convention on targets without vector registers.
    Lanes newA = ((b[p1] >> 13) | (b[p1] << 19)) + b[p2];
    Lanes newB = ((a[p1] >> 5) | (a[p1] << 27)) + a[p2];
    a[p1] = newA;
    b[p1] = newB;
    p1 = p1 ? p1 - 1 : 16;
    p2 = p2 ? p2 - 1 : 16;
  }
  for (int l = 0; l < kBatch; ++l) {
    RandomState& s = states[l];
    s.seeded = 1;
    s.p1 = p1;
    s.p2 = p2;
    for (int i = 0; i < kWords; ++i) {
      s.a[i] = a[i][l];
      s.b[i] = b[i][l];
    }
  }
}

}  // namespace drawstats
