// The check and the export (see history_export.h). Both read the journal through one Reader,
// a chunk at a time to its end; the export turns its lines into CSV through the journal's
// forward reading, as the history's index reads them, so that it holds exactly the history's rows.
#include "app/history_export.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "app/history_index.h"
#include "journal/check.h"
#include "runtime/memory.h"

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
const DWORD kChunk = 1 << 20;

// The journal, read from its start to its end. `error` is the system's code where a step failed.
struct Reader {
  HANDLE file;
  uint64_t size;   // when it was opened: a reading that ends short of it failed
  uint64_t total;  // read so far
  char* chunk;
  DWORD error;
};

enum Reading { READ_MORE, READ_END, READ_NONE, READ_FAILED };

Reading failedWith(DWORD* error, DWORD code) {
  *error = code;
  return READ_FAILED;
}

// READ_NONE when there is no journal at PATH.
Reading openReader(Reader* reader, const Char16* path) {
  *reader = Reader{};
  reader->file = CreateFileW(path, GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (reader->file == INVALID_HANDLE_VALUE) {
    reader->error = GetLastError();
    reader->file = nullptr;
    bool none = reader->error == ERROR_FILE_NOT_FOUND || reader->error == ERROR_PATH_NOT_FOUND;
    return none ? READ_NONE : READ_FAILED;
  }
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(reader->file, &size)) return failedWith(&reader->error, GetLastError());
  reader->size = (uint64_t)size.QuadPart;
  reader->chunk = (char*)HeapAlloc(g_programHeap, 0, kChunk);
  if (!reader->chunk) return failedWith(&reader->error, ERROR_NOT_ENOUGH_MEMORY);
  return READ_MORE;
}

// The next chunk, *GOT bytes of reader->chunk; READ_END once the end was read.
Reading nextChunk(Reader* reader, DWORD* got) {
  *got = 0;
  if (!ReadFile(reader->file, reader->chunk, kChunk, got, nullptr))
    return failedWith(&reader->error, GetLastError());
  reader->total += *got;
  if (*got) return READ_MORE;
  // The file only grows while it is read: an end before the size it had is a read cut short.
  return reader->total < reader->size ? failedWith(&reader->error, ERROR_HANDLE_EOF) : READ_END;
}

void closeReader(Reader* reader) {
  if (reader->chunk) HeapFree(g_programHeap, 0, reader->chunk);
  if (reader->file) CloseHandle(reader->file);
  reader->chunk = nullptr;
  reader->file = nullptr;
}

// Hands every chunk of the journal at PATH to FEED(context, bytes, size).
Reading readJournal(const Char16* path, DWORD* error, void (*feed)(void*, const char*, size_t),
                    void* context) {
  Reader reader;
  Reading reading = openReader(&reader, path);
  DWORD got = 0;
  while (reading == READ_MORE && (reading = nextChunk(&reader, &got)) == READ_MORE)
    feed(context, reader.chunk, got);
  *error = reader.error;
  closeReader(&reader);
  return reading;
}

void tell(Char16* told, size_t capacity, const Char16* format, ...) {
  va_list values;
  va_start(values, format);
  _vsnwprintf(told, capacity, format, values);
  va_end(values);
  told[capacity - 1] = 0;
}

// WHAT, then the system's own words for ERROR.
void tellFailure(Char16* told, size_t capacity, const Char16* what, DWORD error) {
  Char16 reason[512] = L"";
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           error, 0, reason, 512, nullptr);
  while (n > 0 && (reason[n - 1] == L'\r' || reason[n - 1] == L'\n')) reason[--n] = 0;
  if (!n) _snwprintf(reason, 512, L"erreur %lu", error);
  tell(told, capacity, L"%s :\n%s", what, reason);
}

const Char16 kUnread[] = L"Le journal n'a pas pu \u00EAtre lu";
const Char16 kUnwritten[] = L"L'export n'a pas pu \u00EAtre \u00E9crit";
const Char16 kNoDraw[] = L"Aucun tirage enregistr\u00E9.";

