// The draw journal on disk (see journal_file.h).
//
// The file is opened for appending only (FILE_APPEND_DATA without FILE_WRITE_DATA): the system
// itself then puts every write at the end, so no byte already there can be overwritten whatever
// the code does. Two programs drawing at once take turns through an exclusive lock of one byte
// far beyond any data, which orders the writers without keeping readers out; the holder reads
// the file's tail, numbers its record after the last whole one there and writes the whole line
// in one WriteFile before it lets go, so records neither interleave nor share a number. Every
// handle shares deletion, so that the holder of the lock can set a foreign file aside while
// others have it open; whoever gets the lock next checks that the path still names its file.
#include "app/journal_file.h"

#include <shlobj.h>
#include <stdio.h>
#include <string.h>

#include "journal/lines.h"
#include "journal/record.h"
#include "journal/tail.h"
#include "runtime/memory.h"
#include "sys/requester.h"

namespace {

// FOLDERID_RoamingAppData, spelt out so that no import library has to carry it.
const GUID kRoamingAppData = {
    0x3EB685DB, 0x65F9, 0x4CF6, {0xA0, 0x3A, 0xE3, 0xEF, 0x65, 0x72, 0x9F, 0x3D}};
const Char16 kFolder[] = TEXT16("\\Tirage Vorellis");
const Char16 kFile[] = TEXT16("\\tirages.csv");
// The lock: one byte at the top of the range a file can reach.
const DWORD kLockOffsetHigh = 0x7FFFFFFF;
const DWORD kLockOffset = 0xFFFFFFFE;
// Another program writes a record in a few milliseconds; one that holds the lock, or the file,
// longer than this is stuck, and the draw is shown without its record rather than wait for it.
const ULONGLONG kWaitMs = 2000;
const DWORD kPause = 10;
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

Char16 g_folder[MAX_PATH + 32];  // %APPDATA%\Tirage Vorellis
Char16 g_file[MAX_PATH + 64];    // the journal in it
journal_file_detail::Mode g_mode = journal_file_detail::ON;
bool g_told;
uint32_t g_unrecorded;  // draws in a row not recorded
SYSTEMTIME g_unrecordedSince;

// The folder's and the file's paths, made once; false when the system has no such folder or
// the path would not fit.
bool makePath() {
  if (g_file[0]) return true;
  PWSTR roaming = nullptr;
  bool made = SUCCEEDED(SHGetKnownFolderPath(kRoamingAppData, 0, nullptr, &roaming)) &&
              lstrlenW(roaming) + lstrlenW(kFolder) < MAX_PATH + 32;
  if (made) {
    lstrcpyW(g_folder, roaming);
    lstrcatW(g_folder, kFolder);
    lstrcpyW(g_file, g_folder);
    lstrcatW(g_file, kFile);
  }
  CoTaskMemFree(roaming);
  return made;
}

bool fail(JournalWrite* write, const Char16* step, DWORD error) {
  write->step = step;
  write->error = error;
  return false;
}

OVERLAPPED at(uint64_t offset) {
  OVERLAPPED place = {};
  place.Offset = (DWORD)offset;
  place.OffsetHigh = (DWORD)(offset >> 32);
  return place;
}

// Waits for the lock until DEADLINE (a GetTickCount64 value).
bool lock(HANDLE file, ULONGLONG deadline) {
  for (;;) {
    OVERLAPPED place = at((uint64_t)kLockOffsetHigh << 32 | kLockOffset);
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &place))
      return true;
    if (GetLastError() != ERROR_LOCK_VIOLATION && GetLastError() != ERROR_IO_PENDING) return false;
    if (GetTickCount64() >= deadline) break;
    Sleep(kPause);
  }
  SetLastError(ERROR_LOCK_VIOLATION);
  return false;
}

void unlock(HANDLE file) {
  OVERLAPPED place = at((uint64_t)kLockOffsetHigh << 32 | kLockOffset);
  UnlockFileEx(file, 0, 1, 0, &place);
}

