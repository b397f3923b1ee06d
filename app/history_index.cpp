// The history's index (see history_index.h). Going back it reads blocks through JournalBack;
// going forward it feeds JournalForward from where the last CR LF of the file ended when it was
// opened, so that each line is indexed once: the lines before that place going back, those after
// it going forward.
#include "app/history_index.h"

#include <string.h>

#include "runtime/memory.h"

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
const uint64_t kChunk = 1 << 20;      // a read: fewer calls into the system
const uint64_t kFirstRead = 1 << 16;  // the blocks read before the window shows

void push(HistoryOffsets* offsets, uint64_t start) {
  if (offsets->count == offsets->capacity) {
    size_t more = offsets->capacity ? 2 * offsets->capacity : 1024;
    void* grown = offsets->at ? HeapReAlloc(g_programHeap, 0, offsets->at, more * sizeof(uint64_t))
                              : HeapAlloc(g_programHeap, 0, more * sizeof(uint64_t));
    if (!grown) return;  // without memory the row is left out rather than the index lost
    offsets->at = (uint64_t*)grown;
    offsets->capacity = more;
  }
  offsets->at[offsets->count++] = start;
}

void release(HistoryOffsets* offsets) {
  if (offsets->at) HeapFree(g_programHeap, 0, offsets->at);
  *offsets = HistoryOffsets{};
}

bool readAt(HANDLE file, uint64_t offset, char* bytes, uint64_t size, DWORD* got) {
  OVERLAPPED place = {};
  place.Offset = (DWORD)offset;
  place.OffsetHigh = (DWORD)(offset >> 32);
  *got = 0;
  return ReadFile(file, bytes, (DWORD)size, got, &place) != 0;
}

bool sameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

size_t topRows(const HistoryIndex& index) {
  return (index.provisional ? 1 : 0) + index.newer.count;
}

void addNewer(void* context, const JournalForwardLine& line) {
  HistoryIndex* index = (HistoryIndex*)context;
  JournalRecord record;
  if (!Journal_ForwardRecord(line, &record)) return;
  push(&index->newer, line.start);
  index->newestAhead = record;
}

// Where going forward begins: after the last CR LF of the first block back (the file's end), or
// at the file's end inside a line when the block holds none.
void startForward(HistoryIndex* index, const char* bytes, uint64_t from, uint64_t top) {
  for (uint64_t p = top; p >= from + 2; p--)
    if (bytes[p - 1 - from] == '\n' && bytes[p - 2 - from] == '\r')
      return Journal_ForwardStart(&index->ahead, p, false);
  Journal_ForwardStart(&index->ahead, top, top > 0);
}

// One block going back into BUFFER, at most MOST bytes; its lines that are records become rows.
void backBlock(HistoryIndex* index, char* buffer, uint64_t most) {
  JournalBack& back = index->back;
  uint64_t top = back.top, from = Journal_BackBlock(&back, most);
  DWORD got = 0;
  if (!readAt(index->file, from, buffer, top - from, &got) || got != top - from) {
    back.done = true;  // the rows found so far are all the list gets: no read tried forever
    return;
  }
  if (!index->backStarted) startForward(index, buffer, from, top);
  index->backStarted = true;
  JournalLine line;
  JournalRecord record;
  while (Journal_BackNext(&back, buffer, from, &line)) {
    // The open last line is going forward's: it becomes a row once it reads as a record.
    if (line.open || !Journal_LineRecord(line, buffer + (line.start - from), &record)) continue;
    if (index->older.count == 0) index->newestBack = record;
    push(&index->older, line.start);
  }
}

// Everything appended since the last look, going forward; then whether the open last line is
// a row.
void readForward(HistoryIndex* index) {
  LARGE_INTEGER size = {};
  uint64_t end = GetFileSizeEx(index->file, &size) ? (uint64_t)size.QuadPart : 0;
  uint64_t left = end > index->ahead.at ? end - index->ahead.at : 0;
  char* chunk = left ? (char*)HeapAlloc(g_programHeap, 0, left < kChunk ? left : kChunk) : nullptr;
  while (chunk && index->ahead.at < end) {
    uint64_t want = end - index->ahead.at < kChunk ? end - index->ahead.at : kChunk;
    DWORD got = 0;
    if (!readAt(index->file, index->ahead.at, chunk, want, &got) || got == 0) break;
    Journal_ForwardFeed(&index->ahead, chunk, got, addNewer, index);
  }
  if (chunk) HeapFree(g_programHeap, 0, chunk);
  index->provisional = Journal_ForwardOpen(index->ahead, &index->openRecord);
  index->provisionalStart = index->ahead.lineStart;
  index->cachedRow = -1;
}

