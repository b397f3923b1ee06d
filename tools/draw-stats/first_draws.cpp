// draw-stats' seed sweep: the first draw from every seed, counted per ticket, and the counts
// set against the Poisson law that seeds thrown at random onto the tickets would follow.
#include "tools/draw-stats/first_draws.h"

#include <math.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "runtime/memory.h"

namespace drawstats {

namespace {

constexpr int kTypeCodeLong = 21;  // the element type code of the program's pools

// choose(n, k) for n < 50 and k <= 5, from Pascal's triangle.
struct Binomials {
  uint32_t c[kBallValues][kBallsDrawn + 1];
  Binomials() {
    for (int n = 0; n < kBallValues; ++n)
      for (int k = 0; k <= kBallsDrawn; ++k)
        c[n][k] = k == 0 ? 1 : n == 0 ? 0 : c[n - 1][k - 1] + c[n - 1][k];
  }
};
const Binomials kChoose;

// Rank of a set of `k` distinct values below 64 in the combinatorial number system, in any
// order: through a bit mask, lowest value first, with no sorting and no data-dependent branch.
uint32_t set_rank(const int32_t* v, int k) {
  uint64_t mask = 0;
  for (int i = 0; i < k; ++i) mask |= 1ull << v[i];
  uint32_t rank = 0;
  for (int i = 1; i <= k; ++i) {
    rank += kChoose.c[__builtin_ctzll(mask)][i];
    mask &= mask - 1;
  }
  return rank;
}

// The set of `k` values of rank `rank`, ascending: the largest value first, each the greatest
// whose binomial still fits.
void set_values(uint32_t rank, int k, int32_t* v) {
  for (int i = k; i >= 1; --i) {
    int c = i - 1;
    while (c + 1 < kBallValues && kChoose.c[c + 1][i] <= rank) ++c;
    v[i - 1] = c;
    rank -= kChoose.c[c][i];
  }
}

struct Shared {
  uint64_t span;
  std::atomic<uint64_t> next{0};
  std::atomic<uint64_t> done{0};
  std::atomic<bool> disagreed{false};
};

// Counts tickets a stretch of counters at a time. The counters are far larger than the caches;
// a ticket first goes into the buffer of its 4 MiB stretch, and a full buffer is counted in one
// go, within memory the caches hold, instead of every seed touching the whole table at random.
class Counter {
 public:
  explicit Counter(TicketCounts& counts) : counts_(counts) {}
  ~Counter() {
    for (uint32_t b = 0; b < kBuckets; ++b) flush(b);
  }
  void add(uint32_t ticket) {
    uint32_t b = ticket >> kStretchBits;
    buffer_[b * kBufferSize + fill_[b]] = ticket;
    if (++fill_[b] == kBufferSize) flush(b);
  }

 private:
  static constexpr int kStretchBits = 22;
  static constexpr uint32_t kBuckets = (kTickets >> kStretchBits) + 1;
  static constexpr uint32_t kBufferSize = 2048;

  void flush(uint32_t b) {
    const uint32_t* tickets = &buffer_[b * kBufferSize];
    for (uint32_t i = 0; i < fill_[b]; ++i) counts_.add(tickets[i]);
    fill_[b] = 0;
  }

