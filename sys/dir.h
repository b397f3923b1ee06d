// Directory examination: an open search of one directory with a file-name pattern.
//
// An examination is a numbered runtime object. It succeeds whenever the directory can be
// listed, whether or not anything in it matches: a folder with no match is open too, with
// INVALID_HANDLE_VALUE as its search handle and noMatch set, and must be finished like any
// other. The registry of the kind is made on the first Dir_Examine.
#pragma once

#include "runtime/platform.h"

struct ObjectRegistry;

// The record of the directory kind. searchHandle is the live mark: a live search, or
// INVALID_HANDLE_VALUE when nothing matched (non-zero in both cases), zero once finished.
struct DirExamination {
  HANDLE searchHandle;
  int32_t noMatch;            // 1: the directory exists but nothing in it matches the pattern
  WIN32_FIND_DATAW findData;  // the first matching entry, as FindFirstFileW gave it
};

// Opens an examination of `path` (absent: the current directory) with `pattern` (absent or
// empty: "*.*") under `number` (0 or more, or OBJECT_DYNAMIC), finishing whatever examination
// was open under it. Returns the record's address (the number, for OBJECT_DYNAMIC) or 0 when
// the directory cannot be listed or memory runs out; nothing is left under the number then.
void* Dir_Examine(intptr_t number, const Char16* path, const Char16* pattern);
// Closes the search and frees the examination. A number that names none is ignored; -1 has
// no "every examination" meaning here. Also the registry's free entry for the kind.
void Dir_Finish(intptr_t number);
// Finishes every open examination; run once at runtime end.
void Dir_End();

// The kind's registry, or null before the first Dir_Examine since the runtime started (for
// tests and accounting).
ObjectRegistry* Dir_Registry();
