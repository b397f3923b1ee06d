// Directory examination: opens a search of one directory with a file-name pattern through
// FindFirstFileW and keeps it as a numbered object until it is finished.
//
// Only the first entry is ever read; the examination's real use is to tell whether a
// directory can be listed at all. Depends on the registry and the program heap.
#include "sys/dir.h"

#include "runtime/memory.h"
#include "runtime/registry.h"

namespace {

ObjectRegistry* g_dirRegistry;

const Char16 kDefaultPattern[] = TEXT16("*.*");

// Builds path + "\" + pattern on the program heap, with the separator only when the path is
// not empty and does not end in a backslash (a forward slash does not count). Null when the
// size overflows or the heap refuses.
Char16* composeSearchString(const Char16* path, const Char16* pattern) {
  size_t pathLength = Text_Length(path);
  size_t patternLength = Text_Length(pattern);
  // Both texts, one separator and the terminator, in UTF-16 units.
  if (pathLength > ((size_t)-1) / sizeof(Char16) - 2 - patternLength) return nullptr;
  size_t units = pathLength + patternLength + 2;
  Char16* search = (Char16*)HeapAlloc(g_programHeap, 0, units * sizeof(Char16));
  if (!search) return nullptr;
  size_t at = 0;
  for (size_t i = 0; i < pathLength; i++) search[at++] = path[i];
  if (pathLength > 0 && path[pathLength - 1] != TEXT16('\\')) search[at++] = TEXT16('\\');
  for (size_t i = 0; i < patternLength; i++) search[at++] = pattern[i];
  search[at] = 0;
  return search;
}

}  // namespace

ObjectRegistry* Dir_Registry() { return g_dirRegistry; }

void* Dir_Examine(intptr_t number, const Char16* path, const Char16* pattern) {
  if (!g_dirRegistry) {
    g_dirRegistry = Registry_Create((int32_t)sizeof(DirExamination), 16, Dir_Finish);
    if (!g_dirRegistry) return nullptr;
  }
  // An examination already open under the number is finished here, by the registry's call
  // of Dir_Finish, so a failure below leaves nothing under the number.
  DirExamination* examination = (DirExamination*)Registry_Allocate(g_dirRegistry, number);
  if (!examination) return nullptr;

  if (!path) path = TEXT16("");
  if (!pattern || !pattern[0]) pattern = kDefaultPattern;

  bool listed = false;
  if (Char16* search = composeSearchString(path, pattern)) {
    examination->searchHandle = FindFirstFileW(search, &examination->findData);
    if (examination->searchHandle != INVALID_HANDLE_VALUE) {
      examination->noMatch = 0;
      listed = true;
    } else if (GetLastError() == ERROR_FILE_NOT_FOUND) {
      // The directory is there and readable; nothing in it matches.
      examination->noMatch = 1;
      listed = true;
    }
    HeapFree(g_programHeap, 0, search);
  }
  if (listed) return examination;

  Registry_Release(g_dirRegistry, number == OBJECT_DYNAMIC ? (intptr_t)examination : number);
  return nullptr;
}

void Dir_Finish(intptr_t number) {
  // The kind has no "every examination" number: -1 names nothing and frees nothing.
  if (!g_dirRegistry || number == OBJECT_ALL) return;
  DirExamination* examination = (DirExamination*)Registry_Get(g_dirRegistry, number);
  if (!examination) return;
  if (examination->searchHandle != INVALID_HANDLE_VALUE) FindClose(examination->searchHandle);
  Registry_Release(g_dirRegistry, number);
}

void Dir_End() {
  if (g_dirRegistry) Registry_FreeAll(g_dirRegistry);
  // The registry lives on the program heap, which goes after the end: a runtime started again
  // makes a new one at its first examination.
  g_dirRegistry = nullptr;
}