bool readAt(void* file, uint64_t offset, char* bytes, size_t size) {
  OVERLAPPED place = at(offset);
  DWORD got = 0;
  return size == 0 || (ReadFile((HANDLE)file, bytes, (DWORD)size, &got, &place) && got == size);
}

// Where the chain ends, read back from the file's end a block at a time.
bool readTail(HANDLE file, uint64_t size, JournalTail* tail) {
  char* block = (char*)HeapAlloc(g_programHeap, 0, JOURNAL_TAIL_BYTES);
  if (!block) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  bool found = Journal_FindTail(size, block, JOURNAL_TAIL_BYTES, readAt, file, tail);
  DWORD error = GetLastError();
  HeapFree(g_programHeap, 0, block);
  SetLastError(error);
  return found;
}

// The local time now, as the journal writes it: 2026-12-09T07:12:03.250+01:00.
void localDate(char date[JOURNAL_DATE_LENGTH + 1], SYSTEMTIME* at) {
  SYSTEMTIME utc, local;
  GetSystemTime(&utc);
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
  FILETIME u, l;
  SystemTimeToFileTime(&utc, &u);
  SystemTimeToFileTime(&local, &l);
  int64_t ticks = (int64_t)(((uint64_t)l.dwHighDateTime << 32 | l.dwLowDateTime) -
                            ((uint64_t)u.dwHighDateTime << 32 | u.dwLowDateTime));
  int32_t minutes = (int32_t)(ticks / 600000000);
  int32_t away = minutes < 0 ? -minutes : minutes;
  snprintf(date, JOURNAL_DATE_LENGTH + 1, "%04u-%02u-%02uT%02u:%02u:%02u.%03u%c%02d:%02d",
           local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond,
           local.wMilliseconds, minutes < 0 ? '-' : '+', (int)(away / 60), (int)(away % 60));
  *at = local;
}

// Why a file's start is not a journal's, as the notice says it.
const Char16* foreignWhy(const char* head, size_t length) {
  const char* header = JOURNAL_HEADER;
  size_t line = 0;
  while (line < length && head[line] != '\n') line++;
  if (length >= 2 && ((uint8_t)head[0] == 0xFF || (uint8_t)head[0] == 0xFE))
    return TEXT16("il est écrit en UTF-16, comme l'enregistre un tableur");
  if (length >= 3 && !memcmp(head, "\xEF\xBB\xBF", 3))
    return TEXT16("il commence par une marque d'ordre des octets (BOM)");
  if (memchr(head, ';', line)) return TEXT16("ses champs sont séparés par des points-virgules");
  if (line < length && (line == 0 || head[line - 1] != '\r'))
    return TEXT16("ses lignes finissent par LF seul et non par CR LF");
  if (length < strlen(header) + 2 && !memcmp(head, header, length))
    return TEXT16("son en-tête est coupé");
  return TEXT16("sa première ligne n'est pas l'en-tête du journal");
}

// The journal renamed, bytes untouched, to a free name beside it:
// tirages-illisible-20261210-081503.csv, then -2, -3... Never over another file.
bool setAside(JournalWrite* write) {
  SYSTEMTIME t;
  GetLocalTime(&t);
  Char16 stem[MAX_PATH + 64];
  wsprintfW(stem, L"%s\\tirages-illisible-%04u%02u%02u-%02u%02u%02u", g_folder, t.wYear, t.wMonth,
            t.wDay, t.wHour, t.wMinute, t.wSecond);
  for (int n = 1; n < 100; n++) {
    wsprintfW(write->aside, n == 1 ? L"%s.csv" : L"%s-%d.csv", stem, n);
    if (MoveFileExW(g_file, write->aside, MOVEFILE_WRITE_THROUGH)) return true;
    DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) break;
  }
  DWORD error = GetLastError();
  write->aside[0] = 0;
  return fail(write, TEXT16("de mettre de côté le fichier illisible"), error);
}

