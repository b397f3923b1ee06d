// draw-stats: writing what a seed sweep found. The report is Markdown, written in binary mode so
// that every build writes the same bytes.
#include "tools/draw-stats/first_draws_report.h"

#include <math.h>
#include <stdio.h>

#include "tools/draw-stats/text.h"

namespace drawstats {

namespace {

std::string ticket_text(uint32_t ticket) {
  int32_t balls[kBallsDrawn], stars[kStarsDrawn];
  ticket_values(ticket, balls, stars);
  char text[64];
  snprintf(text, sizeof text, "%d %d %d %d %d, stars %d %d", balls[0], balls[1], balls[2], balls[3],
           balls[4], stars[0], stars[1]);
  return text;
}

double residual(double observed, double expected) {
  return expected > 0 ? (observed - expected) / sqrt(expected) : 0;
}

void summary(FILE* f, const SeedSweep& sweep, const SeedSpace& s, const SweepTimes& times) {
  fprintf(f, "| | |\n|---|---|\n");
  fprintf(f, "| Seeds | %u to %u (%s) |\n", sweep.first, sweep.last, grouped(s.seeds).c_str());
  fprintf(f, "| Tickets | %s (%s ball sets x %u star pairs) |\n", grouped(kTickets).c_str(),
          grouped(kBallSets).c_str(), kStarSets);
  fprintf(f, "| Tickets a first press can give | %s (%.6f%%); never: %s |\n",
          grouped(s.reached).c_str(), 100.0 * s.reached / kTickets,
          grouped(kTickets - s.reached).c_str());
  fprintf(f, "| Ball sets a first press can give | %s of %s |\n",
          grouped(s.ballSetsReached).c_str(), grouped(kBallSets).c_str());
  fprintf(f, "| Seeds per ticket | mean %.4f, variance %.4f (the Poisson law: variance = mean) |\n",
          s.mean, s.variance);
  fprintf(f, "| Fewest seeds | %s (first such ticket: %s) |\n", grouped(s.least).c_str(),
          ticket_text(s.leastTicket).c_str());
  fprintf(f, "| Most seeds | %s (first such ticket: %s) |\n", grouped(s.most).c_str(),
          ticket_text(s.mostTicket).c_str());
  fprintf(f, "| Histogram against Poisson(%.4f) | chi-square %.2f, df %d, p %s |\n", s.mean,
          s.fit.statistic, s.fit.df, p_text(s.fit.p).c_str());
  fprintf(f, "| Run time | %.0f s, of which %.0f s on the processor, %d threads |\n\n",
          times.seconds, times.processor, sweep.threads);
}

void histogram_table(FILE* f, const SeedSpace& s) {
  fprintf(f, "| Seeds per ticket | Tickets | Poisson | (observed - expected) / sqrt(expected) |\n"
             "|---:|---:|---:|---:|\n");
  for (size_t k = 0; k < s.histogram.size(); ++k) {
    if (s.histogram[k] == 0 && s.poisson[k] < 0.5) continue;
    fprintf(f, "| %zu | %s | %.1f | %+.2f |\n", k, grouped(s.histogram[k]).c_str(), s.poisson[k],
            residual(s.histogram[k], s.poisson[k]));
  }
  fprintf(f,
          "\nThe test pools %d or fewer seeds into one bin and %d or more into another, so that "
          "each bin expects at least 5 tickets; its degrees of freedom are the bins less two, as "
          "both the number of tickets and the number of seeds (so the mean) are fixed.\n",
          s.lowBin, s.highBin);
}

}  // namespace

bool write_first_draws_report(const std::string& path, const SeedSweep& sweep,
                              const SeedSpace& space, const SweepTimes& times) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  fprintf(f, "# First draw from every seed\n\n");
  summary(f, sweep, space, times);
  histogram_table(f, space);
  bool failed = ferror(f) != 0;
  return fclose(f) == 0 && !failed;
}

bool write_first_draws_histogram(const std::string& path, const SeedSpace& space) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  fprintf(f, "# seeds\ttickets\tpoisson\tresidual\n");
  for (size_t k = 0; k < space.histogram.size(); ++k)
    fprintf(f, "%zu\t%llu\t%.3f\t%.3f\n", k, (unsigned long long)space.histogram[k],
            space.poisson[k], residual(space.histogram[k], space.poisson[k]));
  bool failed = ferror(f) != 0;
  return fclose(f) == 0 && !failed;
}

}  // namespace drawstats