// ---- The check.

// The user's noted record, its text in ASCII without blanks; false when it is not "N:HEX".
bool readAnchor(const Char16* text, JournalCheck* check) {
  char ascii[96];
  size_t n = 0;
  for (; *text; text++) {
    if (*text == L' ' || *text == L'\t') continue;
    if (*text > 0x7E || n == sizeof ascii) return false;
    ascii[n++] = (char)*text;
  }
  uint64_t number = 0;
  char hex[SHA256_HEX];
  size_t length = 0;
  if (!Journal_ParseAnchor(ascii, n, &number, hex, &length)) return false;
  Journal_CheckAnchor(check, number, hex, length);
  return true;
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

const Char16* anchorText(JournalAnchor anchor) {
  switch (anchor) {
    case JOURNAL_ANCHOR_MATCHES: return L"le journal lui donne bien l'empreinte not\u00E9e.";
    case JOURNAL_ANCHOR_DIFFERS:
      return L"le journal lui donne une autre empreinte que celle not\u00E9e : ce tirage n'est "
             L"plus celui qui a \u00E9t\u00E9 not\u00E9.";
    case JOURNAL_ANCHOR_MISSING: return L"ce tirage n'est pas dans le journal.";
    default: return L"";
  }
}

void verdictText(const JournalCheck& check, Char16* told, size_t capacity) {
  const Char16* s = check.records > 1 ? L"s" : L"";
  if (check.verdict == JOURNAL_HOLDS && check.records == 0) tell(told, capacity, kNoDraw);
  else if (check.verdict == JOURNAL_HOLDS)
    tell(told, capacity, L"%I64u tirage%s v\u00E9rifi\u00E9%s : toutes les empreintes concordent.",
         check.records, s, s);
  else
    tell(told, capacity, L"%I64u tirage%s lu%s. Ligne %I64u : %s.", check.records, s, s,
         check.brokenLine, breakText(check.verdict));
}

void checkBytes(void* check, const char* bytes, size_t size) {
  Journal_CheckBytes((JournalCheck*)check, bytes, size);
}

// ---- The export.

// CSV gathered in a buffer and written to `file` a chunk at a time; `error` is the system's code
// of the first write that failed.
struct Csv {
  HANDLE file;
  char* bytes;
  size_t used;
  DWORD error;
  char separator[16];  // the locale's list separator in UTF-8
  uint64_t records;
};

void flush(Csv* csv) {
  DWORD written = 0;
  if (!csv->used || csv->error) {
  } else if (!WriteFile(csv->file, csv->bytes, (DWORD)csv->used, &written, nullptr)) {
    csv->error = GetLastError();
  } else if (written != csv->used) {
    csv->error = ERROR_DISK_FULL;  // a write that took part of the bytes found the disk full
  }
  csv->used = 0;
}

void put(Csv* csv, const char* data, size_t size) {
  if (csv->used + size > kChunk) flush(csv);
  memcpy(csv->bytes + csv->used, data, size);
  csv->used += size;
}

// One field, after the separator unless it is the line's first; quoted when it holds the
// separator (any of its bytes), a quote, CR or LF, its quotes doubled.
void field(Csv* csv, const char* text, size_t length, bool first = false) {
  if (!first) put(csv, csv->separator, strlen(csv->separator));
  bool quoted = false;
  for (size_t i = 0; i < length && !quoted; i++)
    quoted = text[i] == '"' || text[i] == '\r' || text[i] == '\n' ||
             strchr(csv->separator, text[i]) != nullptr;
  if (!quoted) return put(csv, text, length);
  put(csv, "\"", 1);
  for (size_t i = 0; i < length; i++)
    put(csv, text[i] == '"' ? "\"\"" : text + i, text[i] == '"' ? 2 : 1);
  put(csv, "\"", 1);
}

void number(Csv* csv, uint64_t value, bool first = false) {
  char digits[24];
  field(csv, digits, (size_t)wsprintfA(digits, "%I64u", value), first);
}

void header(Csv* csv) {
  const char* names[] = {"numero", "date",    "boule1",  "boule2",    "boule3",  "boule4",
                         "boule5", "etoile1", "etoile2", "empreinte", "date_iso"};
  put(csv, "\xEF\xBB\xBF", 3);
  for (size_t i = 0; i < sizeof names / sizeof names[0]; i++)
    field(csv, names[i], strlen(names[i]), i == 0);
  put(csv, "\r\n", 2);
}

void record(Csv* csv, const JournalRecord& r) {
  char local[20];  // 2026-12-09 07:12:03: the record's own local date and time
  memcpy(local, r.date, 19);
  local[10] = ' ';
  number(csv, r.number, true);
  field(csv, local, 19);
  for (uint8_t ball : r.balls) number(csv, ball);
  for (uint8_t star : r.stars) number(csv, star);
  field(csv, r.fingerprint, SHA256_HEX);
  field(csv, r.date, JOURNAL_DATE_LENGTH);
  put(csv, "\r\n", 2);
  csv->records++;
}

void recordLine(void* csv, const JournalForwardLine& line) {
  JournalRecord r;
  if (Journal_ForwardRecord(line, &r)) record((Csv*)csv, r);
}

struct Export {
  Csv csv;
  JournalForward lines;
};

void exportBytes(void* context, const char* bytes, size_t size) {
  Export* e = (Export*)context;
  Journal_ForwardFeed(&e->lines, bytes, size, recordLine, &e->csv);
}

void localeSeparator(char separator[16]) {
  Char16 wide[8] = L",";
  lstrcpyA(separator, ",");
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLIST, wide, 8) > 1 &&
      !WideCharToMultiByte(CP_UTF8, 0, wide, -1, separator, 16, nullptr, nullptr))
    lstrcpyA(separator, ",");
}