// Whether the path still names the file FILE is open on: another program may have set it aside
// while this one waited for the lock.
bool stillAtPath(HANDLE file) {
  HANDLE now = CreateFileW(g_file, 0, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
  if (now == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION a, b;
  bool same = GetFileInformationByHandle(file, &a) && GetFileInformationByHandle(now, &b) &&
              a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
              a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
  CloseHandle(now);
  return same;
}

enum Outcome { WRITTEN, FAILED, OPEN_AGAIN };

Outcome failed(JournalWrite* write, const Char16* step, DWORD error) {
  fail(write, step, error);
  return FAILED;
}

// Under the lock: a file the program cannot continue is set aside (the caller opens the path
// again, a new journal); otherwise the record is written whole, and the file stays open for the
// flush.
Outcome appendLocked(HANDLE file, JournalRecord* record, JournalWrite* write) {
  if (!stillAtPath(file)) return OPEN_AGAIN;
  LARGE_INTEGER size;
  char head[128];
  size_t want = Journal_HeadBytes();
  if (!GetFileSizeEx(file, &size))
    return failed(write, TEXT16("de lire le journal"), GetLastError());
  size_t got = (uint64_t)size.QuadPart < want ? (size_t)size.QuadPart : want;
  if (!readAt(file, 0, head, got))
    return failed(write, TEXT16("de lire le début du journal"), GetLastError());
  if (!Journal_Continuable(head, got, (uint64_t)size.QuadPart)) {
    if (write->aside[0])
      return failed(write, TEXT16("de commencer un nouveau journal"), ERROR_INVALID_DATA);
    write->foreign = foreignWhy(head, got);
    return setAside(write) ? OPEN_AGAIN : FAILED;
  }
  JournalTail tail = {};
  if (!readTail(file, (uint64_t)size.QuadPart, &tail))
    return failed(write, TEXT16("de lire la fin du journal"), GetLastError());
  char bytes[JOURNAL_APPEND_MAX];
  size_t length = Journal_ComposeAppend(tail, (uint64_t)size.QuadPart, record, bytes, sizeof bytes);
  if (!length) return failed(write, TEXT16("de préparer l'enregistrement"), ERROR_INVALID_DATA);
  DWORD written = 0;
  BOOL wrote = WriteFile(file, bytes, (DWORD)length, &written, nullptr);
  // A write that took only part of the line found the disk full; the next record starts on a
  // new line after what it left.
  if (!wrote || written != length)
    return failed(write, TEXT16("d'écrire dans le journal"),
                  wrote ? ERROR_DISK_FULL : GetLastError());
  write->number = record->number;
  return WRITTEN;
}

// The journal opened for appending, made if missing. A file another program holds without
// sharing it (a spreadsheet that opened the CSV) is tried again until DEADLINE.
HANDLE openForAppend(ULONGLONG deadline, JournalWrite* write) {
  for (;;) {
    HANDLE file = CreateFileW(g_file, FILE_READ_DATA | FILE_APPEND_DATA | SYNCHRONIZE, kShareAll,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION || GetTickCount64() >= deadline) {
      fail(write,
           error == ERROR_SHARING_VIOLATION
               ? TEXT16("d'ouvrir le journal, qu'un autre programme garde ouvert (un tableur, par "
                        "exemple) : fermez-le dans cet autre programme")
               : TEXT16("d'ouvrir le journal"),
           error);
      return nullptr;
    }
    Sleep(kPause);
  }
}

// The local time now, as the clock shows it.
SYSTEMTIME now() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return t;
}

}  // namespace

