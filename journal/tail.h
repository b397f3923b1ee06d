// Where a journal's chain ends, read from the last bytes of the file: the record a new one
// chains on. The file is only ever appended to, so a line cut by a crash, an edited line or
// garbage stays where it is; the next record chains on the last whole record (a line ended by
// CR LF that reads as a record), wherever that is, and starts on a line of its own.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "journal/sha256.h"

// What to read first: the last JOURNAL_TAIL_BYTES of the file hold dozens of records. When they
// hold none (garbage after the last record), read twice as much from the end, and so on.
const size_t JOURNAL_TAIL_BYTES = 4096;

struct JournalTail {
  bool found;     // a whole record was found in the bytes
  bool readMore;  // none was, and the bytes start inside the file: read from further back
  bool lineOpen;  // the bytes end inside a line, cut or never ended: write CR LF first
  // The last whole record's number and fingerprint; 0 and 64 '0' when there is none, so that
  // the next record is always number + 1 chained on fingerprint.
  uint64_t number;
  char fingerprint[SHA256_HEX + 1];
};

// Reads the SIZE bytes at BYTES, the end of a journal; AT_FILE_START says whether they are the
// whole file. Unless they are, their first line may be the end of a longer one and is never
// taken for a record. The header is not looked at: an empty file takes the header first.
JournalTail Journal_FindTail(const char* bytes, size_t size, bool atFileStart);
