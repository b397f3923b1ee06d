// The history window (see history.h). While it is open it keeps the journal open for reading
// (sharing it with the writer, which only appends) and an index of where each record's line
// starts; the list asks for the rows it shows and each is read and parsed then. The index is
// made going back from the file's end, a screenful at once and the rest a few megabytes at a
// time on a timer, so that the newest draws show at once however long the journal; a draw
// recorded while the window is open is indexed going forward from where the file ended.
#include "app/history.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <string.h>

#include "app/draw.h"
#include "app/journal_file.h"
#include "gui/event_queue.h"
#include "gui/gadget.h"
#include "gui/window.h"
#include "journal/check.h"
#include "journal/record.h"
#include "runtime/memory.h"
#include "sys/requester.h"

namespace {

const intptr_t kList = 20, kFooter = 21, kExport = 22, kVerify = 23, kFolder = 24;
const Char16 kTitle[] = TEXT16("Historique des tirages");
const size_t kChunk = 1 << 20;  // a read: fewer calls into the system
const uint64_t kUnknown = ~0ull;
const intptr_t kIndexTimer = 1;
const uint64_t kBytesPerTick = 4u << 20;  // a few milliseconds: the window stays responsive
const size_t kFirstRows = 100;            // indexed before the window shows: a screenful
const uint64_t kFirstRead = 1 << 16;      // larger than any record line

// Doubles a block of *capacity elements of `unit` bytes (`first` elements when there is none);
// false, the block as it was, without memory.
bool grow(void** block, size_t* capacity, size_t first, size_t unit) {
  size_t more = *capacity ? 2 * *capacity : first;
  void* grown = *block ? HeapReAlloc(g_programHeap, 0, *block, more * unit)
                       : HeapAlloc(g_programHeap, 0, more * unit);
  if (!grown) return false;
  *block = grown;
  *capacity = more;
  return true;
}

// Offsets where record lines start.
struct Starts {
  uint64_t* at;
  size_t count;
  size_t capacity;
  void push(uint64_t start) {
    if (count < capacity || grow((void**)&at, &capacity, 1024, sizeof(uint64_t)))
      at[count++] = start;
  }
};

struct History {
  HANDLE file;
  Starts newer;      // recorded since the window opened, oldest first
  Starts older;      // found going back from the end the file had then, newest first
  uint64_t scanned;  // going forward: up to the end of the last whole line (kUnknown at first)
  // Going back: the line feed ending the line whose start is sought, where the next read ends,
  // and whether that line is already too long to be a record.
  uint64_t lineEnd;
  uint64_t readTop;
  bool lineLong;
  bool backDone;
  intptr_t cachedRow;  // the list asks for a row's columns in turn: the row read last
  JournalRecord cached;
};
History g_history;

size_t rowCount() { return g_history.newer.count + g_history.older.count; }

bool readAt(HANDLE file, uint64_t offset, char* bytes, DWORD size, DWORD* got) {
  OVERLAPPED place = {};
  place.Offset = (DWORD)offset;
  place.OffsetHigh = (DWORD)(offset >> 32);
  return ReadFile(file, bytes, size, got, &place) != 0;
}

// A line (its line feed left out) that looks like a record's: whole (ended by CR), not too
// long, starting with a digit (the header and most garbage do not) and ending with a comma and a
// fingerprint's length (a line cut by a crash does not). It is parsed only when shown.
bool recordLine(const char* line, size_t length) {
  return length > SHA256_HEX + 2 && length <= JOURNAL_LINE_MAX + 2 && line[length - 1] == '\r' &&
         line[length - SHA256_HEX - 2] == ',' && line[0] >= '0' && line[0] <= '9';
}

// Calls visit(start, line, length) for every whole line (ended by CR LF, its CR LF left out) from
// `from`; a line too long to be a record comes with length 0. The offset after the last one.
template <typename Visit>
uint64_t scanLines(HANDLE file, uint64_t from, Visit visit) {
  char* chunk = (char*)HeapAlloc(g_programHeap, 0, kChunk);
  if (!chunk) return from;
  char line[JOURNAL_LINE_MAX + 2];
  size_t length = 0;
  uint64_t start = from, at = from, done = from;
  DWORD got = 0;
  while (readAt(file, at, chunk, kChunk, &got) && got > 0) {
    for (const char* p = chunk; p < chunk + got;) {
      const char* end = (const char*)memchr(p, '\n', (size_t)(chunk + got - p));
      size_t piece = (size_t)((end ? end : chunk + got) - p);
      if (length < sizeof line)
        memcpy(line + length, p, piece < sizeof line - length ? piece : sizeof line - length);
      length += piece;
      if (!end) break;
      bool whole = length > 0 && length <= sizeof line && line[length - 1] == '\r';
      visit(start, line, whole ? length - 1 : 0);
      start = done = at + (uint64_t)(end - chunk) + 1;
      length = 0;
      p = end + 1;
    }
    at += got;
  }
  HeapFree(g_programHeap, 0, chunk);
  return done;
}

// Records written since the last look, going forward.
void indexMore() {
  History& h = g_history;
  h.scanned = scanLines(h.file, h.scanned, [](uint64_t start, const char* line, size_t length) {
    if (recordLine(line, length + 1)) g_history.newer.push(start);  // its CR at `length`
  });
  h.cachedRow = -1;
}

// Older records, going back about `budget` bytes from where the last call stopped. The first
// line feed met ends the last whole line: where indexMore goes on from.
void indexBack(uint64_t budget) {
  History& h = g_history;
  char* chunk = (char*)HeapAlloc(g_programHeap, 0, kChunk);
  for (uint64_t read = 0; chunk && !h.backDone && read < budget;) {
    uint64_t step = budget < kChunk ? budget : kChunk, top = h.readTop;
    uint64_t low = top > step ? top - step : 0;
    DWORD got = 0;
    if (!readAt(h.file, low, chunk, (DWORD)(top - low), &got) || got != top - low) {
      h.backDone = true;  // the rows found so far are all the list gets: no read tried forever
      break;
    }
    bool found = false;
    for (size_t i = (size_t)(top - low); i-- > 0;) {
      if (chunk[i] != '\n') continue;
      uint64_t p = low + i;
      if (!h.lineLong && recordLine(chunk + i + 1, (size_t)(h.lineEnd - p - 1)))
        h.older.push(p + 1);
      if (h.scanned == kUnknown) h.scanned = p + 1;
      h.lineEnd = p;
      h.lineLong = false;
      found = true;
    }
    if (low == 0) {
      if (!h.lineLong && recordLine(chunk, (size_t)h.lineEnd)) h.older.push(0);
      if (h.scanned == kUnknown) h.scanned = 0;
      h.backDone = true;
    }
    // A line longer than a whole read is no record: its start is sought without keeping it.
    h.lineLong = h.lineLong || !found;
    h.readTop = h.lineLong ? low : h.lineEnd;
    read += top - low;
  }
  if (chunk) HeapFree(g_programHeap, 0, chunk);
  else h.backDone = true;
  if (h.backDone && h.scanned == kUnknown) h.scanned = 0;
}

// The list's row count; `askAgain` when rows came before those shown.
void showRows(bool askAgain) { Gadget_ListRows(kList, (intptr_t)rowCount(), askAgain); }

void indexTick() {
  indexBack(kBytesPerTick);
  showRows(false);  // older rows go below
  if (g_history.backDone) KillTimer(Window_Handle(HISTORY_WINDOW), kIndexTimer);
}

// The record shown in `row` (newest first); false when it cannot be read.
bool rowRecord(intptr_t row, JournalRecord* record) {
  History& h = g_history;
  if (row < 0 || (size_t)row >= rowCount()) return false;
  if (row == h.cachedRow) {
    *record = h.cached;
    return true;
  }
  char line[JOURNAL_LINE_MAX + 2];
  DWORD got = 0;
  size_t r = (size_t)row, newer = h.newer.count;
  uint64_t start = r < newer ? h.newer.at[newer - 1 - r] : h.older.at[r - newer];
  if (!readAt(h.file, start, line, sizeof line, &got)) return false;
  DWORD length = 0;
  while (length < got && line[length] != '\r') length++;
  if (!Journal_ParseRecord(line, length, record)) return false;
  h.cachedRow = row;
  h.cached = *record;
  return true;
}

// "9 décembre 2026 07:12" in the user's locale: the date and time the record was written at.
void dateText(const char* date, Char16* text, int32_t capacity) {
  auto at = [date](int from, int digits) {
    WORD v = 0;
    for (int i = 0; i < digits; i++) v = (WORD)(v * 10 + (date[from + i] - '0'));
    return v;
  };
  SYSTEMTIME t = {at(0, 4), at(5, 2), 0, at(8, 2), at(11, 2), at(14, 2), at(17, 2), 0};
  int n = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &t, nullptr, text, capacity);
  if (n <= 0 || n >= capacity) return;
  text[n - 1] = L' ';
  GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &t, nullptr, text + n, capacity - n);
}

