// The check, line by line: the lines come whole from the journal's forward reading, the one the
// history reads with, and each is judged once.
#include "journal/check.h"

#include <string.h>

namespace {

bool hexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }
char lower(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

// The noted record, when this is it: the first record of its number decides.
void noteAnchor(JournalCheck* check, const JournalRecord& record) {
  if (check->anchor != JOURNAL_ANCHOR_MISSING || record.number != check->anchorNumber) return;
  bool same = memcmp(record.fingerprint, check->anchorHex, check->anchorLength) == 0;
  check->anchor = same ? JOURNAL_ANCHOR_MATCHES : JOURNAL_ANCHOR_DIFFERS;
}

void breakAt(JournalCheck* check, uint64_t line, JournalBreak why) {
  if (check->verdict != JOURNAL_HOLDS) return;  // only the first break is told
  check->verdict = why;
  check->brokenLine = line;
}

// RECORD, read from the LENGTH bytes at TEXT, the line LINE of the file. It is checked for its
// order first: a removed or repeated record then reads as out of order, not as the edit its
// fingerprint alone would suggest.
void judgeRecord(JournalCheck* check, uint64_t line, const JournalRecord& record, const char* text,
                 size_t length) {
  check->records++;
  noteAnchor(check, record);
  if (record.number != check->lastNumber + 1) breakAt(check, line, JOURNAL_OUT_OF_ORDER);
  else if (!Journal_FingerprintHolds(record, text, length, check->lastFingerprint))
    breakAt(check, line, JOURNAL_EDITED);
  check->lastNumber = record.number;
  memcpy(check->lastFingerprint, record.fingerprint, SHA256_HEX);
}

void judgeLine(void* context, const JournalForwardLine& line) {
  JournalCheck* check = (JournalCheck*)context;
  JournalRecord record;
  if (line.number == 1) {
    bool header = line.text && line.length == strlen(JOURNAL_HEADER) &&
                  !memcmp(line.text, JOURNAL_HEADER, line.length);
    if (!header) breakAt(check, 1, JOURNAL_HEADER_WRONG);
  } else if (Journal_ForwardRecord(line, &record)) {
    judgeRecord(check, line.number, record, line.text, line.length);
  } else {
    breakAt(check, line.number, JOURNAL_UNREADABLE);
  }
}

}  // namespace

void Journal_CheckStart(JournalCheck* check) {
  memset(check, 0, sizeof *check);
  memset(check->lastFingerprint, '0', SHA256_HEX);
  Journal_ForwardStart(&check->lines, 0, false);
}

void Journal_CheckBytes(JournalCheck* check, const char* bytes, size_t size) {
  Journal_ForwardFeed(&check->lines, bytes, size, judgeLine, check);
}

bool Journal_ParseAnchor(const char* text, size_t length, uint64_t* number, char hex[SHA256_HEX],
                         size_t* hexLength) {
  const char* colon = (const char*)memchr(text, ':', length);
  size_t digits = colon ? (size_t)(colon - text) : 0, count = colon ? length - digits - 1 : 0;
  if (digits == 0 || digits > 19 || text[0] == '0' || count < 8 || count > SHA256_HEX) return false;
  uint64_t n = 0;
  for (size_t i = 0; i < digits; i++) {
    if (text[i] < '0' || text[i] > '9') return false;
    n = n * 10 + (uint64_t)(text[i] - '0');
  }
  for (size_t i = 0; i < count; i++) {
    hex[i] = lower(colon[1 + i]);
    if (!hexDigit(hex[i])) return false;
  }
  if (n > JOURNAL_NUMBER_MAX) return false;
  *number = n;
  *hexLength = count;
  return true;
}

void Journal_CheckAnchor(JournalCheck* check, uint64_t number, const char* hex, size_t length) {
  check->anchor = JOURNAL_ANCHOR_MISSING;  // until the record is met
  check->anchorNumber = number;
  check->anchorLength = length < SHA256_HEX ? length : SHA256_HEX;
  memcpy(check->anchorHex, hex, check->anchorLength);
}

void Journal_CheckEnd(JournalCheck* check) {
  const JournalForward& open = check->lines;
  if (open.length == 0) return;
  // The open last line: a record that lost only its line end still counts (and is judged as
  // any record); anything else is a line cut short.
  JournalRecord record;
  if (Journal_ForwardOpen(open, &record))
    judgeRecord(check, open.number, record, open.text,
                (size_t)open.length - (open.text[open.length - 1] == '\r'));
  else breakAt(check, open.number, JOURNAL_CUT);
}
