// See journal_ops_win.h.
#include "bench/journal_ops_win.h"

#include <wchar.h>

namespace {
// The first number of a sentence ("1000000 tirages vérifiés..."), its digits perhaps grouped by
// spaces as a locale writes them.
uint64_t leadingCount(const wchar_t* text) {
  while (*text && !(*text >= L'0' && *text <= L'9')) text++;
  uint64_t n = 0;
  for (; *text; text++) {
    if (*text >= L'0' && *text <= L'9') n = n * 10 + (uint64_t)(*text - L'0');
    else if (!((*text == L' ' || *text == 0xA0 || *text == 0x202F) && text[1] >= L'0' &&
               text[1] <= L'9'))
      break;
  }
  return n;
}
}  // namespace

#if __has_include("app/history_export.h")

#include "app/history_export.h"

// The history's own functions, as its buttons call them (no anchor noted).
bool JournalOps_Verify(const wchar_t* path, uint64_t* records, wchar_t told[256]) {
  Char16 text[1024] = {};
  HistoryExport_Check((const Char16*)path, TEXT16(""), text, 1024);
  wcsncpy(told, (const wchar_t*)text, 255);
  told[255] = 0;
  *records = leadingCount(told);
  return text[0] != 0;
}

bool JournalOps_Export(const wchar_t* path, const wchar_t* out) {
  Char16 told[1024] = {};
  return HistoryExport_Save((const Char16*)path, (const Char16*)out, told, 1024);
}

const char* JournalOps_Source() { return "app/history_export.h"; }

#else

// The old tree: app/history.cpp compiled here whole. Its buttons' procedures, verifyAsked and
// exportTo, read the window's open journal (g_history.file), which is opened here as the window
// opened it (openJournal's CreateFileW), without the window or its index; what they tell the
// user comes here instead of a message box. The file's functions with external linkage are
// defined here too, so the linker takes none of them from the program's library (a static one:
// an object is only taken for a symbol still missing).
#include "sys/requester.h"

namespace {
wchar_t g_told[256];
int told(const Char16* text) {
  wcsncpy(g_told, (const wchar_t*)text, 255);
  g_told[255] = 0;
  return IDOK;
}
}  // namespace

#define Requester_Message(title, text, flags) told(text)
#include "app/history.cpp"
#undef Requester_Message

namespace {
bool openAt(const wchar_t* path) {
  HANDLE file =
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  g_history = History{};
  g_history.file = file == INVALID_HANDLE_VALUE ? nullptr : file;
  g_told[0] = 0;
  return g_history.file != nullptr;
}

void closeIt() {
  if (g_history.file) CloseHandle(g_history.file);
  g_history = History{};
}
}  // namespace

bool JournalOps_Verify(const wchar_t* path, uint64_t* records, wchar_t told[256]) {
  if (!openAt(path)) return false;
  verifyAsked();
  closeIt();
  wcscpy(told, g_told);
  // "N tirages vérifiés : ..." or "N tirages lus. Ligne ...": the count leads either way.
  *records = leadingCount(g_told);
  return g_told[0] != 0;
}

bool JournalOps_Export(const wchar_t* path, const wchar_t* out) {
  if (!openAt(path)) return false;
  exportTo(out);
  closeIt();
  return g_told[0] == 0;  // it speaks only to say that the export failed
}

const char* JournalOps_Source() { return "app/history.cpp (old)"; }

#endif