  TicketCounts& counts_;
  std::vector<uint32_t> fill_ = std::vector<uint32_t>(kBuckets);
  std::vector<uint32_t> buffer_ = std::vector<uint32_t>(kBuckets * kBufferSize);
};

bool batch_agrees(uint32_t first, const RandomState states[kBatch]) {
  for (int l = 0; l < kBatch; ++l) {
    RandomState real = RandomState();
    RandomState_Seed(real, first + (uint32_t)l);
    if (memcmp(&real, &states[l], sizeof real)) return false;
  }
  return true;
}

// Seeds first + start .. first + end - 1 (offsets in 64 bits: a range that ends at the last
// seed must not wrap round to seed 0), kBatch at a time.
bool sweep_chunk(uint32_t first, uint64_t start, uint64_t end, FirstDraw& draw, Counter& counter) {
  RandomState states[kBatch];
  for (uint64_t k = start; k < end; k += kBatch) {
    uint32_t seed = (uint32_t)(first + k);
    seed_batch(seed, states);
    if ((k / kBatch) % kCheckEvery == 0 && !batch_agrees(seed, states)) return false;
    int lanes = (int)std::min<uint64_t>(kBatch, end - k);
    for (int l = 0; l < lanes; ++l) counter.add(draw.ticket(states[l]));
  }
  return true;
}

void sweep_part(const SeedSweep& sweep, Shared& shared, FirstDraw& draw, TicketCounts& counts) {
  uint64_t chunk = std::max<uint32_t>(sweep.chunk, 1);
  Counter counter(counts);
  for (;;) {
    uint64_t start = shared.next.fetch_add(chunk);
    if (start >= shared.span) return;
    uint64_t end = std::min(start + chunk, shared.span);
    if (!sweep_chunk(sweep.first, start, end, draw, counter)) {
      shared.disagreed = true;
      shared.next = shared.span;  // stops every worker
      shared.done = shared.span;
      return;
    }
    shared.done += end - start;
  }
}

void wait_with_progress(const SeedSweep& sweep, Shared& shared) {
  auto start = std::chrono::steady_clock::now();
  double reported = 0;
  while (shared.done.load() < shared.span) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (sweep.progress && seconds - reported >= sweep.progressEvery) {
      sweep.progress(shared.done.load(), shared.span, seconds);
      reported = seconds;
    }
  }
}

}  // namespace

uint32_t ticket_index(const int32_t balls[kBallsDrawn], const int32_t stars[kStarsDrawn]) {
  return set_rank(balls, kBallsDrawn) * kStarSets + set_rank(stars, kStarsDrawn);
}

void ticket_values(uint32_t ticket, int32_t balls[kBallsDrawn], int32_t stars[kStarsDrawn]) {
  set_values(ticket / kStarSets, kBallsDrawn, balls);
  set_values(ticket % kStarSets, kStarsDrawn, stars);
}

FirstDraw::FirstDraw() : state_() {
  // The pools as the program holds them: arrays of signed 32-bit elements, type code 21. An
  // array records its owner variable and clears it when freed: the owners are the members.
  if (!Array_Allocate(4, kBallValues, kTypeCodeLong, 0, &balls_)) return;
  if (!Array_Allocate(4, kStarValues, kTypeCodeLong, 0, &stars_)) Array_Free(balls_);
}

FirstDraw::~FirstDraw() {
  if (stars_) Array_Free(stars_);
  if (balls_) Array_Free(balls_);
}

uint32_t FirstDraw::ticket(uint32_t seed) {
  // The program's first press: the ball shuffle seeds the generator, then the star shuffle.
  RandomState_Seed(state_, seed);
  return draw();
}

uint32_t FirstDraw::ticket(const RandomState& seeded) {
  state_ = seeded;
  return draw();
}

uint32_t FirstDraw::draw() {
  int32_t* balls = (int32_t*)balls_;
  int32_t* stars = (int32_t*)stars_;
  for (int32_t i = 0; i < kBallValues; ++i) balls[i] = i;
  RandomState_Shuffle(state_, balls);
  for (int32_t i = 0; i < kStarValues; ++i) stars[i] = i;
  RandomState_Shuffle(state_, stars);
  return ticket_index(balls, stars);
}

uint64_t TicketCounts::count(uint32_t ticket) const {
  if (low[ticket] != 255) return low[ticket];
  auto extra = above.find(ticket);
  return 255 + (extra == above.end() ? 0 : extra->second);
}

void TicketCounts::merge(const TicketCounts& other) {
  static_assert(kTickets % 8 == 0, "the counters are read eight at a time");
  for (uint32_t t = 0; t < kTickets; t += 8) {
    uint64_t eight;
    memcpy(&eight, &other.low[t], 8);
    if (eight == 0) continue;  // the common case in a short sweep
    for (uint32_t u = t; u < t + 8; ++u) {
      unsigned sum = low[u] + other.low[u];
      if (sum <= 255) {
        low[u] = (uint8_t)sum;
      } else {
        low[u] = 255;
        above[u] += sum - 255;
      }
    }
  }
  for (const auto& extra : other.above) above[extra.first] += extra.second;
}

