// A record's line: written from its values, read back strictly, its fingerprint checked. The
// writer reads back what it wrote before handing it out, so that it never writes a line that
// the reader would refuse.
#include "journal/record.h"

#include <string.h>

const char JOURNAL_HEADER[] =
    "numero,date,boule1,boule2,boule3,boule4,boule5,etoile1,etoile2,empreinte";

namespace {

const int kBallMost = 49, kStarMost = 11;

// A line's fields are read in their order, each checked as it is met, so that the line is gone
// through once: the history parses every line of a journal of a million records as it opens.
struct Cursor {
  const char* at;
  const char* end;
};

// Decimal without sign or leading zero, of at most DIGITS digits and no more than MOST, and the
// comma that ends the field.
bool decimal(Cursor* c, size_t digits, uint64_t most, uint64_t* value) {
  const char* start = c->at;
  uint64_t v = 0;
  while (c->at < c->end && (size_t)(c->at - start) < digits && (unsigned)(*c->at - '0') < 10)
    v = v * 10 + (uint64_t)(*c->at++ - '0');
  size_t n = (size_t)(c->at - start);
  if (n == 0 || (start[0] == '0' && n > 1) || c->at == c->end || *c->at != ',') return false;
  c->at++;
  *value = v;
  return v <= most;
}

// COUNT values of one or two digits (no leading zero), each followed by a comma, at most MOST
// and no two the same. In 32 bits and a mask of those seen: the 32-bit build parses every line
// of a long journal as the history opens.
bool distinctValues(Cursor* c, int count, unsigned most, uint8_t* values) {
  uint64_t seen = 0;
  for (int i = 0; i < count; i++) {
    const char* p = c->at;
    if (c->end - p < 2 || (unsigned)(p[0] - '0') > 9) return false;
    unsigned v = (unsigned)(p[0] - '0');
    if ((unsigned)(p[1] - '0') <= 9 && p[0] != '0') v = v * 10 + (unsigned)(*++p - '0');
    if (++p == c->end || *p != ',' || v > most || (seen >> v & 1)) return false;
    seen |= (uint64_t)1 << v;
    values[i] = (uint8_t)v;
    c->at = p + 1;
  }
  return true;
}

// The date and the comma after it.
bool date(Cursor* c, const char** text) {
  if (c->end - c->at <= (ptrdiff_t)JOURNAL_DATE_LENGTH || c->at[JOURNAL_DATE_LENGTH] != ',' ||
      !Journal_DateInShape(c->at, JOURNAL_DATE_LENGTH))
    return false;
  *text = c->at;
  c->at += JOURNAL_DATE_LENGTH + 1;
  return true;
}

// The rest of the line: the fingerprint, every character looked at without a branch (digits and
// letters come in no order a processor could predict, and the history checks a million lines).
bool lowercaseHex(const Cursor& c) {
  if (c.end - c.at != (ptrdiff_t)SHA256_HEX) return false;
  unsigned all = 1;
  for (const char* p = c.at; p < c.end; p++)
    all &= (unsigned)((unsigned)(*p - '0') <= 9) | (unsigned)((unsigned)(*p - 'a') <= 5);
  return all != 0;
}

// The fingerprint of TEXT, a line up to its last comma, chained on PREVIOUS (null: the zeros).
bool fingerprint(const char* previous, const char* text, size_t length, char out[SHA256_HEX]) {
  char input[SHA256_HEX + 1 + JOURNAL_LINE_MAX];
  if (length > JOURNAL_LINE_MAX) return false;
  if (previous) memcpy(input, previous, SHA256_HEX);
  else memset(input, '0', SHA256_HEX);
  input[SHA256_HEX] = '\n';
  memcpy(input + SHA256_HEX + 1, text, length);
  return Sha256_Hex(input, SHA256_HEX + 1 + length, out);
}

// V in decimal, after SEPARATOR unless that is 0.
char* appendDecimal(char* out, uint64_t v, char separator = 0) {
  if (separator) *out++ = separator;
  char digits[20];
  int n = 0;
  do digits[n++] = (char)('0' + v % 10);
  while (v /= 10);
  while (n) *out++ = digits[--n];
  return out;
}

}  // namespace

bool Journal_ParseRecord(const char* line, size_t length, JournalRecord* record) {
  if (length >= JOURNAL_LINE_MAX) return false;
  Cursor c = {line, line + length};
  const char* dateText = nullptr;
  if (!decimal(&c, 19, JOURNAL_NUMBER_MAX, &record->number) || record->number == 0 ||
      !date(&c, &dateText) || !distinctValues(&c, JOURNAL_BALLS, kBallMost, record->balls) ||
      !distinctValues(&c, JOURNAL_STARS, kStarMost, record->stars) || !lowercaseHex(c))
    return false;
  memcpy(record->date, dateText, JOURNAL_DATE_LENGTH);
  record->date[JOURNAL_DATE_LENGTH] = 0;
  memcpy(record->fingerprint, c.at, SHA256_HEX);
  record->fingerprint[SHA256_HEX] = 0;
  return true;
}

bool Journal_FingerprintHolds(const JournalRecord& record, const char* line, size_t length,
                              const char* previous) {
  char expected[SHA256_HEX];
  if (length < SHA256_HEX + 1) return false;
  return fingerprint(previous, line, length - SHA256_HEX - 1, expected) &&
         memcmp(expected, record.fingerprint, SHA256_HEX) == 0;
}

size_t Journal_FormatRecord(JournalRecord* record, const char* previous, char* line,
                            size_t capacity) {
  // Room for the longest fields a record can be given, valid or not: 20 digits, a date, seven
  // values of 3 digits, the fingerprint and the commas.
  char text[JOURNAL_LINE_MAX];
  if (memchr(record->date, 0, sizeof record->date) != record->date + JOURNAL_DATE_LENGTH) return 0;
  char* out = appendDecimal(text, record->number);
  *out++ = ',';
  memcpy(out, record->date, JOURNAL_DATE_LENGTH);
  out += JOURNAL_DATE_LENGTH;
  for (uint8_t v : record->balls) out = appendDecimal(out, v, ',');
  for (uint8_t v : record->stars) out = appendDecimal(out, v, ',');
  size_t hashed = (size_t)(out - text);
  *out++ = ',';
  char print[SHA256_HEX];
  if (!fingerprint(previous, text, hashed, print)) return 0;
  memcpy(out, print, SHA256_HEX);
  size_t length = hashed + 1 + SHA256_HEX;
  JournalRecord written;
  if (!Journal_ParseRecord(text, length, &written) || length + 2 > capacity) return 0;
  memcpy(line, text, length);
  memcpy(line + length, "\r\n", 2);
  memcpy(record->fingerprint, print, SHA256_HEX);
  record->fingerprint[SHA256_HEX] = 0;
  return length + 2;
}
