// The check of a whole journal, streamed: the file is handed over in pieces of any size, so a
// journal of a million records (about 150 MB) is checked in a few hundred bytes of state. It
// counts the records and finds the first line that breaks the journal.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "journal/lines.h"
#include "journal/record.h"

enum JournalBreak {
  JOURNAL_HOLDS,         // no break: every record is whole, in order and matches its fingerprint
  JOURNAL_HEADER_WRONG,  // the first line is not the header
  JOURNAL_UNREADABLE,    // a line that is not a record (garbage, too long, a value out of range)
  JOURNAL_EDITED,        // a record whose fingerprint does not match
  JOURNAL_OUT_OF_ORDER,  // a record whose number is not the previous whole record's + 1
  JOURNAL_CUT,           // the last line has no CR LF and is no record: a write cut short
};

// What became of a record noted beforehand (its number and the start of its fingerprint, from
// the minutes of a public draw): the one thing that shows the last draws removed and drawn
// again, or the whole file rewritten, which a chain without a key cannot show by itself.
enum JournalAnchor {
  JOURNAL_ANCHOR_NONE,     // none was asked for
  JOURNAL_ANCHOR_MATCHES,  // the file's record of that number has that fingerprint
  JOURNAL_ANCHOR_DIFFERS,  // it has another
  JOURNAL_ANCHOR_MISSING,  // the file has no record of that number
};

struct JournalCheck {
  uint64_t records;      // lines that read as records, before and after a break
  JournalBreak verdict;  // the first break
  uint64_t brokenLine;   // its line in the file, from 1; 0 while the journal holds
  JournalAnchor anchor;  // at the end, what became of the noted record
  uint64_t anchorNumber;
  char anchorHex[SHA256_HEX];  // lowercase
  size_t anchorLength;
  // The reading's own state. Each record is checked against the last whole record before it,
  // as the writer chained it, so that one bad line breaks only itself.
  uint64_t lastNumber;
  char lastFingerprint[SHA256_HEX];
  JournalForward lines;
};

void Journal_CheckStart(JournalCheck* check);
// Reads "N:HEX", a noted record: N its number, HEX the first 8 to 64 hexadecimal digits of its
// fingerprint, in either case. False when TEXT is not that.
bool Journal_ParseAnchor(const char* text, size_t length, uint64_t* number, char hex[SHA256_HEX],
                         size_t* hexLength);
// After Journal_CheckStart: the check also says whether record NUMBER's fingerprint begins with
// the LENGTH hexadecimal digits at HEX (as Journal_ParseAnchor gives them).
void Journal_CheckAnchor(JournalCheck* check, uint64_t number, const char* hex, size_t length);
// The next SIZE bytes of the file.
void Journal_CheckBytes(JournalCheck* check, const char* bytes, size_t size);
// The file's end: a last line left without its CR LF is a record when it reads as one (one lone
// CR after it dropped), a cut line and a break otherwise.
// An empty file holds, with no record: the writer starts one with the header.
void Journal_CheckEnd(JournalCheck* check);