void valuesText(const uint8_t* values, int count, Char16* text) {
  int n = 0;
  for (int i = 0; i < count; i++) n += wsprintfW(text + n, i ? L" %u" : L"%u", values[i]);
}

// A row's columns; column -1, the sentence a screen reader reads for it ("Tirage 12, 9 décembre
// 2026 07:12, boules 3 17 22 41 48, étoiles 2 9").
void rowText(intptr_t row, int32_t column, Char16* text, int32_t capacity) {
  JournalRecord r;
  if (capacity < 32 || !rowRecord(row, &r)) return;
  if (column == -1 && capacity >= 160) {
    Char16 date[96] = L"", balls[32], stars[16];
    dateText(r.date, date, 96);
    valuesText(r.balls, JOURNAL_BALLS, balls);
    valuesText(r.stars, JOURNAL_STARS, stars);
    wsprintfW(text, L"Tirage %I64u, %s, boules %s, \u00E9toiles %s", r.number, date, balls, stars);
  }
  if (column == 0) wsprintfW(text, L"%I64u", r.number);
  if (column == 1) dateText(r.date, text, capacity);
  if (column == 2) valuesText(r.balls, JOURNAL_BALLS, text);
  if (column == 3) valuesText(r.stars, JOURNAL_STARS, text);
}

