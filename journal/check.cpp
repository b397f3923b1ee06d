// The check, line by line: each line is gathered up to its CR LF (as much of it as can be a
// record), then judged once whole.
#include "journal/check.h"

#include <string.h>

namespace {

void breakAt(JournalCheck* check, uint64_t line, JournalBreak why) {
  if (check->verdict != JOURNAL_HOLDS) return;  // only the first break is told
  check->verdict = why;
  check->brokenLine = line;
}

// A record is checked for its order first: a removed or repeated record then reads as out of
// order, not as the edit its fingerprint alone would suggest.
void judgeRecord(JournalCheck* check, const char* text, size_t length) {
  JournalRecord record;
  if (!Journal_ParseRecord(text, length, &record)) {
    breakAt(check, check->lines, JOURNAL_UNREADABLE);
    return;
  }
  check->records++;
  if (record.number != check->lastNumber + 1) breakAt(check, check->lines, JOURNAL_OUT_OF_ORDER);
  else if (!Journal_FingerprintHolds(record, text, length, check->lastFingerprint))
    breakAt(check, check->lines, JOURNAL_EDITED);
  check->lastNumber = record.number;
  memcpy(check->lastFingerprint, record.fingerprint, SHA256_HEX);
}

void endLine(JournalCheck* check) {
  check->lines++;
  // The line without its CR. One longer than the buffer was not kept whole: it is neither the
  // header nor a record.
  bool kept = check->length <= sizeof check->line;
  size_t length = kept ? (size_t)check->length - 1 : 0;
  if (check->lines == 1) {
    bool header =
        kept && length == strlen(JOURNAL_HEADER) && !memcmp(check->line, JOURNAL_HEADER, length);
    if (!header) breakAt(check, 1, JOURNAL_HEADER_WRONG);
  } else if (!kept) {
    breakAt(check, check->lines, JOURNAL_UNREADABLE);
  } else {
    judgeRecord(check, check->line, length);
  }
  check->length = 0;
}

}  // namespace

void Journal_CheckStart(JournalCheck* check) {
  memset(check, 0, sizeof *check);
  memset(check->lastFingerprint, '0', SHA256_HEX);
}

void Journal_CheckBytes(JournalCheck* check, const char* bytes, size_t size) {
  for (size_t i = 0; i < size; i++) {
    char c = bytes[i];
    // The CR and LF may come in two pieces: the CR is kept with the line until then.
    if (c == '\n' && check->length > 0 && check->lastByte == '\r') {
      endLine(check);
      continue;
    }
    if (check->length < sizeof check->line) check->line[check->length] = c;
    check->length++;
    check->lastByte = c;
  }
}

void Journal_CheckEnd(JournalCheck* check) {
  if (check->length > 0) breakAt(check, check->lines + 1, JOURNAL_CUT);
}
