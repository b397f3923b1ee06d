// draw-stats: are the program's draws fair? Runs N draws exactly as the program draws them,
// with the runtime's own pools, shuffle and generator, and writes draw-stats.md (counts and
// chi-square tests) and draw-stats-counts.tsv (the counts, for the chart that gnuplot draws with
// tools/draw-stats/chart.gp; the tool draws no picture itself). With --raw it writes the
// generator's 32-bit words to standard output instead, for dieharder. With --first-draws it
// computes the first draw of a process from every seed in a range (all 2^32 by default) and
// writes first-draws.md and first-draws-histogram.tsv: how many seeds give each ticket. With
// --verify it checks a draw journal instead: every record whole, in order and matching its
// fingerprint; with --expect N:HEX (a record's number and the start of its fingerprint, noted
// beforehand), also that record N is still there with that fingerprint, which is what shows the
// last draws removed and drawn again, or the whole file rewritten.
//
//   draw-stats [--draws N] [--seed S] [--out DIR]
//   draw-stats --raw [--seed S]
//   draw-stats --first-draws [--seeds FIRST-LAST] [--threads N] [--out DIR]
//   draw-stats --verify FILE [--expect N:HEX]
//
// Without --seed the generator seeds itself at its first use, as in the program.
// Exit codes: 0 done, 1 a file could not be written, memory ran out or the seed sweep found its
// batch seeding at odds with the generator, 2 usage. With --verify: 0 every record holds (and
// record N matches), 1 a line breaks the journal or record N is missing or differs, 2 the file
// cannot be read (or usage).
#include <math.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <chrono>
#include <memory>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "runtime/memory.h"
#include "runtime/random.h"
#include "tools/draw-stats/first_draws.h"
#include "tools/draw-stats/first_draws_report.h"
#include "tools/draw-stats/options.h"
#include "tools/draw-stats/stats.h"
#include "tools/draw-stats/text.h"
#include "tools/draw-stats/verify.h"

using namespace drawstats;

namespace {

// Endless: ends when standard output refuses more (dieharder has read enough and closed it).
int write_raw() {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#else
  signal(SIGPIPE, SIG_IGN);  // a closed pipe is the normal end: see it as a failed write
#endif
  static uint32_t words[16384];
  for (;;) {
    for (uint32_t& w : words) w = Random_Range(0xFFFFFFFFu);
    if (fwrite(words, sizeof words[0], sizeof words / sizeof words[0], stdout) !=
        sizeof words / sizeof words[0])
      return 0;
  }
}

// Processor time of this process: on a shared machine the wall time alone says little.
double processor_seconds() {
#ifdef _WIN32
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  return (((uint64_t)user.dwHighDateTime << 32) | user.dwLowDateTime) / 1e7 +
         (((uint64_t)kernel.dwHighDateTime << 32) | kernel.dwLowDateTime) / 1e7;
#else
  return (double)clock() / CLOCKS_PER_SEC;
#endif
}

const char* verdict(double p) { return p >= 0.001 && p <= 0.999 ? "ok" : "**suspect**"; }

void summary_row(FILE* f, const char* name, const ChiSquare& c) {
  fprintf(f, "| %s | %.2f | %d | %s | %s |\n", name, c.statistic, c.df, p_text(c.p).c_str(),
          verdict(c.p));
}

void count_table(FILE* f, const uint64_t* counts, int values, int drawn, uint64_t draws) {
  double p = (double)drawn / values;
  double expected = draws * p, sigma = sqrt(draws * p * (1 - p));
  fprintf(f, "Expected count per value: %s x %d / %d = %.1f, standard deviation %.1f.\n\n",
          grouped(draws).c_str(), drawn, values, expected, sigma);
  fprintf(f, "| Value | Count | Difference | z |\n|---:|---:|---:|---:|\n");
  for (int v = 0; v < values; ++v)
    fprintf(f, "| %d | %s | %+.0f | %+.2f |\n", v, grouped(counts[v]).c_str(), counts[v] - expected,
            sigma > 0 ? (counts[v] - expected) / sigma : 0.0);
  fprintf(f, "\n");
}

void slot_table(FILE* f, const uint64_t* table, int values, int slots, int firstSlot) {
  fprintf(f, "| Value |");
  for (int s = 0; s < slots; ++s) fprintf(f, " Slot %d |", firstSlot + s);
  fprintf(f, "\n|---:|");
  for (int s = 0; s < slots; ++s) fprintf(f, "---:|");
  fprintf(f, "\n");
  for (int v = 0; v < values; ++v) {
    fprintf(f, "| %d |", v);
    for (int s = 0; s < slots; ++s) fprintf(f, " %s |", grouped(table[v * slots + s]).c_str());
    fprintf(f, "\n");
  }
  fprintf(f, "\n");
}

void pair_extremes(FILE* f, const uint64_t* table, int n, uint64_t draws) {
  int lo[2] = {0, 1}, hi[2] = {0, 1};
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) {
      if (table[i * n + j] < table[lo[0] * n + lo[1]]) {
        lo[0] = i;
        lo[1] = j;
      }
      if (table[i * n + j] > table[hi[0] * n + hi[1]]) {
        hi[0] = i;
        hi[1] = j;
      }
    }
  fprintf(f, "Expected count per pair: %.1f; fewest %s (%d and %d), most %s (%d and %d).\n\n",
          (double)draws / (n * (n - 1) / 2), grouped(table[lo[0] * n + lo[1]]).c_str(), lo[0],
          lo[1], grouped(table[hi[0] * n + hi[1]]).c_str(), hi[0], hi[1]);
}

