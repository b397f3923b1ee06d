// draw-stats' command line, read into Options; apart from the tool so that the unit test reads it
// too.
#pragma once

#include <stdint.h>

#include <string>

#include "tools/draw-stats/first_draws.h"

namespace drawstats {

struct Options {
  uint64_t draws = 10000000;
  bool seeded = false;
  uint32_t seed = 0;
  std::string out = ".";
  bool raw = false;
  bool firstDraws = false;
  std::string verify;  // a journal to check, when given
  std::string expect;  // with it, a noted record "N:HEX" the journal must still hold
  SeedSweep sweep;
};

// Returns 0 when the options are sound, else the usage exit code (2) after saying why on
// standard error.
int parse_options(int argc, char** argv, Options* options);

}  // namespace drawstats
