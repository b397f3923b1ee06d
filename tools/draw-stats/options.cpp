// draw-stats' command line: numbers in decimal or 0x hexadecimal, whole and within their range.
#include "tools/draw-stats/options.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "journal/check.h"

namespace drawstats {

namespace {

int usage(const char* message) {
  fprintf(stderr, "draw-stats: %s\n", message);
  fprintf(stderr, "usage: draw-stats [--draws N] [--seed S] [--out DIR]\n"
                  "       draw-stats --raw [--seed S]\n"
                  "       draw-stats --first-draws [--seeds FIRST-LAST] [--threads N] [--out DIR]\n"
                  "       draw-stats --verify FILE [--expect N:HEX]\n");
  return 2;
}

// Unsigned number, decimal or 0x hexadecimal, the whole text and no more than `max`.
bool parse_number(const char* text, uint64_t max, uint64_t* value) {
  int base = 10;
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text += 2;
  }
  if (!*text || *text == '-' || *text == '+' || *text == ' ') return false;
  errno = 0;
  char* end = 0;
  unsigned long long n = strtoull(text, &end, base);
  if (errno || *end || n > max) return false;
  *value = n;
  return true;
}

// FIRST-LAST, two seeds in either notation, FIRST not above LAST.
bool parse_seed_range(const char* text, SeedSweep* sweep) {
  const char* dash = strchr(text, '-');
  if (!dash) return false;
  std::string first(text, dash - text);
  uint64_t a, b;
  if (!parse_number(first.c_str(), 0xFFFFFFFFull, &a) || !parse_number(dash + 1, 0xFFFFFFFFull, &b))
    return false;
  if (a > b) return false;
  sweep->first = (uint32_t)a;
  sweep->last = (uint32_t)b;
  return true;
}

}  // namespace

int parse_options(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    bool hasValue = i + 1 < argc;
    uint64_t n;
    if (!strcmp(arg, "--raw")) {
      options->raw = true;
    } else if (!strcmp(arg, "--first-draws")) {
      options->firstDraws = true;
    } else if (!strcmp(arg, "--seeds")) {
      if (!hasValue || !parse_seed_range(argv[++i], &options->sweep))
        return usage("--seeds takes FIRST-LAST, two 32-bit seeds, FIRST not above LAST");
    } else if (!strcmp(arg, "--threads")) {
      if (!hasValue || !parse_number(argv[++i], 64, &n) || n == 0)
        return usage("--threads takes a count from 1 to 64");
      options->sweep.threads = (int)n;
    } else if (!strcmp(arg, "--draws")) {
      if (!hasValue || !parse_number(argv[++i], 1000000000000ull, &n) || n == 0)
        return usage("--draws takes a count from 1 to 10^12");
      options->draws = n;
    } else if (!strcmp(arg, "--seed")) {
      if (!hasValue || !parse_number(argv[++i], 0xFFFFFFFFull, &n))
        return usage("--seed takes a 32-bit number, decimal or 0x hexadecimal");
      options->seeded = true;
      options->seed = (uint32_t)n;
    } else if (!strcmp(arg, "--verify")) {
      if (!hasValue || !*argv[i + 1]) return usage("--verify takes a journal file");
      options->verify = argv[++i];
    } else if (!strcmp(arg, "--expect")) {
      uint64_t number;
      char hex[SHA256_HEX];
      size_t length;
      if (!hasValue ||
          !Journal_ParseAnchor(argv[i + 1], strlen(argv[i + 1]), &number, hex, &length))
        return usage(
            "--expect takes N:HEX, a record's number and 8 to 64 hex digits of its fingerprint");
      options->expect = argv[++i];
    } else if (!strcmp(arg, "--out")) {
      if (!hasValue || !*argv[i + 1]) return usage("--out takes a folder");
      options->out = argv[++i];
    } else {
      return usage((std::string("unknown argument ") + arg).c_str());
    }
  }
  if (!options->expect.empty() && options->verify.empty())
    return usage("--expect goes with --verify FILE");
  return 0;
}

}  // namespace drawstats
