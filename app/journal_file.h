// The draw journal on disk: %APPDATA%\Tirage Vorellis\tirages.csv, the user's record of every
// draw the program showed (the format and its chain are in journal/). A draw's record is
// appended, under a lock of the file, before the draw is shown, and flushed to disk once it is
// on screen: a program killed at any moment has every draw it showed in the file. Nothing is
// written before the first draw, and nothing already in the file is ever rewritten.
#pragma once

#include "runtime/platform.h"

// One draw's record on its way to the disk.
struct JournalWrite {
  HANDLE file;         // open until JournalFile_Finish; null when nothing was written
  uint64_t number;     // the record's number, 0 when it could not be written
  const Char16* step;  // what failed, as the notice says it ("d'ouvrir le journal"); null
                       // when the record was written
  DWORD error;         // the system's error code for that step
};

// Appends the record of a draw of five balls and two stars, in the order they are shown. False,
// with `write` saying what failed, when it could not be written: the draw is shown all the same.
bool JournalFile_Append(const int32_t balls[5], const int32_t stars[2], JournalWrite* write);
// The draw is on screen: its record goes to the disk and the file is closed.
void JournalFile_Finish(JournalWrite* write);
// Tells the user, once in the program's run, that a record could not be written and why, and
// that draws are not kept while the journal cannot be written.
void JournalFile_TellFailure(const JournalWrite& write);

namespace journal_file_detail {
// The journal's path, for tests; empty when the system does not give the folder.
const Char16* path();
// Tests and benchmarks turn the journal off, or its flush alone, and on again; it is on from
// the start.
enum Mode { ON, NO_FLUSH, OFF };
void setMode(Mode mode);
}  // namespace journal_file_detail