// The counts of every value with the expected count and its standard deviation: two blocks,
// balls then stars, that gnuplot reads as index 0 and index 1.
void count_block(FILE* f, const char* name, const uint64_t* counts, int values, int drawn,
                 uint64_t draws) {
  double p = (double)drawn / values;
  double expected = draws * p, sigma = sqrt(draws * p * (1 - p));
  fprintf(f, "# %s\n", name);
  for (int v = 0; v < values; ++v)
    fprintf(f, "%d\t%llu\t%.1f\t%.3f\n", v, (unsigned long long)counts[v], expected, sigma);
}

bool write_counts(const std::string& path, const Analysis& a, uint64_t draws) {
  FILE* f = fopen(path.c_str(), "wb");  // binary: the same bytes from every build
  if (!f) return false;
  fprintf(f, "# value\tcount\texpected\tsigma\n");
  count_block(f, "balls", a.ballCount, kBallValues, kBallsDrawn, draws);
  fprintf(f, "\n\n");
  count_block(f, "stars", a.starCount, kStarValues, kStarsDrawn, draws);
  bool failed = ferror(f) != 0;
  return fclose(f) == 0 && !failed;
}

bool write_report(const std::string& path, const Options& o, const Tally& t, const Analysis& a,
                  double seconds, double processor) {
  // Binary: the same bytes (LF line ends) from every build.
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  fprintf(f, "# Draw fairness report\n\n| | |\n|---|---|\n");
  fprintf(f, "| Draws | %s |\n", grouped(t.draws).c_str());
  if (o.seeded) fprintf(f, "| Seed | %u (0x%08X) |\n", o.seed, o.seed);
  else fprintf(f, "| Seed | none: seeded at first use from the thread id and tick count |\n");
#if defined(_WIN64)
  fprintf(f, "| Build | Windows x86_64 |\n");
#elif defined(_WIN32)
  fprintf(f, "| Build | Windows i686 |\n");
#else
  fprintf(f, "| Build | native (%d-bit) |\n", (int)sizeof(void*) * 8);
#endif
  fprintf(f, "| Generator words | %s (%d per draw) |\n", grouped(t.draws * kStepsPerDraw).c_str(),
          kStepsPerDraw);
  fprintf(
      f,
      "| Run time | %.2f s, of which %.2f s on the processor (%s draws per processor second) |\n\n",
      seconds, processor, grouped(processor > 0 ? (uint64_t)(t.draws / processor) : 0).c_str());

  fprintf(f, "## Summary\n\n"
             "Chi-square tests; the p-value is the chance of a statistic at least this large "
             "from a fair draw. \"suspect\" marks p below 0.001 or above 0.999; a fair draw "
             "shows one such result in about 500 tests.\n\n"
             "| Test | Statistic | df | p-value | Verdict |\n|---|---:|---:|---:|---|\n");
  summary_row(f, "Balls: uniform over all slots (corrected)", a.balls);
  for (int s = 0; s < kBallsDrawn; ++s) {
    std::string name = "Balls: uniform in slot " + std::to_string(s + 1);
    summary_row(f, name.c_str(), a.ballSlots[s]);
  }
  summary_row(f, "Balls: value independent of slot (corrected)", a.ballPosition);
  summary_row(f, "Balls: pairs in slots 1 and 2 (1,225 pairs)", a.ballPairs);
  summary_row(f, "Stars: uniform over both slots (corrected)", a.stars);
  for (int s = 0; s < kStarsDrawn; ++s) {
    std::string name = "Stars: uniform in slot " + std::to_string(s + 1);
    summary_row(f, name.c_str(), a.starSlots[s]);
  }
  summary_row(f, "Stars: value independent of slot (corrected)", a.starPosition);
  summary_row(f, "Stars: pairs (66 pairs)", a.starPairs);
  fprintf(f, "\nA draw takes k distinct values out of n, so counts summed over its slots are "
             "not multinomial: their Pearson sum is (n-k)/(n-1) times a chi-square with n-1 "
             "degrees of freedom and is scaled back by (n-1)/(n-k). In the value x slot table "
             "one value cannot fill two slots of a draw, which inflates the statistic by "
             "n/(n-1); it is scaled by (n-1)/n. Single slots and the pairs are one multinomial "
             "trial per draw and are not scaled.\n\n");

  fprintf(f, "## Balls: count of each value\n\n");
  count_table(f, a.ballCount, kBallValues, kBallsDrawn, t.draws);
  fprintf(f, "## Stars: count of each value\n\n");
  count_table(f, a.starCount, kStarValues, kStarsDrawn, t.draws);

  fprintf(f,
          "## Position: count of each value in each slot\n\n"
          "Expected per cell: %.1f for balls, %.1f for stars.\n\n",
          (double)t.draws / kBallValues, (double)t.draws / kStarValues);
  slot_table(f, &t.ballSlot[0][0], kBallValues, kBallsDrawn, 1);
  slot_table(f, &t.starSlot[0][0], kStarValues, kStarsDrawn, 1);

  fprintf(f, "## Pairs\n\nStars, every draw's two stars (row the smaller value):\n\n| |");
  for (int j = 1; j < kStarValues; ++j) fprintf(f, " %d |", j);
  fprintf(f, "\n|---:|");
  for (int j = 1; j < kStarValues; ++j) fprintf(f, "---:|");
  fprintf(f, "\n");
  for (int i = 0; i < kStarValues - 1; ++i) {
    fprintf(f, "| %d |", i);
    for (int j = 1; j < kStarValues; ++j)
      fprintf(f, j > i ? " %s |" : " |", grouped(t.starPair[i][j]).c_str());
    fprintf(f, "\n");
  }
  fprintf(f, "\n");
  pair_extremes(f, &t.starPair[0][0], kStarValues, t.draws);
  fprintf(f, "Balls, the two balls of slots 1 and 2 of every draw:\n\n");
  pair_extremes(f, &t.ballPair[0][0], kBallValues, t.draws);
  bool failed = ferror(f) != 0;
  return fclose(f) == 0 && !failed;
}

