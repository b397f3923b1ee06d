// The draw journal on disk: %APPDATA%\Tirage Vorellis\tirages.csv, the user's record of every
// draw the program showed (the format and its chain are in journal/). A draw's record is
// appended, under a lock of the file, before the draw is shown, and flushed to disk once it is
// on screen: a program killed at any moment has every draw it showed in the file. Nothing is
// written before the first draw, and nothing already in the file is ever rewritten: a file the
// program cannot continue (not a journal, or one saved again by another program) is set aside
// whole under another name and a new journal started.
#pragma once

#include "runtime/platform.h"

// One draw's record on its way to the disk.
struct JournalWrite {
  HANDLE file;                  // open until JournalFile_Finish; null when nothing was written
  uint64_t number;              // the record's number, 0 when it could not be written
  SYSTEMTIME date;              // the record's local date and time, once it is written
  const Char16* step;           // what failed, as the notice says it ("d'ouvrir le journal"); null
                                // when the record was written
  DWORD error;                  // the system's error code for that step
  Char16 aside[MAX_PATH + 64];  // the name a foreign file was set aside under; empty if none
  const Char16* foreign;        // why it was, as the notice says it
};

// Appends the record of a draw of five balls and two stars, in the order they are shown. False,
// with `write` saying what failed, when it could not be written: the draw is shown all the same.
bool JournalFile_Append(const int32_t balls[5], const int32_t stars[2], JournalWrite* write);
// The draw is on screen: its record goes to the disk and the file is closed. False, with `write`
// saying what failed, when either could not be done: the draw is then not surely recorded.
bool JournalFile_Finish(JournalWrite* write);
// The draw's outcome, for the user: a file set aside is told at once; a record not written is
// told once in the program's run (the notice says that draws are not kept meanwhile) and counted.
void JournalFile_Report(const JournalWrite& write);
// How many draws in a row have not been recorded, up to now, and in SINCE the local time of the
// first of them; 0 once a draw is recorded again.
uint32_t JournalFile_Unrecorded(SYSTEMTIME* since);

namespace journal_file_detail {
// The journal's path, for tests; empty when the system does not give the folder.
const Char16* path();
// Tests and benchmarks turn the journal off, or its flush alone, and on again; it is on from
// the start.
enum Mode { ON, NO_FLUSH, OFF };
void setMode(Mode mode);
// Tests keep their journal in a folder of their own, never the user's: FOLDER (no trailing
// backslash) instead of %APPDATA%\Tirage Vorellis from now on.
void useFolder(const Char16* folder);
}  // namespace journal_file_detail
