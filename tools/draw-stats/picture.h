// draw-stats: the histogram picture. Two bands, balls on the left and stars on the right:
// above, the count of every value with the expected count as a red line; below, each count's
// distance from the expected count in standard deviations, with grey lines at -2 and +2.
#pragma once

#include <stdint.h>

#include "tools/draw-stats/stats.h"

namespace drawstats {

// Writes the picture as an RGB PNG; false when the file cannot be written.
bool write_picture(const char* path, const Analysis& analysis, uint64_t draws);

}  // namespace drawstats