void showFooter() {
  Char16 text[128];
  JournalRecord last;
  if (rowRecord(0, &last))
    wsprintfW(text, L"Dernier tirage : n\u00B0 %I64u, empreinte %.16S", last.number,
              last.fingerprint);
  else lstrcpyW(text, L"Aucun tirage enregistr\u00E9.");
  Gadget_SetText(kFooter, text);
}

// Output gathered in a buffer and written to `file` a chunk at a time; `failed` once a write
// failed.
struct Writer {
  HANDLE file;
  char* bytes;
  size_t used;
  bool failed;
  void put(const char* data, size_t size) {
    if (used + size > kChunk) flush();
    if (size <= kChunk - used) memcpy(bytes + used, data, size), used += size;
  }
  void flush() {
    DWORD written = 0;
    if (used && (!WriteFile(file, bytes, (DWORD)used, &written, nullptr) || written != used))
      failed = true;
    used = 0;
  }
};

// The journal's fields joined by `separator`, the locale's list separator in UTF-8.
void exportLine(Writer* out, const JournalRecord& r, const char* separator) {
  char line[256];
  int n = wsprintfA(line, "%I64u%s%s", r.number, separator, r.date);
  for (int i = 0; i < JOURNAL_BALLS; i++) n += wsprintfA(line + n, "%s%u", separator, r.balls[i]);
  for (int i = 0; i < JOURNAL_STARS; i++) n += wsprintfA(line + n, "%s%u", separator, r.stars[i]);
  n += wsprintfA(line + n, "%s%s\r\n", separator, r.fingerprint);
  out->put(line, (size_t)n);
}

// The hourglass while a whole journal is read (a million records take a second or two).
struct Busy {
  HCURSOR was = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  ~Busy() { SetCursor(was); }
};

void tell(const Char16* text) { Requester_Message(kTitle, text, MB_OK); }

void tellError(const Char16* what) {
  Char16 reason[512] = {}, text[768];
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 GetLastError(), 0, reason, 512, nullptr);
  wsprintfW(text, L"%s :\n%s", what, reason);
  tell(text);
}

// A CSV that a spreadsheet in the user's locale opens as columns: its list separator, UTF-8
// with a byte order mark.
void exportTo(const Char16* name) {
  Busy busy;
  Char16 wide[8] = L",";
  char separator[16] = ",";
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLIST, wide, 8) > 1)
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, separator, sizeof separator, nullptr, nullptr);
  HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return tellError(L"L'export n'a pas pu \u00EAtre \u00E9crit");
  Writer out = {file, (char*)HeapAlloc(g_programHeap, 0, kChunk), 0, false};
  if (out.bytes) {
    out.put("\xEF\xBB\xBF", 3);
    const char* names[] = {"numero", "date",   "boule1",  "boule2",  "boule3",
                           "boule4", "boule5", "etoile1", "etoile2", "empreinte"};
    for (int i = 0; i < 10; i++) {
      if (i) out.put(separator, lstrlenA(separator));
      out.put(names[i], lstrlenA(names[i]));
    }
    out.put("\r\n", 2);
    if (g_history.file)
      scanLines(g_history.file, 0, [&out, &separator](uint64_t, const char* line, size_t n) {
        JournalRecord r;
        if (n && Journal_ParseRecord(line, n, &r)) exportLine(&out, r, separator);
      });
    out.flush();
    HeapFree(g_programHeap, 0, out.bytes);
  }
  bool failed = out.failed || !out.bytes;
  CloseHandle(file);
  if (failed) tellError(L"L'export n'a pas pu \u00EAtre \u00E9crit");
}

