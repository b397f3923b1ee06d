// draw-stats: the draws and their chi-square tests.
//
// Why the corrections: a draw takes k distinct values out of n, so the counts of one draw are
// not multinomial. Summed over all slots, each count has variance N p (1 - p) with p = k / n
// and any two counts a covariance of -N p (1 - p) / (n - 1); the Pearson sum then has the
// mean n - k instead of n - 1 and is (n - k)/(n - 1) times a chi-square with n - 1 degrees of
// freedom. Multiplying by (n - 1)/(n - k) restores it. Likewise, in the value x slot table the
// same value cannot fill two slots of one draw; the contrasts between slots then have
// n/(n - 1) times the multinomial variance, and the independence statistic is scaled by
// (n - 1)/n. A single slot, and the pair of the first two slots, are one multinomial trial per
// draw and need no correction.
#include "tools/draw-stats/stats.h"

#include <math.h>
#include <string.h>

#include "runtime/memory.h"
#include "runtime/random.h"

namespace drawstats {

namespace {

constexpr int kTypeCodeLong = 21;  // the element type code of the program's pools
constexpr int kMaxIterations = 100000;
constexpr double kEpsilon = 1e-15;
constexpr double kTiny = 1e-300;

// P(a, x) by its power series; converges quickly for x < a + 1.
double lower_series(double a, double x) {
  double term = 1.0 / a;
  double sum = term;
  for (int n = 1; n < kMaxIterations; ++n) {
    term *= x / (a + n);
    sum += term;
    if (fabs(term) < fabs(sum) * kEpsilon) break;
  }
  return sum * exp(-x + a * log(x) - lgamma(a));
}

// Q(a, x) by its continued fraction (modified Lentz); converges quickly for x >= a + 1.
double upper_fraction(double a, double x) {
  double b = x + 1.0 - a;
  double c = 1.0 / kTiny;
  double d = 1.0 / b;
  double h = d;
  for (int i = 1; i < kMaxIterations; ++i) {
    double an = -i * (i - a);
    b += 2.0;
    d = an * d + b;
    if (fabs(d) < kTiny) d = kTiny;
    c = b + an / c;
    if (fabs(c) < kTiny) c = kTiny;
    d = 1.0 / d;
    double delta = d * c;
    h *= delta;
    if (fabs(delta - 1.0) < kEpsilon) break;
  }
  return exp(-x + a * log(x) - lgamma(a)) * h;
}

ChiSquare finish(double sum, int df, double scale) {
  ChiSquare result;
  result.statistic = sum * scale;
  result.df = df;
  result.p = chi_square_p(result.statistic, df);
  return result;
}

}  // namespace

double upper_gamma_q(double a, double x) {
  if (!(a > 0.0) || isnan(x)) return NAN;
  if (x <= 0.0) return 1.0;
  if (isinf(x)) return 0.0;
  if (x < a + 1.0) return 1.0 - lower_series(a, x);
  return upper_fraction(a, x);
}

double chi_square_p(double chi2, double df) { return upper_gamma_q(df / 2.0, chi2 / 2.0); }

ChiSquare uniformity(const uint64_t* counts, int n, double scale) {
  double total = 0;
  for (int i = 0; i < n; ++i) total += (double)counts[i];
  double expected = total / n;
  double sum = 0;
  if (expected > 0) {
    for (int i = 0; i < n; ++i) {
      double d = (double)counts[i] - expected;
      sum += d * d / expected;
    }
  }
  return finish(sum, n - 1, scale);
}

ChiSquare independence(const uint64_t* table, int rows, int cols, double scale) {
  double total = 0;
  double colTotal[64] = {};  // no table of ours is wider
  if (cols > 64) return finish(NAN, 0, 1.0);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      colTotal[c] += (double)table[r * cols + c];
      total += (double)table[r * cols + c];
    }
  double sum = 0;
  int usedRows = 0;
  for (int r = 0; r < rows; ++r) {
    double rowTotal = 0;
    for (int c = 0; c < cols; ++c) rowTotal += (double)table[r * cols + c];
    if (rowTotal == 0) continue;
    ++usedRows;
    for (int c = 0; c < cols; ++c) {
      double expected = rowTotal * colTotal[c] / total;
      if (expected == 0) continue;
      double d = (double)table[r * cols + c] - expected;
      sum += d * d / expected;
    }
  }
  int df = usedRows > 0 ? (usedRows - 1) * (cols - 1) : 0;
  return finish(sum, df, scale);
}

