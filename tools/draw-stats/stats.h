// draw-stats: tallying draws made exactly as the program makes them, and the chi-square tests
// that judge whether they are uniform. Shared by the tool and its unit test.
//
// The draws come from the runtime's own arrays, shuffle and generator; nothing here draws a
// random number by other means. The caller creates the program heap and seeds (or does not
// seed) the generator before tallying.
#pragma once

#include <stdint.h>

namespace drawstats {

constexpr int kBallValues = 50;
constexpr int kBallsDrawn = 5;
constexpr int kStarValues = 12;
constexpr int kStarsDrawn = 2;
// Generator steps per draw: a shuffle of n elements takes n - 1 words.
constexpr int kStepsPerDraw = (kBallValues - 1) + (kStarValues - 1);

// Regularized upper incomplete gamma function Q(a, x) = Gamma(a, x) / Gamma(a). NaN when
// a <= 0 or x is NaN; 1 for x <= 0.
double upper_gamma_q(double a, double x);
// Probability that a chi-square variable with df degrees of freedom reaches chi2 or more.
double chi_square_p(double chi2, double df);

struct ChiSquare {
  double statistic;  // after any scaling (see below)
  int df;
  double p;
};

// Pearson statistic of n counts against their mean, times `scale`, with n - 1 degrees of
// freedom. `scale` corrects for counts that are not multinomial (values drawn without
// replacement); 1 for a plain multinomial.
ChiSquare uniformity(const uint64_t* counts, int n, double scale);
// Pearson statistic of independence of a rows x cols table (row-major), expected counts from
// the margins, times `scale`, with (rows - 1)(cols - 1) degrees of freedom. Rows whose total
// is 0 are left out (and cost a degree of freedom each).
ChiSquare independence(const uint64_t* table, int rows, int cols, double scale);

// Everything a run of draws leaves behind. A value v drawn into slot s counts in slot[v][s].
// Pairs are unordered, kept at [smaller][larger]: every draw's two stars, and the two balls
// of its first two slots (one pair per draw, so those counts are a plain multinomial over the
// 1225 pairs).
struct Tally {
  uint64_t draws;
  uint64_t ballSlot[kBallValues][kBallsDrawn];
  uint64_t starSlot[kStarValues][kStarsDrawn];
  uint64_t ballPair[kBallValues][kBallValues];
  uint64_t starPair[kStarValues][kStarValues];
};

// Runs `draws` draws as the program does and adds them to `tally` (which the caller zeroes):
// both pools are arrays of 4-byte elements, and every draw refills the ball pool with 0..49
// and shuffles it, then refills the star pool with 0..11 and shuffles it, taking the front
// elements. Needs the program heap. False, with nothing counted, when the pools cannot be
// allocated.
bool tally_draws(uint64_t draws, Tally& tally);

struct Analysis {
  uint64_t ballCount[kBallValues];  // over all slots
  uint64_t starCount[kStarValues];
  ChiSquare balls, stars;            // uniformity over all slots, corrected (see stats.cpp)
  ChiSquare ballSlots[kBallsDrawn];  // uniformity slot by slot
  ChiSquare starSlots[kStarsDrawn];
  ChiSquare ballPosition, starPosition;  // value x slot independence, corrected
  ChiSquare ballPairs, starPairs;
};

Analysis analyse(const Tally& tally);

}  // namespace drawstats
