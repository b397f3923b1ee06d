// A journal's lines as every reader takes them: the program's writer, the history and
// draw-stats alike. A line ends with CR LF; the first line is the header's place and never a
// record; the bytes after the last CR LF are the file's open last line, which is a record all the
// same when they read as one (an editor or a copy dropped the last line end), with or without a
// lone CR after them. Any other line is a record exactly when Journal_ParseRecord takes it.
//
// JournalForward reads the lines forward, fed in pieces of any size; the check of a whole file,
// the history's index of what was appended and its export all read through it.
//
// JournalBack finds the lines going back from a file's end, a block at a time, keeping nothing
// between blocks but a few offsets: the chain's end and the history's index are found in
// bounded memory however long the file and whatever garbage its tail holds.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "journal/record.h"

// The open last line read as a record: one lone CR at its end is dropped first.
bool Journal_ParseOpenLine(const char* line, size_t length, JournalRecord* record);

// How many bytes of a file's start Journal_Continuable reads: the header and its CR LF.
size_t Journal_HeadBytes();
// Whether a file of SIZE bytes, whose first LENGTH bytes are at HEAD, is a journal the program
// may append to: empty, or its first line exactly the header followed by CR LF. Anything else
// (another encoding, a byte order mark, LF line ends, another separator, a cut header) is set
// aside whole, never written into.
bool Journal_Continuable(const char* head, size_t length, uint64_t size);

struct JournalBack {
  uint64_t top;      // the block being read ends here
  uint64_t scan;     // lines ending before this offset in the block are still to be found
  uint64_t lineEnd;  // where the content of the line sought ends: its CR, or the file's end
  bool open;         // that line is the file's last, without its CR LF
  bool longLine;     // that line is longer than a block: skipped, never a record
  bool done;         // the file's second line was passed: no line is left
};

struct JournalLine {
  uint64_t start;  // in the file
  size_t length;   // its CR LF left out; the open line's lone CR is kept
  bool open;       // the file's last line, without its CR LF
};

// A file of SIZE bytes, read from its end.
void Journal_BackStart(JournalBack* back, uint64_t size);
// The next block to read, [returned offset, back->top), at most MOST bytes; MOST must exceed
// JOURNAL_LINE_MAX + 2. Nothing to read once back->done.
uint64_t Journal_BackBlock(JournalBack* back, uint64_t most);
// The next line going back in the block BYTES read from FROM (as Journal_BackBlock gave it);
// false when the block holds no further whole line: read the next block. The line's bytes are
// at BYTES + (line->start - FROM).
bool Journal_BackNext(JournalBack* back, const char* bytes, uint64_t from, JournalLine* line);
// Whether LINE, found at TEXT, is a record, and which.
bool Journal_LineRecord(const JournalLine& line, const char* text, JournalRecord* record);

struct JournalForward {
  uint64_t at;         // the offset after the last byte fed
  uint64_t lineStart;  // where the line being gathered starts
  uint64_t number;     // its number in the file, from 1 (when the reading began at the start)
  uint64_t length;     // its bytes so far, kept or not
  bool skip;           // it is no record whatever it holds: the file's first line, or one begun
                       // before the reading
  char lastByte;
  char text[JOURNAL_LINE_MAX + 1];  // as much of it as may be a record, a CR after it included
};

// A whole line read forward.
struct JournalForwardLine {
  uint64_t start;
  uint64_t number;
  const char* text;  // its bytes without CR LF; null when it is too long to be a record
  size_t length;
  bool mayBeRecord;  // false for the first line and one begun before the reading
};
typedef void (*JournalLineFn)(void* context, const JournalForwardLine& line);

// Lines from offset FROM; MID_LINE when FROM may be inside a line.
void Journal_ForwardStart(JournalForward* lines, uint64_t from, bool midLine);
// The next SIZE bytes of the file: LINE_FN is called for each line they end.
void Journal_ForwardFeed(JournalForward* lines, const char* bytes, size_t size,
                         JournalLineFn lineFn, void* context);
// Whether a whole line is a record, and which.
bool Journal_ForwardRecord(const JournalForwardLine& line, JournalRecord* record);
// Whether the open last line (the bytes after the last CR LF fed) is a record, and which.
bool Journal_ForwardOpen(const JournalForward& lines, JournalRecord* record);
