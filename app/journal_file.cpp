// The draw journal on disk (see journal_file.h).
//
// The file is opened for appending only (FILE_APPEND_DATA without FILE_WRITE_DATA): the system
// itself then puts every write at the end, so no byte already there can be overwritten whatever
// the code does. Two programs drawing at once take turns through an exclusive lock of one byte
// far beyond any data, which orders the writers without keeping readers out; the holder reads
// the file's tail, numbers its record after the last whole one there and writes the whole line
// in one WriteFile before it lets go, so records neither interleave nor share a number.
#include "app/journal_file.h"

#include <shlobj.h>
#include <stdio.h>

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
// Another program writes a record in a few milliseconds; one that holds the lock longer than
// this is stuck, and the draw is shown without its record rather than wait for it.
const int kLockTries = 200;
const DWORD kLockPause = 10;

Char16 g_folder[MAX_PATH + 32];  // %APPDATA%\Tirage Vorellis
Char16 g_file[MAX_PATH + 64];    // the journal in it
journal_file_detail::Mode g_mode = journal_file_detail::ON;
bool g_told;

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

bool lock(HANDLE file) {
  for (int i = 0; i < kLockTries; i++) {
    OVERLAPPED place = at((uint64_t)kLockOffsetHigh << 32 | kLockOffset);
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &place))
      return true;
    if (GetLastError() != ERROR_LOCK_VIOLATION && GetLastError() != ERROR_IO_PENDING) return false;
    Sleep(kLockPause);
  }
  SetLastError(ERROR_LOCK_VIOLATION);
  return false;
}

void unlock(HANDLE file) {
  OVERLAPPED place = at((uint64_t)kLockOffsetHigh << 32 | kLockOffset);
  UnlockFileEx(file, 0, 1, 0, &place);
}

// Where the chain ends: the last whole record of the file's tail, read from further back while
// the tail holds none.
bool readTail(HANDLE file, uint64_t size, JournalTail* tail) {
  for (uint64_t want = JOURNAL_TAIL_BYTES;; want *= 2) {
    uint64_t take = want < size ? want : size;
    char* bytes = (char*)HeapAlloc(g_programHeap, 0, (size_t)take + 1);
    if (!bytes) return false;
    OVERLAPPED place = at(size - take);
    DWORD got = 0;
    bool read = take == 0 || (ReadFile(file, bytes, (DWORD)take, &got, &place) && got == take);
    if (read) *tail = Journal_FindTail(bytes, (size_t)take, take == size);
    HeapFree(g_programHeap, 0, bytes);
    if (!read) return false;
    if (!tail->readMore || take == size) return true;
  }
}

// The local time now, as the journal writes it: 2026-12-09T07:12:03.250+01:00.
void localDate(char date[JOURNAL_DATE_LENGTH + 1]) {
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
}

// The bytes to append: the header first in an empty file, a line end first after a cut line,
// then the record. Their length, 0 when the record cannot be made.
size_t composeLine(const JournalTail& tail, uint64_t size, JournalRecord* record, char* out) {
  size_t length = 0;
  if (size == 0) length = (size_t)wsprintfA(out, "%s\r\n", JOURNAL_HEADER);
  else if (tail.lineOpen) length = (size_t)wsprintfA(out, "\r\n");
  record->number = tail.number + 1;
  size_t line = Journal_FormatRecord(record, tail.found ? tail.fingerprint : nullptr, out + length,
                                     JOURNAL_LINE_MAX + 2);
  return line ? length + line : 0;
}

// The record written whole under the lock; the file stays open for the flush.
bool appendLocked(HANDLE file, JournalRecord* record, JournalWrite* write) {
  LARGE_INTEGER size;
  JournalTail tail = {};
  if (!GetFileSizeEx(file, &size) || !readTail(file, (uint64_t)size.QuadPart, &tail))
    return fail(write, TEXT16("de lire la fin du journal"), GetLastError());
  char bytes[128 + JOURNAL_LINE_MAX + 2];
  size_t length = composeLine(tail, (uint64_t)size.QuadPart, record, bytes);
  if (!length) return fail(write, TEXT16("de préparer l'enregistrement"), ERROR_INVALID_DATA);
  DWORD written = 0;
  BOOL wrote = WriteFile(file, bytes, (DWORD)length, &written, nullptr);
  // A write that took only part of the line found the disk full; the next record starts on a
  // new line after what it left.
  if (!wrote || written != length)
    return fail(write, TEXT16("d'écrire dans le journal"),
                wrote ? ERROR_DISK_FULL : GetLastError());
  write->number = record->number;
  return true;
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
  HANDLE file = CreateFileW(g_file, FILE_READ_DATA | FILE_APPEND_DATA | SYNCHRONIZE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return fail(write, TEXT16("d'ouvrir le journal"), GetLastError());
  if (!lock(file)) {
    DWORD error = GetLastError();
    CloseHandle(file);
    return fail(write, TEXT16("de réserver le journal, qu'un autre programme garde"), error);
  }
  JournalRecord record = {};
  localDate(record.date);
  for (int i = 0; i < JOURNAL_BALLS; i++) record.balls[i] = (uint8_t)balls[i];
  for (int i = 0; i < JOURNAL_STARS; i++) record.stars[i] = (uint8_t)stars[i];
  bool written = appendLocked(file, &record, write);
  unlock(file);
  if (!written) {
    CloseHandle(file);
    return false;
  }
  write->file = file;
  return true;
}

void JournalFile_Finish(JournalWrite* write) {
  if (!write->file) return;
  if (g_mode == journal_file_detail::ON) FlushFileBuffers(write->file);
  CloseHandle(write->file);
  write->file = nullptr;
}

void JournalFile_TellFailure(const JournalWrite& write) {
  if (!write.step || g_told) return;
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

const Char16* journal_file_detail::path() { return makePath() ? g_file : TEXT16(""); }

void journal_file_detail::setMode(Mode mode) { g_mode = mode; }
