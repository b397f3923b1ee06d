// The history's index of the journal: where the line of every row starts, newest first, kept
// while the journal is read back from its end a slice at a time and forward as records are
// appended. A row is exactly a line that journal/lines.h accepts as a record, every line parsed
// as it is indexed: a cut line, garbage or the header is never a row. The open last line that
// reads as a record is the newest row, held apart (provisional) until its line end arrives, so
// that it is never counted twice. The index follows the file at the journal's path: one moved
// away or replaced (another file identity, or a file shorter than what was indexed) is dropped
// and the file now at the path indexed instead.
#pragma once

#include "journal/lines.h"
#include "journal/record.h"
#include "runtime/platform.h"

// Offsets in the file, in the order they were found.
struct HistoryOffsets {
  uint64_t* at;
  size_t count;
  size_t capacity;
};

struct HistoryIndex {
  HANDLE file;  // the journal read, shared with writers and with anyone moving it; null: none
  BY_HANDLE_FILE_INFORMATION identity;
  HistoryOffsets newer;  // whole records found going forward, oldest first
  HistoryOffsets older;  // found going back from where the forward reading began, newest first
  JournalBack back;
  bool backStarted;      // the first block back was read: the forward reading knows where it begins
  JournalForward ahead;  // going forward
  bool provisional;      // the open last line reads as a record: the newest row
  uint64_t provisionalStart;
  JournalRecord openRecord;   // its record
  JournalRecord newestAhead;  // the newest record found going forward
  JournalRecord newestBack;   // and going back
  intptr_t cachedRow;         // the list asks for a row's columns in turn: the row read last
  JournalRecord cached;
};

// Opens the journal at PATH and indexes its newest rows, at least FIRST_ROWS of them or the
// whole file; false (an empty index) when there is no file to read there.
bool HistoryIndex_Open(HistoryIndex* index, const Char16* path, size_t firstRows);
// Gives back the file and the memory; the index is empty.
void HistoryIndex_Close(HistoryIndex* index);
// Older rows, going back about BUDGET more bytes; true once the file's start was reached (or a
// read failed: the rows found so far are all there are).
bool HistoryIndex_Back(HistoryIndex* index, uint64_t budget);
bool HistoryIndex_BackDone(const HistoryIndex& index);

enum HistoryChange {
  HISTORY_SAME,      // the file at the path is the one indexed, and no row came
  HISTORY_GREW,      // rows came (or went) at the top: *shift says how many
  HISTORY_REPLACED,  // another file (or none) is at the path now: indexed anew
};
// Looks at the file at PATH now and indexes what was appended since the last look, going
// forward from where the index ended; a file moved away, replaced or shorter is indexed anew.
HistoryChange HistoryIndex_Follow(HistoryIndex* index, const Char16* path, size_t firstRows,
                                  intptr_t* shift);

size_t HistoryIndex_Rows(const HistoryIndex& index);
// Row 0's record, as it was indexed; false when there is no row.
bool HistoryIndex_Newest(const HistoryIndex& index, JournalRecord* record);
// Row ROW's record, read again from the file; false when it cannot be read.
bool HistoryIndex_Row(HistoryIndex* index, intptr_t row, JournalRecord* record);
