// The date's shape, checked field by field against a pattern and a table of ranges, so that a
// date the program cannot have written is not a record.
#include "journal/date.h"

namespace {

// 'd' a digit, 's' the offset's sign, anything else itself.
const char kPattern[] = "dddd-dd-ddTdd:dd:dd.dddsdd:dd";
static_assert(sizeof kPattern == JOURNAL_DATE_LENGTH + 1, "the pattern is a date long");

struct Field {
  size_t at, width;
  int least, most;
};
enum { YEAR, MONTH, DAY };
const Field kFields[] = {{0, 4, 0, 9999}, {5, 2, 1, 12},  {8, 2, 1, 31},
                         {11, 2, 0, 23},  {14, 2, 0, 59}, {17, 2, 0, 59},
                         {20, 3, 0, 999}, {24, 2, 0, 14}, {27, 2, 0, 59}};

int value(const char* text, const Field& f) {
  int v = 0;
  for (size_t i = 0; i < f.width; i++) v = v * 10 + (text[f.at + i] - '0');
  return v;
}

bool shaped(const char* text) {
  for (size_t i = 0; i < JOURNAL_DATE_LENGTH; i++) {
    char c = text[i], p = kPattern[i];
    bool fits = p == 'd' ? c >= '0' && c <= '9' : p == 's' ? c == '+' || c == '-' : c == p;
    if (!fits) return false;
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
  if (length != JOURNAL_DATE_LENGTH || !shaped(text)) return false;
  int v[sizeof kFields / sizeof kFields[0]];
  for (size_t i = 0; i < sizeof kFields / sizeof kFields[0]; i++) {
    v[i] = value(text, kFields[i]);
    if (v[i] < kFields[i].least || v[i] > kFields[i].most) return false;
  }
  return dayInMonth(v[YEAR], v[MONTH], v[DAY]);
}
