// The lines going back: each block is searched downwards for CR LF pairs, both bytes inside the
// block. A line whose start is not in the block is read again whole in the next block, which
// ends where the line does; one longer than a block is passed over without being kept.
#include "journal/lines.h"

#include <string.h>

bool Journal_ParseOpenLine(const char* line, size_t length, JournalRecord* record) {
  if (length > 0 && line[length - 1] == '\r') length--;
  return Journal_ParseRecord(line, length, record);
}

size_t Journal_HeadBytes() { return strlen(JOURNAL_HEADER) + 2; }

bool Journal_Continuable(const char* head, size_t length, uint64_t size) {
  size_t want = Journal_HeadBytes();
  if (size == 0) return true;
  return length >= want && memcmp(head, JOURNAL_HEADER, want - 2) == 0 &&
         memcmp(head + want - 2, "\r\n", 2) == 0;
}

void Journal_BackStart(JournalBack* back, uint64_t size) {
  memset(back, 0, sizeof *back);
  back->top = back->scan = back->lineEnd = size;
  back->open = true;
  back->done = size == 0;
}

uint64_t Journal_BackBlock(JournalBack* back, uint64_t most) {
  back->scan = back->top;
  return back->top > most ? back->top - most : 0;
}

bool Journal_BackNext(JournalBack* back, const char* bytes, uint64_t from, JournalLine* line) {
  for (uint64_t p = back->scan; !back->done && p > from + 1;) {
    p--;  // a line feed at p, its CR at p - 1
    if (bytes[p - from] != '\n' || bytes[p - 1 - from] != '\r') continue;
    bool found = !back->longLine && !(back->open && back->lineEnd == p + 1);
    line->start = p + 1;
    line->length = (size_t)(back->lineEnd - line->start);
    line->open = back->open;
    back->lineEnd = p - 1;
    back->open = back->longLine = false;
    back->scan = p - 1;
    if (found) return true;
  }
  if (back->done) return false;
  if (from == 0) {
    back->done = true;  // what is left is the first line, the header's place
    return false;
  }
  // The line sought starts before the block: the next block ends where it does, or, when it is
  // longer than a block, just after this block's first byte (a CR there may pair with a line
  // feed after it).
  back->longLine = back->longLine || back->lineEnd - from > JOURNAL_LINE_MAX + 2;
  back->top = back->longLine ? from + 1 : back->lineEnd;
  return false;
}

bool Journal_LineRecord(const JournalLine& line, const char* text, JournalRecord* record) {
  return line.open ? Journal_ParseOpenLine(text, line.length, record)
                   : Journal_ParseRecord(text, line.length, record);
}