bool tally_draws(uint64_t draws, Tally& tally) {
  // The pools as the program holds them: arrays of signed 32-bit elements, type code 21.
  void* ballPool = 0;
  void* starPool = 0;
  if (!Array_Allocate(4, kBallValues, kTypeCodeLong, 0, &ballPool)) return false;
  if (!Array_Allocate(4, kStarValues, kTypeCodeLong, 0, &starPool)) {
    Array_Free(ballPool);
    return false;
  }
  int32_t* balls = (int32_t*)ballPool;
  int32_t* stars = (int32_t*)starPool;
  for (uint64_t d = 0; d < draws; ++d) {
    // Every draw starts from the sorted pool; balls first, then stars, as one button press.
    for (int32_t i = 0; i < kBallValues; ++i) balls[i] = i;
    Array_Shuffle(balls);
    for (int32_t i = 0; i < kStarValues; ++i) stars[i] = i;
    Array_Shuffle(stars);

    for (int s = 0; s < kBallsDrawn; ++s) ++tally.ballSlot[balls[s]][s];
    for (int s = 0; s < kStarsDrawn; ++s) ++tally.starSlot[stars[s]][s];
    int b0 = balls[0], b1 = balls[1];
    ++tally.ballPair[b0 < b1 ? b0 : b1][b0 < b1 ? b1 : b0];
    int s0 = stars[0], s1 = stars[1];
    ++tally.starPair[s0 < s1 ? s0 : s1][s0 < s1 ? s1 : s0];
  }
  tally.draws += draws;
  Array_Free(starPool);
  Array_Free(ballPool);
  return true;
}

namespace {

// The cells of the upper triangle of an n x n pair table, in order.
int upper_triangle(const uint64_t* table, int n, uint64_t* out) {
  int k = 0;
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) out[k++] = table[i * n + j];
  return k;
}

}  // namespace

Analysis analyse(const Tally& tally) {
  Analysis a;
  memset(&a, 0, sizeof a);
  for (int v = 0; v < kBallValues; ++v)
    for (int s = 0; s < kBallsDrawn; ++s) a.ballCount[v] += tally.ballSlot[v][s];
  for (int v = 0; v < kStarValues; ++v)
    for (int s = 0; s < kStarsDrawn; ++s) a.starCount[v] += tally.starSlot[v][s];

  a.balls = uniformity(a.ballCount, kBallValues, (kBallValues - 1.0) / (kBallValues - kBallsDrawn));
  a.stars = uniformity(a.starCount, kStarValues, (kStarValues - 1.0) / (kStarValues - kStarsDrawn));

  uint64_t column[kBallValues];
  for (int s = 0; s < kBallsDrawn; ++s) {
    for (int v = 0; v < kBallValues; ++v) column[v] = tally.ballSlot[v][s];
    a.ballSlots[s] = uniformity(column, kBallValues, 1.0);
  }
  for (int s = 0; s < kStarsDrawn; ++s) {
    for (int v = 0; v < kStarValues; ++v) column[v] = tally.starSlot[v][s];
    a.starSlots[s] = uniformity(column, kStarValues, 1.0);
  }

  a.ballPosition = independence(&tally.ballSlot[0][0], kBallValues, kBallsDrawn,
                                (kBallValues - 1.0) / kBallValues);
  a.starPosition = independence(&tally.starSlot[0][0], kStarValues, kStarsDrawn,
                                (kStarValues - 1.0) / kStarValues);

  uint64_t pairs[kBallValues * (kBallValues - 1) / 2];
  int n = upper_triangle(&tally.ballPair[0][0], kBallValues, pairs);
  a.ballPairs = uniformity(pairs, n, 1.0);
  n = upper_triangle(&tally.starPair[0][0], kStarValues, pairs);
  a.starPairs = uniformity(pairs, n, 1.0);
  return a;
}

}  // namespace drawstats
