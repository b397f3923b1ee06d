// The chain's end: the newest record line found going back from the file's end, in blocks.
#include "journal/tail.h"

#include <string.h>

#include "journal/lines.h"

namespace {

// The bytes the last line lacks, from the file's last two bytes (LAST has SIZE of them).
void missingEnd(const char* last, size_t size, char lineEnd[3]) {
  memset(lineEnd, 0, 3);
  if (size == 0 || (size >= 2 && last[size - 2] == '\r' && last[size - 1] == '\n')) return;
  memcpy(lineEnd, last[size - 1] == '\r' ? "\n" : "\r\n", last[size - 1] == '\r' ? 1 : 2);
}

}  // namespace

bool Journal_FindTail(uint64_t size, char* buffer, size_t capacity, JournalReadFn read,
                      void* context, JournalTail* tail) {
  memset(tail, 0, sizeof *tail);
  memset(tail->fingerprint, '0', SHA256_HEX);
  JournalBack back;
  Journal_BackStart(&back, size);
  for (bool first = true; !back.done; first = false) {
    uint64_t from = Journal_BackBlock(&back, capacity);
    size_t length = (size_t)(back.top - from);
    if (!read(context, from, buffer, length)) return false;
    if (first) missingEnd(buffer, length, tail->lineEnd);
    JournalLine line;
    while (Journal_BackNext(&back, buffer, from, &line)) {
      JournalRecord record;
      if (!Journal_LineRecord(line, buffer + (line.start - from), &record)) continue;
      tail->found = true;
      tail->number = record.number;
      memcpy(tail->fingerprint, record.fingerprint, SHA256_HEX);
      return true;
    }
  }
  return true;
}

size_t Journal_ComposeAppend(const JournalTail& tail, uint64_t size, JournalRecord* record,
                             char* out, size_t capacity) {
  size_t header = strlen(JOURNAL_HEADER), length = 0;
  if (capacity < JOURNAL_APPEND_MAX) return 0;
  if (size == 0) {
    memcpy(out, JOURNAL_HEADER, header);
    memcpy(out + header, "\r\n", 2);
    length = header + 2;
  } else {
    length = strlen(tail.lineEnd);
    memcpy(out, tail.lineEnd, length);
  }
  record->number = tail.number + 1;
  size_t line = Journal_FormatRecord(record, tail.found ? tail.fingerprint : nullptr, out + length,
                                     capacity - length);
  return line ? length + line : 0;
}
