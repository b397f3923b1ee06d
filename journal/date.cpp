// The date's shape, checked separator by separator and field by field against a table of
// ranges, so that a date the program cannot have written is not a record.
#include "journal/date.h"

namespace {

// The separators' places and what each must be ('s': the offset's sign); every other place is a
// digit of one of the fields below.
const struct {
  size_t at;
  char is;
} kSeparators[] = {{4, '-'},  {7, '-'},  {10, 'T'}, {13, ':'},
                   {16, ':'}, {19, '.'}, {23, 's'}, {26, ':'}};

struct Field {
  size_t at, width;
  int least, most;
};
enum { YEAR, MONTH, DAY };
const Field kFields[] = {{0, 4, 0, 9999}, {5, 2, 1, 12},  {8, 2, 1, 31},
                         {11, 2, 0, 23},  {14, 2, 0, 59}, {17, 2, 0, 59},
                         {20, 3, 0, 999}, {24, 2, 0, 14}, {27, 2, 0, 59}};

// The field's value; -1 when a place of it holds no digit.
int value(const char* text, const Field& f) {
  int v = 0;
  for (size_t i = 0; i < f.width; i++) {
    unsigned digit = (unsigned)(text[f.at + i] - '0');
    if (digit > 9) return -1;
    v = v * 10 + (int)digit;
  }
  return v;
}

bool separated(const char* text) {
  for (const auto& s : kSeparators) {
    char c = text[s.at];
    if (s.is == 's' ? c != '+' && c != '-' : c != s.is) return false;
  }
  return true;
}

bool dayInMonth(int year, int month, int day) {
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  return day <= kDays[month - 1] && (month != 2 || day < 29 || leap);
}

}  // namespace

bool Journal_DateInShape(const char* text, size_t length) {
  if (length != JOURNAL_DATE_LENGTH || !separated(text)) return false;
  int v[sizeof kFields / sizeof kFields[0]];
  for (size_t i = 0; i < sizeof kFields / sizeof kFields[0]; i++) {
    v[i] = value(text, kFields[i]);
    if (v[i] < kFields[i].least || v[i] > kFields[i].most) return false;
  }
  return dayInMonth(v[YEAR], v[MONTH], v[DAY]);
}