// The temporary file beside TARGET, made empty; 0 with its name in TEMP, else the error.
DWORD makeTemporary(const Char16* target, Char16 temp[MAX_PATH]) {
  Char16 folder[MAX_PATH] = L".";
  const Char16* last = nullptr;
  for (const Char16* c = target; *c; c++)
    if (*c == L'\\' || *c == L'/') last = c;
  if (last && last - target < MAX_PATH) lstrcpynW(folder, target, (int)(last - target) + 1);
  if (last == target) lstrcpyW(folder, L"\\");
  return GetTempFileNameW(folder, L"tir", 0, temp) ? 0 : GetLastError();
}

// The journal's rows written into the open CSV; the reading's outcome, ERROR where it failed.
Reading writeRows(const Char16* path, Export* e, DWORD* error) {
  Journal_ForwardStart(&e->lines, 0, false);
  header(&e->csv);
  Reading reading = readJournal(path, error, exportBytes, e);
  JournalRecord last;
  if (reading == READ_END && Journal_ForwardOpen(e->lines, &last)) record(&e->csv, last);
  flush(&e->csv);
  return reading;
}

// The CSV written whole and closed: 0, or the error of the step that failed.
DWORD finish(Export* e) {
  DWORD error = e->csv.error;
  if (!error && !FlushFileBuffers(e->csv.file)) error = GetLastError();
  if (!CloseHandle(e->csv.file) && !error) error = GetLastError();
  e->csv.file = nullptr;
  return error;
}

