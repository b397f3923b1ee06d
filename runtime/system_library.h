// Libraries the program loads by name come from the system folder only: a library of the same
// name beside the program (a portable copy unpacked in Downloads) or in the current folder is
// never loaded. Windows builds only.
#pragma once

#include "runtime/platform.h"

// Loads NAME (a file name such as "msimg32.dll") from the system folder; null if it is not there.
HMODULE System_LoadLibrary(const Char16* name);

// Restricts the process's default library search to the system folder and takes the current
// folder out of it, for every later load by name, ours or a system library's own.
void System_RestrictLibrarySearch();

// A function of user32.dll that only newer systems have (the display-resolution calls of Windows
// 10), found once and kept: null where the system lacks it. `cache` starts null, `looked` false.
FARPROC System_User32Function(const char* name, FARPROC* cache, bool* looked);
