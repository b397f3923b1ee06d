// The fairness tool's statistics and its draws: p-values against closed forms worked out
// independently, the draws against a reference model of the generator and the shuffle written
// here from the algorithm, counts pinned for a fixed seed, and the seed sweep's first draws
// against tickets worked out by a separate program.
#include <math.h>
#include <string.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "runtime/random.h"
#include "tests/support/pictures.h"
#include "tests/support/runtime_fixture.h"
#include "tools/draw-stats/first_draws.h"
#include "tools/draw-stats/first_draws_report.h"
#include "tools/draw-stats/options.h"
#include "tools/draw-stats/stats.h"
#include "tools/draw-stats/verify.h"

using namespace drawstats;

namespace {

// Q(a, x) for a = 1/2, 1, 3/2, ... by the recurrence Q(a + 1, x) = Q(a, x) + x^a e^-x / G(a + 1),
// from Q(1/2, x) = erfc(sqrt x) and Q(1, x) = e^-x: no series and no continued fraction.
double closed_form_p(double chi2, int df) {
  double x = chi2 / 2;
  double a = df % 2 ? 0.5 : 1.0;
  double q = df % 2 ? erfc(sqrt(x)) : exp(-x);
  for (; a < df / 2.0; a += 1.0) q += exp(a * log(x) - x - lgamma(a + 1));
  return q;
}

TEST(DrawStatsChiSquare, MatchesClosedFormsAndTables) {
  // Tables: the 5% points of chi-square with 1, 10, 49 and 100 degrees of freedom.
  EXPECT_NEAR(chi_square_p(3.841459, 1), 0.05, 1e-6);
  EXPECT_NEAR(chi_square_p(3.84, 1), 0.05004, 1e-5);
  EXPECT_NEAR(chi_square_p(18.307, 10), 0.05, 1e-4);
  EXPECT_NEAR(chi_square_p(66.339, 49), 0.05, 1e-4);
  EXPECT_NEAR(chi_square_p(124.342, 100), 0.05, 1e-4);
  // Both methods (series below a + 1, continued fraction above), small and large df, far tails.
  const int dfs[] = {1, 2, 3, 11, 49, 65, 196, 1224};
  const double ratios[] = {0.05, 0.5, 0.9, 1.0, 1.1, 1.5, 3.0};
  for (int df : dfs)
    for (double r : ratios) {
      double chi2 = r * df + (r > 1 ? 4 * sqrt(2.0 * df) * (r - 1) : 0);
      double expected = closed_form_p(chi2, df);
      EXPECT_NEAR(chi_square_p(chi2, df) / expected, 1.0, 1e-8) << "df " << df << " chi2 " << chi2;
    }
}

TEST(DrawStatsChiSquare, Limits) {
  EXPECT_EQ(chi_square_p(0, 5), 1.0);
  EXPECT_EQ(chi_square_p(-3, 5), 1.0);
  EXPECT_EQ(chi_square_p(INFINITY, 5), 0.0);
  EXPECT_TRUE(isnan(chi_square_p(1, 0)));
  EXPECT_TRUE(isnan(chi_square_p(NAN, 3)));
  EXPECT_LT(chi_square_p(2000, 49), 1e-300);
  EXPECT_GE(chi_square_p(2000, 49), 0.0);
  // Strictly decreasing across the switch between the two methods.
  double last = 1.0;
  for (double x = 40; x < 60; x += 0.25) {
    double p = chi_square_p(x, 98);  // a = 49, switch at x = 100 ... and around x/2 = 50
    EXPECT_LT(p, last) << x;
    last = p;
  }
  last = 1.0;
  for (double x = 90; x < 110; x += 0.25) {
    double p = chi_square_p(x, 98);
    EXPECT_LT(p, last) << x;
    last = p;
  }
}

TEST(DrawStatsChiSquare, PearsonSumsWorkedByHand) {
  const uint64_t counts[] = {10, 20, 30};
  ChiSquare c = uniformity(counts, 3, 1.0);  // (100 + 0 + 100) / 20
  EXPECT_DOUBLE_EQ(c.statistic, 10.0);
  EXPECT_EQ(c.df, 2);
  EXPECT_NEAR(c.p, exp(-5.0), 1e-12);
  EXPECT_DOUBLE_EQ(uniformity(counts, 3, 0.5).statistic, 5.0);

  // Rows 30 and 70, columns 40 and 60: expected 12, 18, 28, 42.
  const uint64_t table[] = {10, 20, 30, 40};
  c = independence(table, 2, 2, 1.0);
  EXPECT_NEAR(c.statistic, 4.0 / 12 + 4.0 / 18 + 4.0 / 28 + 4.0 / 42, 1e-12);
  EXPECT_EQ(c.df, 1);
  // An empty row carries no information and costs its degrees of freedom.
  const uint64_t withEmptyRow[] = {10, 20, 0, 0, 30, 40};
  ChiSquare d = independence(withEmptyRow, 3, 2, 1.0);
  EXPECT_DOUBLE_EQ(d.statistic, c.statistic);
  EXPECT_EQ(d.df, 1);
  // A grossly uneven table is caught.
  const uint64_t skewed[] = {900, 100, 100, 900};
  EXPECT_LT(independence(skewed, 2, 2, 1.0).p, 1e-100);
}

// The generator and the forward Fisher-Yates shuffle, written from the algorithm.
struct ReferenceGenerator {
  uint32_t a[17], b[17];
  int p1 = 0, p2 = 10;
  explicit ReferenceGenerator(uint32_t s) {
    for (int i = 0; i < 17; ++i) {
      s = 1 - s * 1403630843u;
      b[i] = s;
      s = 1 - s * 1403630843u;
      a[i] = s;
    }
    for (int i = 0; i < 31; ++i) next();
  }
  uint32_t next() {
    uint32_t na = ((b[p1] >> 13) | (b[p1] << 19)) + b[p2];
    uint32_t nb = ((a[p1] >> 5) | (a[p1] << 27)) + a[p2];
    a[p1] = na;
    b[p1] = nb;
    p1 = p1 == 0 ? 16 : p1 - 1;
    p2 = p2 == 0 ? 16 : p2 - 1;
    return na;
  }
  void shuffle(int* values, int n) {
    for (int i = 1; i < n; ++i) {
      int j = (int)(((uint64_t)next() * (uint64_t)(i + 1)) >> 32);
      int t = values[i];
      values[i] = values[j];
      values[j] = t;
    }
  }
};

void reference_tally(uint32_t seed, uint64_t draws, Tally& t) {
  ReferenceGenerator g(seed);
  memset(&t, 0, sizeof t);
  for (uint64_t d = 0; d < draws; ++d) {
    int balls[kBallValues], stars[kStarValues];
    for (int i = 0; i < kBallValues; ++i) balls[i] = i;
    g.shuffle(balls, kBallValues);
    for (int i = 0; i < kStarValues; ++i) stars[i] = i;
    g.shuffle(stars, kStarValues);
    for (int s = 0; s < kBallsDrawn; ++s) ++t.ballSlot[balls[s]][s];
    for (int s = 0; s < kStarsDrawn; ++s) ++t.starSlot[stars[s]][s];
    ++t.ballPair[std::min(balls[0], balls[1])][std::max(balls[0], balls[1])];
    ++t.starPair[std::min(stars[0], stars[1])][std::max(stars[0], stars[1])];
  }
  t.draws = draws;
}

class DrawStatsDraws : public RuntimeCoreTest {
 protected:
  // Tallies are large; keep them off the stack.
  std::vector<Tally> tallies = std::vector<Tally>(3);
  void SetUp() override {
    RuntimeCoreTest::SetUp();
    memset(tallies.data(), 0, sizeof(Tally) * tallies.size());
  }
};

TEST_F(DrawStatsDraws, FirstDrawMatchesTheWorkedShuffle) {
  // After seed 0 the whole 50-element shuffle begins 33, 16, 9, 8, 6.
  Random_Seed(0);
  Tally& t = tallies[0];
  ASSERT_TRUE(tally_draws(1, t));
  const int first[kBallsDrawn] = {33, 16, 9, 8, 6};
  for (int s = 0; s < kBallsDrawn; ++s) EXPECT_EQ(t.ballSlot[first[s]][s], 1u) << "slot " << s;
  EXPECT_EQ(t.ballPair[16][33], 1u);
  EXPECT_EQ(t.draws, 1u);
}

TEST_F(DrawStatsDraws, DrawsAsTheReferenceModel) {
  for (uint32_t seed : {1u, 0xDEADBEEFu}) {
    Random_Seed(seed);
    ASSERT_TRUE(tally_draws(3000, tallies[0]));
    reference_tally(seed, 3000, tallies[1]);
    EXPECT_EQ(memcmp(&tallies[0], &tallies[1], sizeof(Tally)), 0) << "seed " << seed;
    memset(&tallies[0], 0, sizeof(Tally));
  }
}

TEST_F(DrawStatsDraws, FixedSeedCountsArePinned) {
  // 1000 draws after seed 1, as a separate model of the generator worked them out; any change to
  // the generator, the shuffle or the order of the two shuffles moves these.
  const uint64_t balls[kBallValues] = {
      108, 89,  107, 83,  108, 89,  97,  97, 106, 97,  95,  105, 107, 90,  93, 105, 96,
      120, 112, 108, 106, 114, 107, 102, 96, 99,  110, 103, 98,  110, 108, 95, 94,  93,
      96,  119, 99,  90,  97,  89,  81,  74, 91,  106, 106, 103, 107, 100, 97, 98};
  const uint64_t stars[kStarValues] = {146, 186, 167, 196, 166, 152, 169, 174, 165, 168, 168, 143};
  Random_Seed(1);
  ASSERT_TRUE(tally_draws(1000, tallies[0]));
  Analysis a = analyse(tallies[0]);
  for (int v = 0; v < kBallValues; ++v) EXPECT_EQ(a.ballCount[v], balls[v]) << "ball " << v;
  for (int v = 0; v < kStarValues; ++v) EXPECT_EQ(a.starCount[v], stars[v]) << "star " << v;
}

TEST_F(DrawStatsDraws, SameSeedSameCountsAndRunsContinue) {
  Random_Seed(7);
  ASSERT_TRUE(tally_draws(500, tallies[0]));
  Random_Seed(7);
  ASSERT_TRUE(tally_draws(500, tallies[1]));
  EXPECT_EQ(memcmp(&tallies[0], &tallies[1], sizeof(Tally)), 0);

  // Two runs in a row continue the sequence: 200 then 300 draws are the 500 draws.
  Random_Seed(7);
  ASSERT_TRUE(tally_draws(200, tallies[2]));
  ASSERT_TRUE(tally_draws(300, tallies[2]));
  EXPECT_EQ(memcmp(&tallies[0], &tallies[2], sizeof(Tally)), 0);

  Random_Seed(8);
  memset(&tallies[1], 0, sizeof(Tally));
  ASSERT_TRUE(tally_draws(500, tallies[1]));
  EXPECT_NE(memcmp(&tallies[0], &tallies[1], sizeof(Tally)), 0);
}

TEST_F(DrawStatsDraws, EveryDrawIsDistinctValuesInEverySlot) {
  Random_Seed(3);
  Tally& t = tallies[0];
  ASSERT_TRUE(tally_draws(2000, t));
  Analysis a = analyse(t);
  uint64_t balls = 0, stars = 0, starPairs = 0;
  for (int v = 0; v < kBallValues; ++v) {
    balls += a.ballCount[v];
    EXPECT_EQ(t.ballPair[v][v], 0u);
  }
  for (int v = 0; v < kStarValues; ++v) {
    stars += a.starCount[v];
    EXPECT_EQ(t.starPair[v][v], 0u);
    for (int w = 0; w < kStarValues; ++w) starPairs += t.starPair[v][w];
  }
  EXPECT_EQ(balls, 2000u * kBallsDrawn);
  EXPECT_EQ(stars, 2000u * kStarsDrawn);
  EXPECT_EQ(starPairs, 2000u);
  for (int s = 0; s < kBallsDrawn; ++s) {
    uint64_t slot = 0;
    for (int v = 0; v < kBallValues; ++v) slot += t.ballSlot[v][s];
    EXPECT_EQ(slot, 2000u);
  }
}

TEST_F(DrawStatsDraws, CorrectedStatisticsHaveTheirDegreesOfFreedomAsMean) {
  // Over many short independent runs a chi-square statistic averages its degrees of freedom.
  // Uncorrected, the all-slot star statistic would average 10 and the star position one 12,
  // and the all-slot ball statistic 45: each far outside four standard errors.
  const int runs = 2000;
  double sum[3] = {};
  Random_Seed(11);
  for (int r = 0; r < runs; ++r) {
    memset(&tallies[0], 0, sizeof(Tally));
    ASSERT_TRUE(tally_draws(200, tallies[0]));
    Analysis a = analyse(tallies[0]);
    sum[0] += a.stars.statistic;
    sum[1] += a.starPosition.statistic;
    sum[2] += a.balls.statistic;
  }
  const double df[3] = {11, 11, 49};
  for (int i = 0; i < 3; ++i)
    EXPECT_NEAR(sum[i] / runs, df[i], 4 * sqrt(2 * df[i] / runs)) << "statistic " << i;
}

// The first press after each seed, as a separate program (a few lines of Python written from the
// generator's definition: the seeding, 31 steps, a forward Fisher-Yates shuffle of 0..49, then of
// 0..11) worked it out: balls and stars in drawn order, and the ticket's index, which it also
// checked against the ticket's position in a list of all ball sets in colex order times 66.
struct WorkedFirstDraw {
  uint32_t seed;
  int32_t balls[kBallsDrawn];
  int32_t stars[kStarsDrawn];
  uint32_t ticket;
};
const WorkedFirstDraw kWorkedFirstDraws[] = {
    {0x00000000u, {33, 16, 9, 8, 6}, {11, 1}, 15792140u},
    {0x00000001u, {6, 25, 27, 0, 44}, {6, 11}, 72987679u},
    {0x00000002u, {32, 8, 20, 35, 41}, {9, 2}, 53256494u},
    {0x00000003u, {35, 23, 48, 2, 31}, {2, 8}, 116781354u},
    {0x00000004u, {35, 33, 24, 0, 6}, {10, 1}, 24261052u},
    {0x00000005u, {28, 35, 32, 2, 1}, {7, 10}, 24015472u},
    {0x00000006u, {2, 12, 42, 39, 49}, {7, 10}, 133849438u},
    {0x00000007u, {17, 24, 23, 34, 36}, {0, 7}, 28093713u},
    {0x12345678u, {43, 16, 34, 17, 19}, {9, 3}, 66666309u},
    {0x80000000u, {46, 36, 37, 47, 49}, {9, 2}, 138674684u},
    {0xDEADBEEFu, {21, 14, 13, 33, 6}, {0, 1}, 16088754u},
    {0xFFFFFFF8u, {36, 35, 5, 12, 23}, {4, 9}, 28458844u},
    {0xFFFFFFF9u, {35, 37, 24, 8, 48}, {7, 8}, 117821783u},
    {0xFFFFFFFAu, {28, 29, 44, 40, 5}, {9, 4}, 77974750u},
    {0xFFFFFFFBu, {7, 17, 31, 29, 22}, {7, 9}, 12892813u},
    {0xFFFFFFFCu, {41, 43, 0, 28, 30}, {7, 8}, 70508231u},
    {0xFFFFFFFDu, {19, 30, 41, 21, 33}, {4, 9}, 52444102u},
    {0xFFFFFFFEu, {19, 4, 1, 16, 28}, {9, 6}, 6779760u},
    {0xFFFFFFFFu, {9, 42, 41, 5, 4}, {9, 0}, 62834412u},
};

TEST_F(DrawStatsDraws, FirstDrawOfEachSeedIsTheWorkedTicket) {
  FirstDraw draw;
  ASSERT_TRUE(draw.ready());
  for (const WorkedFirstDraw& w : kWorkedFirstDraws) {
    EXPECT_EQ(draw.ticket(w.seed), w.ticket) << std::hex << w.seed;
    EXPECT_EQ(ticket_index(w.balls, w.stars), w.ticket) << std::hex << w.seed;
    int32_t balls[kBallsDrawn], stars[kStarsDrawn];
    ticket_values(w.ticket, balls, stars);
    EXPECT_TRUE(std::is_permutation(balls, balls + kBallsDrawn, w.balls)) << std::hex << w.seed;
    EXPECT_TRUE(std::is_permutation(stars, stars + kStarsDrawn, w.stars)) << std::hex << w.seed;
  }
}

TEST_F(DrawStatsDraws, SweepOfTheFirstAndLastSeedsCountsTheWorkedTickets) {
  // Two threads taking three seeds at a time, so batches start mid-chunk and both threads'
  // counts are merged; the second range ends at the last seed.
  std::unique_ptr<TicketCounts> counts(new TicketCounts());
  // Seed 0x80000000 gives a ticket of the last stretch of counters (from 138,412,032 on).
  const uint32_t ranges[][2] = {{0, 7}, {0x80000000u, 0x80000000u}, {0xFFFFFFF8u, 0xFFFFFFFFu}};
  for (const auto& range : ranges) {
    SeedSweep sweep;
    sweep.first = range[0];
    sweep.last = range[1];
    sweep.chunk = 3;
    ASSERT_EQ(sweep_first_draws(sweep, *counts), kSwept);
  }
  for (const WorkedFirstDraw& w : kWorkedFirstDraws) {
    bool swept = w.seed <= 7 || w.seed >= 0xFFFFFFF8u || w.seed == 0x80000000u;
    EXPECT_EQ(counts->count(w.ticket), swept ? 1u : 0u) << std::hex << w.seed;
  }
  SeedSpace space = analyse_seed_space(*counts);
  EXPECT_EQ(space.seeds, 17u);
  EXPECT_EQ(space.reached, 17u);
  EXPECT_EQ(space.ballSetsReached, 17u);
  EXPECT_EQ(space.least, 0u);
  EXPECT_EQ(space.most, 1u);
}

TEST(DrawStatsTicketCounts, CountsPastOneByteAndMergesExactly) {
  // Past one byte on this side, on the other side, on both.
  std::unique_ptr<TicketCounts> a(new TicketCounts()), b(new TicketCounts());
  const uint32_t tickets[][3] = {{7, 300, 200}, {9, 100, 300}, {10, 400, 300}, {11, 255, 0}};
  for (const auto& t : tickets) {
    for (uint32_t i = 0; i < t[1]; ++i) a->add(t[0]);
    for (uint32_t i = 0; i < t[2]; ++i) b->add(t[0]);
  }
  b->add(kTickets - 1);
  a->merge(*b);
  for (const auto& t : tickets) EXPECT_EQ(a->count(t[0]), t[1] + t[2]) << t[0];
  EXPECT_EQ(a->count(kTickets - 1), 1u);
  EXPECT_EQ(a->count(8), 0u);
}

TEST(DrawStatsTicketCounts, PoissonFitPoolsBothTails) {
  // Tickets spread over the seed counts as the Poisson law of mean 20 spreads them, rounded, the
  // rest at 20. Worked out separately: 0 and 1 seeds pooled (the law expects 0.29 and 5.8
  // tickets), 48 or more pooled (10.9 tickets; 11 observed), so 48 bins and 46 degrees of freedom.
  std::unique_ptr<TicketCounts> counts(new TicketCounts());
  uint32_t t = 0;
  for (int k = 0; k < 60; ++k) {
    double expected = kTickets * exp(k * log(20.0) - 20 - lgamma(k + 1.0));
    uint32_t n = k == 20 ? 0 : (uint32_t)llround(expected);
    memset(&counts->low[t], k, n);
    t += n;
  }
  memset(&counts->low[t], 20, kTickets - t);
  SeedSpace s = analyse_seed_space(*counts);
  EXPECT_EQ(s.lowBin, 1);
  EXPECT_EQ(s.highBin, 48);
  EXPECT_EQ(s.fit.df, 46);
  EXPECT_NEAR(s.fit.statistic, 0.01151394499972738, 1e-8);
  // The runs laid down above: 1 seed first (tickets 0 to 5), the one ticket with 50 last but
  // for the rest at 20.
  EXPECT_EQ(s.least * 1000 + s.leastTicket, 1000u);
  EXPECT_EQ(s.most, 50u);
  EXPECT_EQ(s.mostTicket, 127415595u);
  EXPECT_EQ(s.ballSetsReached, kBallSets);
  EXPECT_NEAR(s.variance, 20.0000044, 1e-6);

  // The report gives the same figures, the tickets by their numbers.
  std::string path = testpics::tempFolder("first_draws") + "first-draws.md";
  ASSERT_TRUE(write_first_draws_report(path, SeedSweep(), s, SweepTimes{2, 3}));
  std::ifstream file(path);
  std::string report((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  for (const char* line :
       {"| Fewest seeds | 1 (first such ticket: 0 1 2 3 4, stars 0 1) |",
        "| Most seeds | 50 (first such ticket: 2 23 27 28 49, stars 0 7) |",
        "| Ball sets a first press can give | 2,118,760 of 2,118,760 |", "df 46, p ",
        "pools 1 or fewer seeds into one bin and 48 or more into another", "| 1 | 6 | 5.8 |"})
    EXPECT_NE(report.find(line), std::string::npos) << line;
}

#ifndef _WIN32
TEST_F(DrawStatsDraws, FailedPoolAllocationCountsNothingAndLeavesNothing) {
  size_t blocks = Host_HeapBlockCount(g_programHeap);
  for (long k = 1; k <= 2; ++k) {
    Host_FailAllocation(k);
    EXPECT_FALSE(tally_draws(10, tallies[0])) << "allocation " << k;
    Host_FailAllocation(0);
    EXPECT_EQ(Host_HeapBlockCount(g_programHeap), blocks) << "allocation " << k;
    EXPECT_EQ(tallies[0].draws, 0u);
    EXPECT_EQ(tallies[0].ballSlot[0][0] + tallies[0].starSlot[0][0], 0u);
  }
  // The sweep's pools, the first thread's or the second's, the balls or the stars.
  std::unique_ptr<TicketCounts> counts(new TicketCounts());
  SeedSweep one;
  one.last = 0;
  for (long k = 1; k <= 4; ++k) {
    Host_FailAllocation(k);
    EXPECT_EQ(sweep_first_draws(one, *counts), kNoPools) << "allocation " << k;
    Host_FailAllocation(0);
    EXPECT_EQ(Host_HeapBlockCount(g_programHeap), blocks) << "allocation " << k;
  }
  EXPECT_EQ(counts->count(15792140u), 0u);  // seed 0's ticket
}
#endif

}  // namespace

// The command line, at the edges of each option's range; "ok" means the options are accepted.
TEST(DrawStatsOptions, EachOptionAtTheEdgesOfItsRange) {
  struct Case {
    std::vector<const char*> args;
    bool ok;
  } cases[] = {
      {{"--seeds", "0-0xFFFFFFFF"}, true},
      {{"--seeds", "7-7"}, true},
      {{"--seeds", "8-7"}, false},
      {{"--seeds", "0-0x100000000"}, false},
      {{"--seeds", "-5"}, false},
      {{"--seeds", "5"}, false},
      {{"--seeds"}, false},
      {{"--threads", "64"}, true},
      {{"--threads", "65"}, false},
      {{"--threads", "0"}, false},
      {{"--draws", "1000000000000"}, true},
      {{"--draws", "1000000000001"}, false},
      {{"--draws", "0"}, false},
      {{"--seed", "0xffffffff"}, true},
      {{"--seed", "4294967296"}, false},
      {{"--seed", "12x"}, false},
      {{"--seed", "+1"}, false},
      {{"--out", ""}, false},
      {{"--bogus"}, false},
      {{"--raw", "--first-draws"}, true},
      {{"--verify", "tirages.csv"}, true},
      {{"--verify"}, false},
      {{"--verify", "t.csv", "--expect", "12:0123abCD"}, true},
      {{"--verify", "t.csv", "--expect", "12:0123abc"}, false},  // 7 digits
      {{"--expect", "12:0123abcd"}, false},                      // nothing to check
  };
  for (const Case& c : cases) {
    std::vector<char*> argv = {(char*)"draw-stats"};
    for (const char* a : c.args) argv.push_back((char*)a);
    Options o;
    EXPECT_EQ(parse_options((int)argv.size(), argv.data(), &o), c.ok ? 0 : 2)
        << c.args[0] << " " << (c.args.size() > 1 ? c.args[1] : "");
  }
  const char* line[] = {"draw-stats", "--seeds", "0x10-300", "--threads", "3",    "--seed",
                        "0x2A",       "--draws", "99",       "--out",     "here", "--first-draws"};
  Options o;
  ASSERT_EQ(parse_options(12, (char**)line, &o), 0);
  EXPECT_EQ(o.sweep.first, 16u);
  EXPECT_EQ(o.sweep.last, 300u);
  EXPECT_EQ(o.sweep.threads, 3);
  EXPECT_TRUE(o.seeded);
  EXPECT_EQ(o.seed, 42u);
  EXPECT_EQ(o.draws, 99u);
  EXPECT_EQ(o.out, "here");
  EXPECT_TRUE(o.firstDraws);
  EXPECT_FALSE(o.raw);
}

// --verify's exit codes and lines, with and without a noted record; the journal check itself is
// tested in journal_test.cpp.
TEST(DrawStatsVerify, ExitCodeAndLine) {
  std::string folder = testpics::tempFolder("verify");
  const char* header =
      "numero,date,boule1,boule2,boule3,boule4,boule5,etoile1,etoile2,empreinte\r\n";
  const std::string one = std::string(header) +
                          "1,2026-12-09T07:12:03.250+01:00,3,17,22,41,48,2,9,"
                          "bb354d1f7932341dd827f070fe24627b5bb6f4a7ed7fe0c99a939f251612594c\r\n";
  const struct {
    const char* bytes;  // null: no file
    const char* expect;
    int code;
    const char* message;
  } cases[] = {
      {header, "", 0, "0 records, every fingerprint holds"},
      {"numero\r\n", "", 1,
       "line 1: header wrong (not the journal's first line); 0 records in all"},
      {nullptr, "", 2, "cannot open "},
      {one.c_str(), "1:BB354D1F", 0,
       "1 record, every fingerprint holds; record 1 matches bb354d1f"},
      {one.c_str(), "1:bb354d1e", 1, "1 record, every fingerprint holds; record 1 does not match"},
      {one.c_str(), "2:bb354d1f", 1, "1 record, every fingerprint holds; record 2 is missing"},
      {one.c_str(), "2:bb354d1", 2, "not a record's number and fingerprint"},
  };
  int file = 0;
  for (const auto& c : cases) {
    std::string path = folder + std::to_string(file++) + ".csv";
    if (c.bytes) {
      ASSERT_TRUE(testpics::writeFile(path, Bytes(c.bytes, c.bytes + strlen(c.bytes))));
    }
    std::string message;
    EXPECT_EQ(verify_journal(path.c_str(), c.expect, &message), c.code) << message;
    EXPECT_EQ(message.substr(0, strlen(c.message)), c.message);
  }
}