// FOLDERID_Documents, spelt out as the journal's folder is.
const GUID kDocuments = {
    0xFDD39AD0, 0x238F, 0x46AF, {0xAD, 0xB4, 0x6C, 0x85, 0x48, 0x03, 0x69, 0xC7}};

// The export is offered as tirages.csv in the user's documents: a path given with the name opens
// the dialog there, whatever folder it showed last.
void exportAsked() {
  Char16 name[MAX_PATH] = L"tirages.csv";
  PWSTR documents = nullptr;
  if (SUCCEEDED(SHGetKnownFolderPath(kDocuments, 0, nullptr, &documents)) &&
      lstrlenW(documents) < MAX_PATH - 16)
    wsprintfW(name, L"%s\\tirages.csv", documents);
  CoTaskMemFree(documents);
  OPENFILENAMEW o = {};
  o.lStructSize = sizeof o;
  o.hwndOwner = Window_Handle(HISTORY_WINDOW);
  o.lpstrFilter = L"Fichiers CSV (*.csv)\0*.csv\0Tous les fichiers (*.*)\0*.*\0";
  o.lpstrFile = name;
  o.nMaxFile = MAX_PATH;
  o.lpstrDefExt = L"csv";
  // The program finds its pictures from the current folder: the dialog must not move it.
  o.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (GetSaveFileNameW(&o)) exportTo(name);
}

const Char16* breakText(JournalBreak verdict) {
  switch (verdict) {
    case JOURNAL_HEADER_WRONG: return L"ce n'est pas l'en-t\u00EAte du journal";
    case JOURNAL_UNREADABLE: return L"illisible, ce n'est pas un tirage";
    case JOURNAL_EDITED: return L"modifi\u00E9e, son empreinte ne correspond pas";
    case JOURNAL_OUT_OF_ORDER: return L"num\u00E9ro hors de l'ordre";
    case JOURNAL_CUT: return L"coup\u00E9e, la ligne est incompl\u00E8te";
    default: return L"";
  }
}

void verifyAsked() {
  Busy busy;
  JournalCheck check;
  Journal_CheckStart(&check);
  char* chunk = (char*)HeapAlloc(g_programHeap, 0, kChunk);
  DWORD got = 0;
  for (uint64_t at = 0;
       chunk && g_history.file && readAt(g_history.file, at, chunk, kChunk, &got) && got > 0;
       at += got)
    Journal_CheckBytes(&check, chunk, got);
  if (chunk) HeapFree(g_programHeap, 0, chunk);
  Journal_CheckEnd(&check);
  Char16 text[256];
  if (check.verdict == JOURNAL_HOLDS)
    wsprintfW(text, L"%I64u tirages v\u00E9rifi\u00E9s : toutes les empreintes concordent.",
              check.records);
  else
    wsprintfW(text, L"%I64u tirages lus. Ligne %I64u : %s.", check.records, check.brokenLine,
              breakText(check.verdict));
  tell(text);
}

void folderAsked() {
  Char16 folder[MAX_PATH + 64];
  lstrcpynW(folder, journal_file_detail::path(), MAX_PATH + 64);
  Char16* last = folder;
  for (Char16* c = folder; *c; c++)
    if (*c == L'\\') last = c;
  *last = 0;
  // Not there before the first draw, or no program to show folders: said, not left silent.
  if ((INT_PTR)ShellExecuteW(Window_Handle(HISTORY_WINDOW), L"open", folder, nullptr, nullptr,
                             SW_SHOWNORMAL) <= 32)
    tellError(L"Le dossier du journal n'a pas pu \u00EAtre ouvert");
}

// The selected rows as text, a row a line, tabs between the values.
void copyAsked() {
  size_t capacity = 0, used = 0;
  Char16* text = nullptr;
  for (intptr_t row = -1; (row = Gadget_ListNextSelected(kList, row)) >= 0;) {
    JournalRecord r;
    if (!rowRecord(row, &r)) continue;
    if (used + 128 > capacity && !grow((void**)&text, &capacity, 4096, sizeof(Char16))) break;
    if (used) used += (size_t)wsprintfW(text + used, L"\r\n");
    used += (size_t)wsprintfW(text + used, L"%I64u\t%S\t%u\t%u\t%u\t%u\t%u\t%u\t%u", r.number,
                              r.date, r.balls[0], r.balls[1], r.balls[2], r.balls[3], r.balls[4],
                              r.stars[0], r.stars[1]);
  }
  if (text && used) Clipboard_SetText(Window_Handle(HISTORY_WINDOW), text, (used + 1) * 2);
  if (text) HeapFree(g_programHeap, 0, text);
}

