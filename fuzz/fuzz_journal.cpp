// Any bytes as a draw journal, from seeds that are journals as the program writes them. Checked:
// the check reads the same in pieces as at once; the lines found going back, in blocks of any
// size, are the records the check counts, and so are those found going back up to a line's start
// and read forward from there, as the history indexes a journal that grows (the history lists
// what draw-stats --verify counts);
// the chain's end is the same whatever the block; and the writer's append after any file adds
// exactly one record, which keeps a journal that held holding.
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "journal/check.h"
#include "journal/lines.h"
#include "journal/tail.h"

namespace {

JournalCheck checked(const char* bytes, size_t size, size_t piece) {
  JournalCheck check;
  Journal_CheckStart(&check);
  for (size_t at = 0; at < size; at += piece)
    Journal_CheckBytes(&check, bytes + at, size - at < piece ? size - at : piece);
  Journal_CheckEnd(&check);
  return check;
}

bool same(const JournalCheck& a, const JournalCheck& b) {
  return a.verdict == b.verdict && a.brokenLine == b.brokenLine && a.records == b.records;
}

// The record lines found going back in blocks of BLOCK bytes.
uint64_t countedBack(const std::string& file, size_t block) {
  JournalBack back;
  Journal_BackStart(&back, file.size());
  uint64_t records = 0;
  while (!back.done) {
    uint64_t from = Journal_BackBlock(&back, block);
    const char* bytes = file.data() + from;
    JournalLine line;
    JournalRecord record;
    while (Journal_BackNext(&back, bytes, from, &line))
      records += Journal_LineRecord(line, bytes + (line.start - from), &record);
  }
  return records;
}

void countRecord(void* records, const JournalForwardLine& line) {
  JournalRecord record;
  *(uint64_t*)records += Journal_ForwardRecord(line, &record);
}

// The records going back from SPLIT, a line's start, and going forward from there.
uint64_t countedBothWays(const std::string& file, size_t split, size_t piece) {
  uint64_t records = countedBack(file.substr(0, split), 1 << 16);
  JournalForward lines;
  Journal_ForwardStart(&lines, split, false);
  for (size_t at = split; at < file.size(); at += piece)
    Journal_ForwardFeed(&lines, file.data() + at, std::min(piece, file.size() - at), countRecord,
                        &records);
  JournalRecord open;
  return records + Journal_ForwardOpen(lines, &open);
}

bool readString(void* context, uint64_t offset, char* out, size_t size) {
  const std::string* file = (const std::string*)context;
  if (offset + size > file->size()) return false;
  memcpy(out, file->data() + offset, size);
  return true;
}

JournalTail tailOf(const std::string& file, size_t block) {
  std::vector<char> buffer(block);
  JournalTail tail;
  if (!Journal_FindTail(file.size(), buffer.data(), block, readString, (void*)&file, &tail))
    __builtin_trap();
  return tail;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file((const char*)data, size);
  size_t piece = size % 13 + 1;                     // pieces of every size, from one byte on
  size_t block = JOURNAL_LINE_MAX + 3 + size % 97;  // and blocks from the smallest allowed
  JournalCheck whole = checked(file.data(), size, size + 1);
  if (!same(whole, checked(file.data(), size, piece))) __builtin_trap();
  size_t split = file.rfind("\r\n", size > 2 ? size / 2 : 0);  // as a history opened then
  split = split == std::string::npos ? 0 : split + 2;
  if (countedBack(file, block) != whole.records || countedBack(file, 1 << 16) != whole.records ||
      countedBothWays(file, split, piece) != whole.records)
    __builtin_trap();

  JournalTail tail = tailOf(file, block), wide = tailOf(file, 1 << 16);
  if (tail.found != (tail.number != 0) || tail.number != wide.number ||
      memcmp(tail.fingerprint, wide.fingerprint, SHA256_HEX) != 0)
    __builtin_trap();

  JournalRecord next = {};
  memcpy(next.date, "2026-12-09T07:12:03.250+01:00", JOURNAL_DATE_LENGTH);
  const uint8_t balls[JOURNAL_BALLS] = {3, 17, 22, 41, 48}, stars[JOURNAL_STARS] = {2, 9};
  memcpy(next.balls, balls, sizeof balls);
  memcpy(next.stars, stars, sizeof stars);
  char line[JOURNAL_APPEND_MAX];
  size_t length = Journal_ComposeAppend(tail, size, &next, line, sizeof line);
  if (length == 0) return 0;  // only past the last number a record can have
  const std::string grown = file + std::string(line, length);
  JournalCheck after = checked(grown.data(), grown.size(), piece);
  if (after.records != whole.records + 1 || countedBack(grown, block) != after.records)
    __builtin_trap();
  if (whole.verdict == JOURNAL_HOLDS && after.verdict != JOURNAL_HOLDS) __builtin_trap();
  return 0;
}
