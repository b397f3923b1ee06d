// The journal check of draw-stats: the file read a block at a time into the journal's own
// streamed check, so that a journal of any length takes the same memory.
#include "tools/draw-stats/verify.h"

#include <stdio.h>
#include <string.h>

#include <vector>

#include "journal/check.h"
#include "tools/draw-stats/text.h"

namespace drawstats {

namespace {

const char* why(JournalBreak verdict) {
  switch (verdict) {
    case JOURNAL_HEADER_WRONG: return "header wrong (not the journal's first line)";
    case JOURNAL_UNREADABLE: return "unreadable (not a record)";
    case JOURNAL_EDITED: return "edited (fingerprint does not match)";
    case JOURNAL_OUT_OF_ORDER: return "out of order (number is not the previous one + 1)";
    case JOURNAL_CUT: return "cut (no CR LF at its end)";
    default: return "holds";
  }
}

// What the check found of the noted record; empty when none was asked for.
std::string anchorText(const JournalCheck& check) {
  std::string n = grouped(check.anchorNumber), hex(check.anchorHex, check.anchorLength);
  switch (check.anchor) {
    case JOURNAL_ANCHOR_MATCHES: return "; record " + n + " matches " + hex;
    case JOURNAL_ANCHOR_DIFFERS: return "; record " + n + " does not match " + hex;
    case JOURNAL_ANCHOR_MISSING: return "; record " + n + " is missing";
    default: return "";
  }
}

}  // namespace

int verify_journal(const char* path, const char* expect, std::string* message) {
  JournalCheck check;
  Journal_CheckStart(&check);
  if (expect && *expect) {
    uint64_t number;
    char hex[SHA256_HEX];
    size_t length;
    if (!Journal_ParseAnchor(expect, strlen(expect), &number, hex, &length)) {
      *message = std::string("not a record's number and fingerprint: ") + expect;
      return 2;
    }
    Journal_CheckAnchor(&check, number, hex, length);
  }
  FILE* f = fopen(path, "rb");
  if (!f) {
    *message = std::string("cannot open ") + path;
    return 2;
  }
  std::vector<char> block(65536);
  size_t got;
  while ((got = fread(block.data(), 1, block.size(), f)) > 0)
    Journal_CheckBytes(&check, block.data(), got);
  bool failed = ferror(f) != 0;
  fclose(f);
  if (failed) {
    *message = std::string("cannot read ") + path;
    return 2;
  }
  Journal_CheckEnd(&check);
  std::string records = grouped(check.records) + (check.records == 1 ? " record" : " records");
  bool anchored = check.anchor == JOURNAL_ANCHOR_NONE || check.anchor == JOURNAL_ANCHOR_MATCHES;
  if (check.verdict == JOURNAL_HOLDS) {
    *message = records + ", every fingerprint holds" + anchorText(check);
    return anchored ? 0 : 1;
  }
  *message = "line " + grouped(check.brokenLine) + ": " + why(check.verdict) + "; " + records +
             " in all" + anchorText(check);
  return 1;
}

}  // namespace drawstats