// Row R's line start, newest first.
uint64_t rowStart(const HistoryIndex& index, size_t r) {
  if (index.provisional) {
    if (r == 0) return index.provisionalStart;
    r--;
  }
  size_t newer = index.newer.count;
  return r < newer ? index.newer.at[newer - 1 - r] : index.older.at[r - newer];
}

}  // namespace

bool HistoryIndex_Open(HistoryIndex* index, const Char16* path, size_t firstRows) {
  *index = HistoryIndex{};
  index->cachedRow = -1;
  HANDLE file = CreateFileW(path, GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size = {};
  if (!GetFileInformationByHandle(file, &index->identity) || !GetFileSizeEx(file, &size)) {
    CloseHandle(file);
    return false;
  }
  index->file = file;
  Journal_BackStart(&index->back, (uint64_t)size.QuadPart);
  char* buffer = (char*)HeapAlloc(g_programHeap, 0, kFirstRead);
  if (!buffer) index->back.done = true;
  while (!index->back.done && (!index->backStarted || index->older.count < firstRows))
    backBlock(index, buffer, kFirstRead);
  if (buffer) HeapFree(g_programHeap, 0, buffer);
  if (!index->backStarted)  // an empty file, or its end could not be read
    Journal_ForwardStart(&index->ahead, (uint64_t)size.QuadPart, size.QuadPart > 0);
  index->backStarted = true;
  readForward(index);
  return true;
}

void HistoryIndex_Close(HistoryIndex* index) {
  if (index->file) CloseHandle(index->file);
  release(&index->newer);
  release(&index->older);
  *index = HistoryIndex{};
  index->cachedRow = -1;
}

bool HistoryIndex_Back(HistoryIndex* index, uint64_t budget) {
  if (HistoryIndex_BackDone(*index)) return true;
  char* buffer = (char*)HeapAlloc(g_programHeap, 0, kChunk);
  if (!buffer) index->back.done = true;
  for (uint64_t read = 0; !index->back.done && read < budget; read += kChunk)
    backBlock(index, buffer, kChunk);
  if (buffer) HeapFree(g_programHeap, 0, buffer);
  return index->back.done;
}

bool HistoryIndex_BackDone(const HistoryIndex& index) { return !index.file || index.back.done; }

HistoryChange HistoryIndex_Follow(HistoryIndex* index, const Char16* path, size_t firstRows,
                                  intptr_t* shift) {
  *shift = 0;
  // A fresh look at the path: a folder there is another file too.
  HANDLE probe = CreateFileW(path, FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  BY_HANDLE_FILE_INFORMATION now = {};
  DWORD error = probe == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  bool seen = probe != INVALID_HANDLE_VALUE && GetFileInformationByHandle(probe, &now);
  if (probe != INVALID_HANDLE_VALUE) CloseHandle(probe);
  bool gone = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  if (!seen && !(gone && index->file)) return HISTORY_SAME;  // nothing new to tell
  uint64_t size = (uint64_t)now.nFileSizeHigh << 32 | now.nFileSizeLow;
  if (!index->file || !seen || !sameFile(now, index->identity) || size < index->ahead.at) {
    bool had = index->file != nullptr;
    HistoryIndex_Close(index);
    bool opened = seen && HistoryIndex_Open(index, path, firstRows);
    return opened || had ? HISTORY_REPLACED : HISTORY_SAME;
  }
  if (size == index->ahead.at) return HISTORY_SAME;
  size_t top = topRows(*index);
  readForward(index);
  *shift = (intptr_t)topRows(*index) - (intptr_t)top;
  return HISTORY_GREW;
}

size_t HistoryIndex_Rows(const HistoryIndex& index) { return topRows(index) + index.older.count; }

bool HistoryIndex_Newest(const HistoryIndex& index, JournalRecord* record) {
  if (index.provisional) *record = index.openRecord;
  else if (index.newer.count) *record = index.newestAhead;
  else if (index.older.count) *record = index.newestBack;
  else return false;
  return true;
}

bool HistoryIndex_Row(HistoryIndex* index, intptr_t row, JournalRecord* record) {
  if (row < 0 || (size_t)row >= HistoryIndex_Rows(*index)) return false;
  if (row == index->cachedRow) {
    *record = index->cached;
    return true;
  }
  // A record holds no CR: its line ends at the first, or at the file's end for the open line.
  char line[JOURNAL_LINE_MAX + 2];
  DWORD got = 0, length = 0;
  if (!readAt(index->file, rowStart(*index, (size_t)row), line, sizeof line, &got)) return false;
  while (length < got && line[length] != '\r') length++;
  if (!Journal_ParseRecord(line, length, record)) return false;
  index->cachedRow = row;
  index->cached = *record;
  return true;
}
