// The check, line by line: each line is gathered up to its CR LF (as much of it as can be a
// record), then judged once whole.
#include "journal/check.h"

#include <string.h>

#include "journal/lines.h"

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

// A record is checked for its order first: a removed or repeated record then reads as out of
// order, not as the edit its fingerprint alone would suggest.
// RECORD read from the LENGTH bytes at TEXT, the line LINE of the file.
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
  } else {
    JournalRecord record;
    if (kept && Journal_ParseRecord(check->line, length, &record))
      judgeRecord(check, check->lines, record, check->line, length);
    else breakAt(check, check->lines, JOURNAL_UNREADABLE);
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
  if (check->length == 0) return;
  // The open last line: a record that lost only its line end still counts (and is judged as
  // any record); anything else is a line cut short.
  size_t length = (size_t)check->length;
  JournalRecord record;
  bool kept = check->lines > 0 && length <= sizeof check->line;
  if (kept && Journal_ParseOpenLine(check->line, length, &record)) {
    if (check->line[length - 1] == '\r') length--;
    judgeRecord(check, check->lines + 1, record, check->line, length);
  } else {
    breakAt(check, check->lines + 1, JOURNAL_CUT);
  }
}