void print_progress(uint64_t done, uint64_t total, double seconds) {
  double left = done ? seconds * (total - done) / done : 0;
  fprintf(stderr, "draw-stats: %s of %s seeds (%.1f%%) in %.0f s, about %.0f s left\n",
          grouped(done).c_str(), grouped(total).c_str(), 100.0 * done / total, seconds, left);
}

int first_draws(Options& options) {
  std::unique_ptr<TicketCounts> counts(new TicketCounts());
  options.sweep.progress = print_progress;
  auto start = std::chrono::steady_clock::now();
  double startProcessor = processor_seconds();
  SweepResult result = sweep_first_draws(options.sweep, *counts);
  if (result != kSwept) {
    fprintf(stderr, "draw-stats: %s\n",
            result == kNoPools ? "cannot allocate the pools"
                               : "the batch seeding disagrees with the generator's: no figures");
    return 1;
  }
  SweepTimes times;
  times.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  times.processor = processor_seconds() - startProcessor;
  SeedSpace space = analyse_seed_space(*counts);

  std::string report = options.out + "/first-draws.md";
  std::string histogram = options.out + "/first-draws-histogram.tsv";
  if (!write_first_draws_report(report, options.sweep, space, times)) {
    fprintf(stderr, "draw-stats: cannot write %s\n", report.c_str());
    return 1;
  }
  if (!write_first_draws_histogram(histogram, space)) {
    fprintf(stderr, "draw-stats: cannot write %s\n", histogram.c_str());
    return 1;
  }
  printf("draw-stats: %s seeds in %.0f s (%.0f s on the processor); %s of %s tickets reached, "
         "%s to %s seeds each; Poisson p=%s; wrote %s and %s\n",
         grouped(space.seeds).c_str(), times.seconds, times.processor,
         grouped(space.reached).c_str(), grouped(kTickets).c_str(), grouped(space.least).c_str(),
         grouped(space.most).c_str(), p_text(space.fit.p).c_str(), report.c_str(),
         histogram.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (int code = parse_options(argc, argv, &options)) return code;
  if (!options.verify.empty()) {
    std::string message;
    int code = verify_journal(options.verify.c_str(), options.expect.c_str(), &message);
    fprintf(code == 2 ? stderr : stdout, "draw-stats: %s\n", message.c_str());
    return code;
  }

  g_programHeap = HeapCreate(0, 4096, 0);
  if (!g_programHeap) {
    fprintf(stderr, "draw-stats: cannot create the program heap\n");
    return 1;
  }
  if (options.seeded) Random_Seed(options.seed);
  if (options.raw) return write_raw();
  if (options.firstDraws) return first_draws(options);

  static Tally tally;  // large: kept off the stack
  auto start = std::chrono::steady_clock::now();
  double startProcessor = processor_seconds();
  if (!tally_draws(options.draws, tally)) {
    fprintf(stderr, "draw-stats: cannot allocate the pools\n");
    return 1;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  double processor = processor_seconds() - startProcessor;
  Analysis analysis = analyse(tally);

  std::string report = options.out + "/draw-stats.md";
  std::string counts = options.out + "/draw-stats-counts.tsv";
  if (!write_report(report, options, tally, analysis, seconds, processor)) {
    fprintf(stderr, "draw-stats: cannot write %s\n", report.c_str());
    return 1;
  }
  if (!write_counts(counts, analysis, tally.draws)) {
    fprintf(stderr, "draw-stats: cannot write %s\n", counts.c_str());
    return 1;
  }
  printf("draw-stats: %s draws in %.2f s; balls p=%s, stars p=%s; wrote %s and %s\n",
         grouped(tally.draws).c_str(), seconds, p_text(analysis.balls.p).c_str(),
         p_text(analysis.stars.p).c_str(), report.c_str(), counts.c_str());
  printf("draw-stats: no chart drawn here, that needs a plotting tool: with gnuplot,\n"
         "  gnuplot -c tools/draw-stats/chart.gp %s chart.png\n",
         counts.c_str());
  return 0;
}