// The journal, shared with the writer (which only appends) and with anyone moving it away.
void openJournal() {
  HANDLE file = CreateFileW(journal_file_detail::path(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  History& h = g_history;
  h.file = file == INVALID_HANDLE_VALUE ? nullptr : file;
  h.cachedRow = -1;
  LARGE_INTEGER size = {};
  if (!h.file || !GetFileSizeEx(h.file, &size)) return;
  h.scanned = kUnknown;
  h.lineEnd = h.readTop = (uint64_t)size.QuadPart;
  h.lineLong = true;  // what follows the last line feed is no whole line yet
  while (!h.backDone && (h.scanned == kUnknown || h.older.count < kFirstRows))
    indexBack(kFirstRead);
  if (h.backDone) return;
  SetTimer(Window_Handle(HISTORY_WINDOW), kIndexTimer, 0, nullptr);
  Event_Bind(EVENT_TIMER, HISTORY_WINDOW, kIndexTimer, -1, indexTick);
}

}  // namespace

void History_Install() {
  Window_AddShortcut(0, FCONTROL, 'H', HISTORY_OPEN);
  Window_AddMenuItem(0, HISTORY_OPEN, TEXT16("&Historique des tirages\u2026"));
}

void History_Open() {
  HWND open = Window_Handle(HISTORY_WINDOW);
  if (open) {
    SetForegroundWindow(open);
    return;
  }
  HWND main = Window_Handle(0);
  const uint32_t flags = WINDOW_SYSTEM_MENU | WINDOW_OWNER_CENTERED | WINDOW_KEEP_GADGET_LIST;
  if (!Window_OpenWithParent(HISTORY_WINDOW, 0, 0, 560, 360, kTitle, flags, main)) return;
  g_history = History{};
  openJournal();
  GadgetList_Use(Window_Handle(HISTORY_WINDOW));
  Gadget_List(kList, 8, 8, 544, 272, rowText);
  Gadget_SetText(kList, TEXT16("Tirages, du plus r\u00E9cent au plus ancien"));
  const Char16* titles[] = {TEXT16("Tirage"), TEXT16("Date"), TEXT16("Boules"),
                            TEXT16("\u00C9toiles")};
  const int32_t widths[] = {64, 240, 130, 80};
  for (int32_t c = 0; c < 4; c++) Gadget_ListColumn(kList, c, titles[c], widths[c]);
  Gadget_Text(kFooter, 8, 288, 544, 20, nullptr);
  Gadget_Button(kExport, 8, 318, 150, 30, TEXT16("Exporter\u2026"));
  Gadget_Button(kVerify, 166, 318, 150, 30, TEXT16("V\u00E9rifier"));
  Gadget_Button(kFolder, 324, 318, 170, 30, TEXT16("Ouvrir le dossier"));
  GadgetList_Use(main);  // the draws' gadgets go on into the main window
  Window_AddShortcut(HISTORY_WINDOW, 0, VK_ESCAPE, HISTORY_CLOSE);
  Window_AddShortcut(HISTORY_WINDOW, FCONTROL, 'C', HISTORY_COPY);
  showRows(false);
  if (rowCount()) Gadget_SetState(kList, 0);  // the newest draw, ready for Ctrl+C
  showFooter();
  Gadget_SetActive(kList);
}

void History_Close() {
  Window_Free(HISTORY_WINDOW);
  if (g_history.file) CloseHandle(g_history.file);
  if (g_history.newer.at) HeapFree(g_programHeap, 0, g_history.newer.at);
  if (g_history.older.at) HeapFree(g_programHeap, 0, g_history.older.at);
  g_history = History{};
}

void History_Refresh() {
  if (!Window_Handle(HISTORY_WINDOW)) return;
  if (!g_history.file) openJournal();  // the journal may have been made since the window opened
  else if (g_history.scanned != kUnknown) indexMore();
  showRows(true);  // a new draw comes first
  showFooter();
}

bool History_Command(intptr_t command) {
  if (command == HISTORY_OPEN) History_Open();
  else if (command == HISTORY_CLOSE) History_Close();
  else if (command == HISTORY_COPY) copyAsked();
  else return false;
  return true;
}

bool History_Gadget(intptr_t gadget) {
  if (gadget == kExport) exportAsked();
  else if (gadget == kVerify) verifyAsked();
  else if (gadget == kFolder) folderAsked();
  else return false;
  return true;
}

intptr_t history_detail::rows() { return Window_Handle(HISTORY_WINDOW) ? (intptr_t)rowCount() : 0; }