bool JournalFile_Append(const int32_t balls[5], const int32_t stars[2], JournalWrite* write) {
  *write = JournalWrite{};
  if (g_mode == journal_file_detail::OFF) return true;
  if (!makePath())
    return fail(write, TEXT16("de trouver le dossier des données de l'utilisateur"),
                ERROR_PATH_NOT_FOUND);
  // The folder is made at the first draw, not at start: a program that never draws writes
  // nothing.
  if (!CreateDirectoryW(g_folder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    return fail(write, TEXT16("de créer le dossier du journal"), GetLastError());
  // Windows refuses to write a read-only file to anyone, its administrators too; where the
  // system would let them (Wine run by root), the user's choice holds all the same.
  DWORD attributes = GetFileAttributesW(g_file);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    return fail(write, TEXT16("d'écrire dans le journal, en lecture seule"), ERROR_ACCESS_DENIED);
  JournalRecord record = {};
  localDate(record.date, &write->date);
  for (int i = 0; i < JOURNAL_BALLS; i++) record.balls[i] = (uint8_t)balls[i];
  for (int i = 0; i < JOURNAL_STARS; i++) record.stars[i] = (uint8_t)stars[i];
  ULONGLONG deadline = GetTickCount64() + kWaitMs;
  for (;;) {
    HANDLE file = openForAppend(deadline, write);
    if (!file) return false;
    if (!lock(file, deadline)) {
      DWORD error = GetLastError();
      CloseHandle(file);
      return fail(write, TEXT16("de réserver le journal, qu'un autre programme garde"), error);
    }
    Outcome outcome = appendLocked(file, &record, write);
    unlock(file);
    if (outcome == WRITTEN) {
      write->file = file;
      return true;
    }
    CloseHandle(file);
    if (outcome == FAILED) return false;
    if (GetTickCount64() >= deadline)
      return fail(write, TEXT16("d'ouvrir le journal, remplacé sans cesse"),
                  ERROR_SHARING_VIOLATION);
  }
}

bool JournalFile_Finish(JournalWrite* write) {
  if (!write->file) return true;
  bool flushed = g_mode != journal_file_detail::ON || FlushFileBuffers(write->file);
  DWORD error = flushed ? 0 : GetLastError();
  bool closed = CloseHandle(write->file);
  if (!error && !closed) error = GetLastError();
  write->file = nullptr;
  if (flushed && closed) return true;
  write->number = 0;
  return fail(write, TEXT16("d'enregistrer le journal sur le disque"), error);
}

void JournalFile_Report(const JournalWrite& write) {
  if (write.aside[0]) {
    Char16 text[1400];
    _snwprintf(text, 1400,
               L"Le journal des tirages ne pouvait pas être continué : %s.\n\nIl a été mis de "
               L"côté tel quel, sous le nom :\n%s\n\nUn nouveau journal commence avec ce "
               L"tirage :\n%s\n\nLe guide (Guide.txt) dit comment lire ou vérifier l'ancien.",
               write.foreign, write.aside, g_file);
    text[1399] = 0;
    Requester_Message(TEXT16("Tirage Vorellis"), text, MB_ICONINFORMATION);
  }
  if (!write.step) {
    g_unrecorded = 0;
    return;
  }
  if (g_unrecorded++ == 0) g_unrecordedSince = now();
  if (g_told) return;
  g_told = true;
  Char16 reason[512] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, write.error,
                 0, reason, 512, nullptr);
  Char16 text[1400];
  _snwprintf(text, 1400,
             L"Le tirage est affiché, mais il n'a pas pu être enregistré dans le journal des "
             L"tirages.\n\nImpossible %s (%s) :\n%s\nLes tirages ne sont plus "
             L"conservés tant que le journal ne peut pas être écrit.",
             write.step, g_file, reason[0] ? reason : L"erreur inconnue.\n");
  text[1399] = 0;
  Requester_Message(TEXT16("Tirage Vorellis"), text, MB_ICONWARNING);
}

uint32_t JournalFile_Unrecorded(SYSTEMTIME* since) {
  if (g_unrecorded && since) *since = g_unrecordedSince;
  return g_unrecorded;
}

const Char16* journal_file_detail::path() { return makePath() ? g_file : TEXT16(""); }

void journal_file_detail::setMode(Mode mode) { g_mode = mode; }

void journal_file_detail::useFolder(const Char16* folder) {
  lstrcpynW(g_folder, folder, MAX_PATH + 32);
  lstrcpyW(g_file, g_folder);
  lstrcatW(g_file, kFile);
}
