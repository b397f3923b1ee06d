// Any bytes as a draw journal, from seeds that are journals as the program writes them. Checked:
// the check reads the same in pieces as at once; the tail finder, given the whole file, never
// asks for more, and given only its end finds the same record or asks for more; and a journal
// that holds ends where the tail finder says, so that the record the writer appends there keeps
// it holding, one record longer.
#include <string.h>

#include <string>

#include "journal/check.h"
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

bool sameRecord(const JournalTail& a, const JournalTail& b) {
  return a.number == b.number && memcmp(a.fingerprint, b.fingerprint, SHA256_HEX) == 0;
}

// The journal with the writer's next record after TAIL: the header first in an empty file.
std::string appended(const char* bytes, size_t size, const JournalTail& tail) {
  JournalRecord next = {};
  next.number = tail.number + 1;
  memcpy(next.date, "2026-12-09T07:12:03.250+01:00", JOURNAL_DATE_LENGTH);
  const uint8_t balls[JOURNAL_BALLS] = {3, 17, 22, 41, 48}, stars[JOURNAL_STARS] = {2, 9};
  memcpy(next.balls, balls, sizeof balls);
  memcpy(next.stars, stars, sizeof stars);
  char line[JOURNAL_LINE_MAX + 2];
  size_t length = Journal_FormatRecord(&next, tail.fingerprint, line, sizeof line);
  if (length == 0) __builtin_trap();
  std::string grown = size ? std::string(bytes, size) : std::string(JOURNAL_HEADER) + "\r\n";
  return grown.append(line, length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* bytes = (const char*)data;
  size_t piece = size % 13 + 1;  // pieces of every size, from one byte on, as the input varies
  JournalCheck whole = checked(bytes, size, size + 1);
  if (!same(whole, checked(bytes, size, piece))) __builtin_trap();

  JournalTail tail = Journal_FindTail(bytes, size, true);
  if (tail.readMore || tail.found != (tail.number != 0)) __builtin_trap();
  size_t from = size > JOURNAL_TAIL_BYTES ? size - JOURNAL_TAIL_BYTES : size / 2;
  JournalTail end = Journal_FindTail(bytes + from, size - from, false);
  if (end.found ? !sameRecord(end, tail) : !end.readMore) __builtin_trap();

  if (whole.verdict == JOURNAL_HOLDS) {
    if (tail.number != whole.records || tail.lineOpen) __builtin_trap();
    std::string grown = appended(bytes, size, tail);
    JournalCheck after = checked(grown.data(), grown.size(), piece);
    if (after.verdict != JOURNAL_HOLDS || after.records != whole.records + 1) __builtin_trap();
  }
  return 0;
}
