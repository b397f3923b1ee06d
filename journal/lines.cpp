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

namespace {

// Where the last line feed in BYTES[1, END) is; 0 when there is none. A word at a time: a history
// of a million records goes through every byte of the file, and a byte at a time took longer
// than reading it.
size_t lastFeed(const char* bytes, size_t end) {
  const size_t ones = (size_t)-1 / 255, feeds = ones * '\n', highs = ones * 0x80;
  while (end > 1 && (uintptr_t)(bytes + end) % sizeof(size_t) != 0)
    if (bytes[--end] == '\n') return end;
  for (size_t word; end > sizeof word; end -= sizeof word) {
    memcpy(&word, bytes + end - sizeof word, sizeof word);
    word ^= feeds;
    if ((word - ones) & ~word & highs) break;  // a line feed is in it
  }
  while (end > 1)
    if (bytes[--end] == '\n') return end;
  return 0;
}

}  // namespace

bool Journal_BackNext(JournalBack* back, const char* bytes, uint64_t from, JournalLine* line) {
  // The search runs on an index into the block: 64-bit offsets cost a 32-bit build more than the
  // search itself.
  for (size_t i = back->done ? 0 : (size_t)(back->scan - from); i > 1;) {
    i = lastFeed(bytes, i);  // a line feed at i, its CR at i - 1
    if (i == 0) break;
    if (bytes[i - 1] != '\r') continue;
    uint64_t p = from + i;
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

namespace {

// Appends the line's next SIZE bytes, as far as they may still be a record.
void gather(JournalForward* lines, const char* bytes, size_t size) {
  if (!size) return;
  if (lines->length < sizeof lines->text) {
    size_t room = sizeof lines->text - (size_t)lines->length;
    memcpy(lines->text + lines->length, bytes, size < room ? size : room);
  }
  lines->length += size;
  lines->lastByte = bytes[size - 1];
}

}  // namespace

void Journal_ForwardStart(JournalForward* lines, uint64_t from, bool midLine) {
  memset(lines, 0, sizeof *lines);
  lines->at = lines->lineStart = from;
  lines->number = 1;
  lines->skip = midLine || from == 0;  // the file's first line is the header's place
}

void Journal_ForwardFeed(JournalForward* lines, const char* bytes, size_t size,
                         JournalLineFn lineFn, void* context) {
  const char* end = bytes + size;
  for (const char* p = bytes; p < end;) {
    const char* feed = (const char*)memchr(p, '\n', (size_t)(end - p));
    gather(lines, p, (size_t)((feed ? feed : end) - p));
    if (!feed) break;
    p = feed + 1;
    // A line feed after a CR ends the line; any other belongs to it.
    if (lines->length == 0 || lines->lastByte != '\r') {
      gather(lines, feed, 1);
      continue;
    }
    bool kept = lines->length <= sizeof lines->text;
    JournalForwardLine line = {lines->lineStart, lines->number, kept ? lines->text : nullptr,
                               kept ? (size_t)lines->length - 1 : 0, !lines->skip};
    lineFn(context, line);
    lines->lineStart = lines->at + (uint64_t)(p - bytes);
    lines->number++;
    lines->length = 0;
    lines->skip = false;
  }
  lines->at += size;
}

bool Journal_ForwardRecord(const JournalForwardLine& line, JournalRecord* record) {
  return line.mayBeRecord && line.text && Journal_ParseRecord(line.text, line.length, record);
}

bool Journal_ForwardOpen(const JournalForward& lines, JournalRecord* record) {
  return !lines.skip && lines.length > 0 && lines.length <= sizeof lines.text &&
         Journal_ParseOpenLine(lines.text, (size_t)lines.length, record);
}
