// The journal's dates: local time to the millisecond with its offset from UTC, as
// 2026-12-09T07:12:03.250+01:00. Always an offset, never "Z": the reader sees the clock the
// user saw and, from the offset, the instant.
#pragma once

#include <stddef.h>

const size_t JOURNAL_DATE_LENGTH = 29;

// Whether the LENGTH characters at TEXT are such a date: every digit and separator in its place,
// and each field within its range (the day within its month, 29 February in leap years only;
// offsets up to 14 hours).
bool Journal_DateInShape(const char* text, size_t length);