// Whether TARGET names the journal at PATH itself.
bool isJournal(const Char16* path, const Char16* target) {
  BY_HANDLE_FILE_INFORMATION a = {}, b = {};
  HANDLE one = CreateFileW(path, 0, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE two = CreateFileW(target, 0, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
  bool same = one != INVALID_HANDLE_VALUE && two != INVALID_HANDLE_VALUE &&
              GetFileInformationByHandle(one, &a) && GetFileInformationByHandle(two, &b) &&
              a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
              a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
  if (one != INVALID_HANDLE_VALUE) CloseHandle(one);
  if (two != INVALID_HANDLE_VALUE) CloseHandle(two);
  return same;
}

enum Outcome { EXPORTED, NOTHING, UNREAD, UNWRITTEN };

// The export into the temporary file TEMP; *ERROR the code of the step that failed.
Outcome exportInto(const Char16* path, const Char16* temp, DWORD* error) {
  Export e = {};
  localeSeparator(e.csv.separator);
  e.csv.bytes = (char*)HeapAlloc(g_programHeap, 0, kChunk);
  if (!e.csv.bytes) {
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return UNWRITTEN;
  }
  e.csv.file =
      CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (e.csv.file == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    HeapFree(g_programHeap, 0, e.csv.bytes);
    return UNWRITTEN;
  }
  DWORD readError = 0;
  Reading reading = writeRows(path, &e, &readError);
  HeapFree(g_programHeap, 0, e.csv.bytes);
  DWORD written = finish(&e);
  if (reading == READ_FAILED) *error = readError;
  else if (written) *error = written;
  if (reading == READ_FAILED) return UNREAD;
  if (written) return UNWRITTEN;
  return reading == READ_END && e.csv.records ? EXPORTED : NOTHING;
}

}  // namespace

void HistoryExport_Check(const Char16* path, const Char16* anchor, Char16* told, size_t capacity) {
  JournalCheck check;
  Journal_CheckStart(&check);
  if (anchor && anchor[0] && !readAnchor(anchor, &check))
    return tell(told, capacity,
                L"Le rep\u00E8re \u00AB %s \u00BB n'est pas un num\u00E9ro et une empreinte "
                L"not\u00E9s : \u00E9crivez-le ainsi, 1234:3fa4b2c1 (le num\u00E9ro du tirage, "
                L"deux-points, puis de 8 \u00E0 64 chiffres hexad\u00E9cimaux de son empreinte). "
                L"Rien n'a \u00E9t\u00E9 v\u00E9rifi\u00E9.",
                anchor);
  DWORD error = 0;
  Reading reading = readJournal(path, &error, checkBytes, &check);
  if (reading == READ_FAILED) return tellFailure(told, capacity, kUnread, error);
  Journal_CheckEnd(&check);
  verdictText(check, told, capacity);
  if (check.anchor == JOURNAL_ANCHOR_NONE) return;
  size_t used = (size_t)lstrlenW(told);
  tell(told + used, capacity - used, L"\n\nRep\u00E8re n\u00B0 %I64u : %s", check.anchorNumber,
       anchorText(check.anchor));
}

bool HistoryExport_Save(const Char16* path, const Char16* target, Char16* told, size_t capacity) {
  if (isJournal(path, target)) {
    tell(told, capacity,
         L"L'export ne peut pas remplacer le journal lui-m\u00EAme : choisissez "
         L"un autre fichier.");
    return false;
  }
  Char16 temp[MAX_PATH];
  DWORD error = makeTemporary(target, temp);
  if (error) {
    tellFailure(told, capacity, kUnwritten, error);
    return false;
  }
  Outcome outcome = exportInto(path, temp, &error);
  // Moved over the target only once whole: a failed export leaves the old file as it was.
  if (outcome == EXPORTED &&
      !MoveFileExW(temp, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = GetLastError();
    outcome = UNWRITTEN;
  }
  if (outcome != EXPORTED) DeleteFileW(temp);
  if (outcome == UNREAD) tellFailure(told, capacity, kUnread, error);
  if (outcome == UNWRITTEN) tellFailure(told, capacity, kUnwritten, error);
  if (outcome == NOTHING) tell(told, capacity, L"%s Rien n'a \u00E9t\u00E9 export\u00E9.", kNoDraw);
  return outcome == EXPORTED;
}
