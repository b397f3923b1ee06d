// A date and time in the user's locale (see local_time.h).
#include "app/local_time.h"

void LocalTime_Text(const SYSTEMTIME& t, DWORD dateFlags, Char16* text, int32_t capacity) {
  int n = 0;
  text[0] = 0;
  if (dateFlags) {
    n = GetDateFormatW(LOCALE_USER_DEFAULT, dateFlags, &t, nullptr, text, capacity);
    if (n <= 0 || n >= capacity) return;
    text[n - 1] = L' ';
  }
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &t, nullptr, text + n, capacity - n);
}
