// draw-stats' seed sweep: which ticket the first press of the button gives for every seed the
// generator can take, and how evenly the seeds spread over the tickets.
//
// A process seeds its generator once, at the first shuffle, from the thread id XOR the tick
// count, so its first draw is fixed by one 32-bit seed. The draws come from the runtime's own
// seeding, pools and shuffle (one generator state per thread), never from a re-implementation.
#pragma once

#include <stdint.h>

#include <unordered_map>
#include <vector>

#include "runtime/random.h"
#include "tools/draw-stats/stats.h"

namespace drawstats {

constexpr uint32_t kBallSets = 2118760;  // 50 choose 5
constexpr uint32_t kStarSets = 66;       // 12 choose 2
constexpr uint32_t kTickets = kBallSets * kStarSets;

// A ticket's index, 0 to kTickets - 1: the rank of the ball set times 66 plus the rank of the
// star pair, each set ranked in the combinatorial number system (sorted values c1 < c2 < ...,
// rank C(c1, 1) + C(c2, 2) + ...). The values, distinct as a draw's are, may come in any order.
uint32_t ticket_index(const int32_t balls[kBallsDrawn], const int32_t stars[kStarsDrawn]);
// The inverse: the ticket's balls and stars in ascending order.
void ticket_values(uint32_t ticket, int32_t balls[kBallsDrawn], int32_t stars[kStarsDrawn]);

// The first draw of a process whose generator seeds itself with a given seed. Each holds its
// own generator state and its own pools (allocated from the program heap), so each thread of a
// sweep has one.
class FirstDraw {
 public:
  FirstDraw();
  ~FirstDraw();
  FirstDraw(const FirstDraw&) = delete;
  FirstDraw& operator=(const FirstDraw&) = delete;
  bool ready() const { return balls_ && stars_; }  // false when a pool could not be allocated
  uint32_t ticket(uint32_t seed);
  // The same from a generator already seeded (by seed_batch below).
  uint32_t ticket(const RandomState& seeded);

 private:
  uint32_t draw();  // from state_, as the program draws

  RandomState state_;
  void* balls_ = nullptr;  // the pools, arrays of int32_t; each array's owner variable
  void* stars_ = nullptr;
};

// The faster path to seeded generators: the states that RandomState_Seed gives for the seeds
// first, first + 1, ..., first + kBatch - 1 (modulo 2^32), worked out side by side. Seeding is
// a third of a first draw's work, and done lane by lane it vectorises. The sweep checks it
// against RandomState_Seed as it goes.
constexpr int kBatch = 4;
void seed_batch(uint32_t first, RandomState states[kBatch]);

// Seeds per ticket: a byte per ticket, and what goes beyond 255 kept aside, so a ticket that
// many seeds give is counted exactly.
struct TicketCounts {
  std::vector<uint8_t> low;                      // kTickets entries
  std::unordered_map<uint32_t, uint64_t> above;  // count - 255, where low is 255

  TicketCounts() : low(kTickets) {}
  void add(uint32_t ticket) {
    if (low[ticket] != 255) ++low[ticket];
    else ++above[ticket];
  }
  uint64_t count(uint32_t ticket) const;
  void merge(const TicketCounts& other);
};

typedef void (*SweepProgress)(uint64_t done, uint64_t total, double seconds);

struct SeedSweep {
  uint32_t first = 0;
  uint32_t last = 0xFFFFFFFFu;  // inclusive
  int threads = 2;
  uint32_t chunk = 1u << 22;  // seeds a thread takes at a time
  SweepProgress progress = nullptr;
  double progressEvery = 10;  // seconds
};

enum SweepResult {
  kSwept,
  kNoPools,           // the pools could not be allocated: nothing counted
  kSeedingDisagrees,  // seed_batch differed from RandomState_Seed: the counts are worthless
};

// Adds the first draw of every seed from first to last to `counts`, on `threads` threads.
// Needs the program heap. One batch in kCheckEvery is seeded both ways and compared.
constexpr uint32_t kCheckEvery = 64;
SweepResult sweep_first_draws(const SeedSweep& sweep, TicketCounts& counts);

struct SeedSpace {
  uint64_t seeds;  // sum over the tickets
  double mean, variance;
  uint64_t reached;  // tickets that at least one seed gives
  uint64_t least, most;
  uint32_t leastTicket, mostTicket;  // the first ticket with the fewest and with the most seeds
  uint64_t ballSetsReached;
  std::vector<uint64_t> histogram;  // histogram[k]: tickets that exactly k seeds give
  std::vector<double> poisson;      // the same under the Poisson law of the same mean
  // Pearson's test of the histogram against the Poisson law: the tails are pooled into
  // "lowBin or fewer" and "highBin or more" so that every bin expects 5 tickets or more.
  ChiSquare fit;
  int lowBin, highBin;
};

SeedSpace analyse_seed_space(const TicketCounts& counts);

}  // namespace drawstats
