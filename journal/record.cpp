// A record's line: written from its values, read back strictly, its fingerprint checked. The
// writer reads back what it wrote before handing it out, so that it never writes a line that
// the reader would refuse.
#include "journal/record.h"

#include <string.h>

const char JOURNAL_HEADER[] =
    "numero,date,boule1,boule2,boule3,boule4,boule5,etoile1,etoile2,empreinte";

namespace {

const int kFields = 3 + JOURNAL_BALLS + JOURNAL_STARS;  // number, date, values, fingerprint
const int kBallMost = 49, kStarMost = 11;

struct Span {
  const char* text;
  size_t length;
};

// The fields between the commas of a line; false unless there are exactly kFields.
bool split(const char* line, size_t length, Span fields[kFields]) {
  int n = 0;
  size_t from = 0;
  for (size_t i = 0; i <= length; i++) {
    if (i < length && line[i] != ',') continue;
    if (n == kFields) return false;
    fields[n++] = {line + from, i - from};
    from = i + 1;
  }
  return n == kFields;
}

// Decimal without sign or leading zero, of at most DIGITS digits and no more than MOST.
bool decimal(const Span& s, size_t digits, uint64_t most, uint64_t* value) {
  if (s.length == 0 || s.length > digits || (s.text[0] == '0' && s.length > 1)) return false;
  uint64_t v = 0;
  for (size_t i = 0; i < s.length; i++) {
    if (s.text[i] < '0' || s.text[i] > '9') return false;
    v = v * 10 + (uint64_t)(s.text[i] - '0');
  }
  *value = v;
  return v <= most;
}

// COUNT values, each at most MOST and no two the same.
bool distinctValues(const Span* fields, int count, uint64_t most, uint8_t* values) {
  for (int i = 0; i < count; i++) {
    uint64_t v;
    if (!decimal(fields[i], 2, most, &v)) return false;
    values[i] = (uint8_t)v;
    for (int j = 0; j < i; j++)
      if (values[j] == values[i]) return false;
  }
  return true;
}

bool lowercaseHex(const Span& s) {
  if (s.length != SHA256_HEX) return false;
  for (size_t i = 0; i < s.length; i++) {
    char c = s.text[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
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
  Span f[kFields];
  if (length >= JOURNAL_LINE_MAX || !split(line, length, f)) return false;
  if (!decimal(f[0], 19, JOURNAL_NUMBER_MAX, &record->number) || record->number == 0 ||
      !Journal_DateInShape(f[1].text, f[1].length) ||
      !distinctValues(f + 2, JOURNAL_BALLS, kBallMost, record->balls) ||
      !distinctValues(f + 2 + JOURNAL_BALLS, JOURNAL_STARS, kStarMost, record->stars) ||
      !lowercaseHex(f[kFields - 1]))
    return false;
  memcpy(record->date, f[1].text, JOURNAL_DATE_LENGTH);
  record->date[JOURNAL_DATE_LENGTH] = 0;
  memcpy(record->fingerprint, f[kFields - 1].text, SHA256_HEX);
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
