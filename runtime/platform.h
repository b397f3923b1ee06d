// The one place where the platform's names come in.
//
// On Windows this is <windows.h>. In the native (Linux) builds the host layer in host/ supplies
// the few kernel calls that the platform-free code makes, under the same names and with the
// same contracts, so the runtime core and the decoders compile unchanged on both.
//
// Text is UTF-16 everywhere. `Char16` is the one 16-bit character type: WCHAR on Windows,
// char16_t natively (wchar_t is 4 bytes on Linux, so it is never used in platform-free code).
// Write literals with TEXT16("...").
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
typedef WCHAR Char16;
#define TEXT16(s) L##s
#else
#include "host/host.h"
typedef char16_t Char16;
#define TEXT16(s) u##s
#endif

static_assert(sizeof(Char16) == 2, "text is UTF-16");

// Small helpers over 16-bit text (the platform-free code never uses wcs* functions).
size_t Text_Length(const Char16* text);                    // 0 for a null text
int Text_Compare(const Char16* a, const Char16* b);        // like wcscmp
int Text_CompareNoCase(const Char16* a, const Char16* b);  // like _wcsicmp (ASCII letters)
Char16 Text_LowerChar(Char16 c);                           // ASCII tolower
