// Where a journal's chain ends: the record a new one chains on, found by reading the file back
// from its end. The file is only ever appended to, so a line cut by a crash, an edited line or
// garbage stays where it is; the next record chains on the last whole record, wherever that is,
// and starts on a line of its own. A last record that only lost its line end is whole: the
// writer gives it back its line end and numbers the next record after it.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "journal/record.h"

// The block read at a time going back, and so the most the search holds whatever the file.
const size_t JOURNAL_TAIL_BYTES = 64 * 1024;

struct JournalTail {
  bool found;  // a whole record was found
  // The last whole record's number and fingerprint; 0 and 64 '0' when there is none, so that
  // the next record is always number + 1 chained on fingerprint.
  uint64_t number;
  char fingerprint[SHA256_HEX + 1];
  // What the file's last line lacks before another line may follow: "" after a CR LF, "\n"
  // after a lone CR, "\r\n" otherwise.
  char lineEnd[3];
};

// Reads SIZE bytes at OFFSET of the file into BYTES; false when they cannot all be read.
typedef bool (*JournalReadFn)(void* context, uint64_t offset, char* bytes, size_t size);

// The chain's end of a file of SIZE bytes, read back from its end through READ, a block of at
// most CAPACITY bytes (more than JOURNAL_LINE_MAX + 2) at a time into BUFFER. False when a read
// failed.
bool Journal_FindTail(uint64_t size, char* buffer, size_t capacity, JournalReadFn read,
                      void* context, JournalTail* tail);

// The most bytes Journal_ComposeAppend writes: the header, a line end and the longest record.
const size_t JOURNAL_APPEND_MAX = 128 + JOURNAL_LINE_MAX + 2;

// The bytes to append to a file of SIZE bytes whose chain ends at TAIL: the header first in an
// empty file, the last line's missing line end, then RECORD numbered after TAIL and chained on
// it. Their length; 0 when the record cannot be made or CAPACITY is too small.
size_t Journal_ComposeAppend(const JournalTail& tail, uint64_t size, JournalRecord* record,
                             char* out, size_t capacity);
