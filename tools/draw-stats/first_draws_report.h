// draw-stats: the report of a seed sweep (first-draws.md) and its histogram for the chart
// (first-draws-histogram.tsv, drawn by tools/draw-stats/first-draws-chart.gp).
#pragma once

#include <string>

#include "tools/draw-stats/first_draws.h"

namespace drawstats {

struct SweepTimes {
  double seconds;    // wall time of the sweep
  double processor;  // processor time of the whole process over it
};

// Each false when the file cannot be written.
bool write_first_draws_report(const std::string& path, const SeedSweep& sweep,
                              const SeedSpace& space, const SweepTimes& times);
bool write_first_draws_histogram(const std::string& path, const SeedSpace& space);

}  // namespace drawstats