SweepResult sweep_first_draws(const SeedSweep& sweep, TicketCounts& counts) {
  int threads = std::max(sweep.threads, 1);
  // Pools and counts are made here, on the calling thread, before any worker starts.
  std::vector<std::unique_ptr<FirstDraw>> draws;
  for (int i = 0; i < threads; ++i) {
    draws.emplace_back(new FirstDraw());
    if (!draws.back()->ready()) return kNoPools;
  }
  std::vector<std::unique_ptr<TicketCounts>> parts;
  for (int i = 1; i < threads; ++i) parts.emplace_back(new TicketCounts());

  Shared shared;
  shared.span = sweep.first <= sweep.last ? (uint64_t)sweep.last - sweep.first + 1 : 0;
  std::vector<std::thread> workers;
  for (int i = 0; i < threads; ++i) {
    TicketCounts& target = i == 0 ? counts : *parts[i - 1];
    workers.emplace_back(sweep_part, std::cref(sweep), std::ref(shared), std::ref(*draws[i]),
                         std::ref(target));
  }
  wait_with_progress(sweep, shared);
  for (std::thread& worker : workers) worker.join();
  for (const auto& part : parts) counts.merge(*part);
  return shared.disagreed ? kSeedingDisagrees : kSwept;
}

namespace {

// The Poisson law of mean `mean` over `tickets` tickets: expected tickets with k seeds.
std::vector<double> poisson_law(double mean, size_t bins) {
  std::vector<double> expected(bins);
  for (size_t k = 0; k < bins; ++k)
    expected[k] = mean > 0 ? kTickets * exp(-mean + k * log(mean) - lgamma(k + 1.0))
                           : (k == 0 ? kTickets : 0);
  return expected;
}

// Pools each tail into one bin expecting 5 or more and runs Pearson's test. Degrees of
// freedom: bins - 2, as the number of tickets and the number of seeds (so the mean) are fixed.
void poisson_fit(SeedSpace& s) {
  const std::vector<double>& e = s.poisson;
  int last = (int)e.size() - 1;
  double below = 0;
  int low = 0;
  for (; low < last; ++low) {
    below += e[low];
    if (below >= 5) break;
  }
  int high = last;
  double above = kTickets;
  for (int k = 0; k <= last; ++k) above -= e[k];
  while (high > low + 1 && above + e[high] < 5) above += e[high--];
  above += e[high];  // expected tickets with `high` seeds or more

  uint64_t observedBelow = 0, observedAbove = 0;
  for (int k = 0; k <= last; ++k) {
    if (k <= low) observedBelow += s.histogram[k];
    if (k >= high) observedAbove += s.histogram[k];
  }
  double sum = (observedBelow - below) * (observedBelow - below) / below +
               (observedAbove - above) * (observedAbove - above) / above;
  for (int k = low + 1; k < high; ++k)
    sum += (s.histogram[k] - e[k]) * (s.histogram[k] - e[k]) / e[k];
  s.lowBin = low;
  s.highBin = high;
  s.fit.statistic = sum;
  s.fit.df = std::max(high - low + 1 - 2, 0);
  s.fit.p = chi_square_p(sum, s.fit.df);
}

}  // namespace

SeedSpace analyse_seed_space(const TicketCounts& counts) {
  SeedSpace s = SeedSpace();
  s.least = UINT64_MAX;
  uint64_t squares = 0;
  for (uint32_t set = 0; set < kBallSets; ++set) {
    bool setReached = false;
    for (uint32_t t = set * kStarSets; t < (set + 1) * kStarSets; ++t) {
      uint64_t n = counts.count(t);
      if (n >= s.histogram.size()) s.histogram.resize(n + 1);
      ++s.histogram[n];
      s.seeds += n;
      squares += n * n;
      setReached |= n > 0;
      if (n < s.least) s.least = n, s.leastTicket = t;
      if (n > s.most) s.most = n, s.mostTicket = t;
    }
    s.ballSetsReached += setReached;
  }
  s.reached = kTickets - s.histogram[0];
  s.mean = (double)s.seeds / kTickets;
  s.variance = (double)squares / kTickets - s.mean * s.mean;
  // Beyond the observed end, so that the upper tail is taken from the law, not cut at `most`.
  s.histogram.resize(std::max<size_t>(s.histogram.size() + 1, 2));
  s.poisson = poisson_law(s.mean, s.histogram.size());
  poisson_fit(s);
  return s;
}

}  // namespace drawstats
