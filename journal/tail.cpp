// The chain's end, found by reading the lines backwards from the end of the bytes.
#include "journal/tail.h"

#include <string.h>

#include "journal/record.h"

namespace {

const size_t kNone = (size_t)-1;

// Where the last CR LF that lies wholly before LIMIT starts; kNone when there is none.
size_t lastLineEnd(const char* bytes, size_t limit) {
  for (size_t i = limit; i >= 2; i--)
    if (bytes[i - 2] == '\r' && bytes[i - 1] == '\n') return i - 2;
  return kNone;
}

}  // namespace

JournalTail Journal_FindTail(const char* bytes, size_t size, bool atFileStart) {
  JournalTail tail = {};
  memset(tail.fingerprint, '0', SHA256_HEX);
  tail.lineOpen = size > 0 && !(size >= 2 && bytes[size - 2] == '\r' && bytes[size - 1] == '\n');
  for (size_t end = lastLineEnd(bytes, size); end != kNone;) {
    size_t before = lastLineEnd(bytes, end);
    if (before == kNone && !atFileStart) break;  // a first line that may be cut at its start
    size_t start = before == kNone ? 0 : before + 2;
    JournalRecord record;
    if (Journal_ParseRecord(bytes + start, end - start, &record)) {
      tail.found = true;
      tail.number = record.number;
      memcpy(tail.fingerprint, record.fingerprint, SHA256_HEX);
      return tail;
    }
    end = before;
  }
  tail.readMore = !atFileStart;
  return tail;
}
