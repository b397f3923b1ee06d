// Loading system libraries from the system folder. LOAD_LIBRARY_SEARCH_SYSTEM32 and
// SetDefaultDllDirectories come with Windows 8, and with an update to Windows 7 that not every
// Windows 7 has: without them LoadLibraryExW refuses the flag, and the library is loaded by its
// full path in the system folder instead.
#include "runtime/system_library.h"

#include <string.h>

HMODULE System_LoadLibrary(const Char16* name) {
  HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  Char16 path[MAX_PATH];
  UINT folder = GetSystemDirectoryW(path, MAX_PATH);
  size_t length = Text_Length(name);
  if (folder == 0 || folder + 1 + length >= MAX_PATH) return nullptr;
  path[folder] = '\\';
  memcpy(path + folder + 1, name, (length + 1) * sizeof(Char16));
  // The altered search path finds the library's own dependencies beside it, in the system folder.
  return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void System_RestrictLibrarySearch() {
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  SetDefaultDllDirectoriesFn setDefault =
      kernel ? (SetDefaultDllDirectoriesFn)(void*)GetProcAddress(kernel, "SetDefaultDllDirectories")
             : nullptr;
  if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Where that call is missing, this at least takes the current folder out of the search.
  SetDllDirectoryW(L"");
}

FARPROC System_User32Function(const char* name, FARPROC* cache, bool* looked) {
  if (!*looked) {
    *looked = true;
    // user32 is linked in, so it is loaded already: no search is made.
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    *cache = user32 ? GetProcAddress(user32, name) : nullptr;
  }
  return *cache;
}
