// A date and time as the user reads them: in the user's locale, seconds included.
#pragma once

#include "runtime/platform.h"

// The time T, after its date in the form DATE_FLAGS asks for (none when 0): "9 décembre 2026
// 07:12:03". Empty when the locale cannot write it within CAPACITY characters.
void LocalTime_Text(const SYSTEMTIME& t, DWORD dateFlags, Char16* text, int32_t capacity);
