// The draw journal: the sample journal, whose fingerprints were worked out with sha256sum from
// the format's definition, reproduced by the writer; the lines the reader must refuse; the end
// of the chain found from a file's tail; and the check of whole files, each kind of break, fed
// at once and a byte at a time.
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "journal/check.h"
#include "journal/lines.h"
#include "journal/tail.h"

namespace {

const std::string kHeader = std::string(JOURNAL_HEADER) + "\r\n";
const std::string kLines[] = {"1,2026-12-09T07:12:03.250+01:00,3,17,22,41,48,2,9,"
                              "bb354d1f7932341dd827f070fe24627b5bb6f4a7ed7fe0c99a939f251612594c",
                              "2,2026-12-09T07:12:09.004+01:00,45,0,12,7,33,11,0,"
                              "b2c4e5494c5328860f181f25fba14ea991532b680c186f046e391e3048bbb598",
                              "3,2026-12-09T07:13:41.980+01:00,19,28,4,49,36,5,6,"
                              "dc252d87f5b137a1af6b264af25988a591abff9785fdcd991c21876214067d57"};
const std::string kSample = kHeader + kLines[0] + "\r\n" + kLines[1] + "\r\n" + kLines[2] + "\r\n";

// TEXT with the first FROM in it replaced by TO.
std::string edit(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  return at == std::string::npos ? "no " + from : text.replace(at, from.size(), to);
}

TEST(Journal, Sha256OfTheStandardsExample) {
  char hex[SHA256_HEX];
  ASSERT_TRUE(Sha256_Hex("abc", 3, hex));
  EXPECT_EQ(std::string(hex, SHA256_HEX),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Journal, WriterReproducesTheSampleJournal) {
  std::string previous;
  for (const std::string& text : kLines) {
    JournalRecord r;
    ASSERT_TRUE(Journal_ParseRecord(text.data(), text.size(), &r)) << text;
    memset(r.fingerprint, 'x', SHA256_HEX);
    char line[JOURNAL_LINE_MAX + 2];
    size_t n =
        Journal_FormatRecord(&r, previous.empty() ? nullptr : previous.c_str(), line, sizeof line);
    EXPECT_EQ(std::string(line, n), text + "\r\n");
    EXPECT_EQ(Journal_FormatRecord(&r, nullptr, line, n - 1), 0u);  // no room for the LF
    previous = r.fingerprint;
  }
  JournalRecord twice;  // a ball twice is no draw: nothing is written
  ASSERT_TRUE(Journal_ParseRecord(kLines[0].data(), kLines[0].size(), &twice));
  twice.balls[4] = twice.balls[0];
  char line[JOURNAL_LINE_MAX + 2];
  EXPECT_EQ(Journal_FormatRecord(&twice, nullptr, line, sizeof line), 0u);
}

TEST(Journal, ReaderTakesExactRecordsOnly) {
  const std::string& good = kLines[0];
  const struct {
    std::string line;
    bool record;
  } cases[] = {
      {good, true},
      {edit(good, "2026-12-09", "2028-02-29"), true},  // a leap day
      {edit(good, "+01:00", "-09:30"), true},
      {good.substr(0, 60), false},           // torn
      {good + ",7", false},                  // eleven fields
      {edit(good, ",2,9,", ",2,"), false},   // nine
      {edit(good, ",48,", ",50,"), false},   // a ball out of range
      {edit(good, ",2,9", ",12,9"), false},  // a star out of range
      {edit(good, ",41,", ",17,"), false},   // a ball twice
      {edit(good, ",2,9", ",9,9"), false},   // a star twice
      {edit(good, ",3,", ",03,"), false},    // a leading zero
      {edit(good, "1,", "01,"), false},      // in the number
      {edit(good, "1,", "0,"), false},       // no record 0
      {edit(good, "1,", "+1,"), false},      // a sign
      {edit(good, "1,", "9999999999999999999,"), true},
      {edit(good, "1,", "18446744073709551617,"), false},  // 2^64 + 1: 1 if it wrapped
      {edit(good, "+01:00", "Z"), false},                  // no offset
      {edit(good, ".250", ""), false},                     // no milliseconds
      {edit(good, "-12-", "-13-"), false},                 // month 13
      {edit(good, "2026-12-09", "2026-02-29"), false},     // no leap day in 2026
      {edit(good, "T07", "T24"), false},
      {edit(good, "+01:00", "+15:00"), false},
      {edit(good, "bb35", "BB35"), false},       // uppercase hexadecimal
      {good.substr(0, good.size() - 1), false},  // 63 digits of fingerprint
      {edit(good, "17", std::string("1\0", 2)), false},
      {edit(good, "22", "\xff\xfe"), false},  // garbage bytes
      {"", false},
  };
  for (const auto& c : cases) {
    JournalRecord r;
    EXPECT_EQ(Journal_ParseRecord(c.line.data(), c.line.size(), &r), c.record) << c.line;
  }
}

// Reads a string as a file, counting the bytes asked for at once.
struct Reading {
  const std::string* bytes;
  size_t most;
};
bool readString(void* context, uint64_t offset, char* out, size_t size) {
  Reading* r = (Reading*)context;
  r->most = std::max(r->most, size);
  if (offset + size > r->bytes->size()) return false;
  memcpy(out, r->bytes->data() + offset, size);
  return true;
}

// The chain's end, read back in blocks of 200 bytes: the record a new one chains on, the line end
// the last line lacks, never more than a block held however long the garbage after it. (That
// the writer's append after it keeps a journal whole, one record longer, the fuzz target checks
// for any file.)
TEST(Journal, TailIsTheLastWholeRecord) {
  const std::string cut = kLines[2].substr(0, 70), garbage(100000, 'x');
  const struct {
    std::string bytes;
    uint64_t number;  // 0: none found
    const char* lineEnd;
  } cases[] = {
      {kSample, 3, ""},
      {kSample + "4,2026-12-09T07:14", 3, "\r\n"},         // torn
      {kSample + "\x01garbage\r\n\r\n", 3, ""},            // garbage
      {kSample + garbage + "\r\n" + garbage, 3, "\r\n"},   // longer than a block
      {edit(kSample, ",19,", ",19,19,"), 2, ""},           // the last line edited
      {kSample.substr(0, kSample.size() - 2), 3, "\r\n"},  // its line end lost
      {kSample.substr(0, kSample.size() - 1), 3, "\n"},    // its line feed lost
      {kSample + cut + "\r", 3, "\n"},                     // cut, then a CR
      {kLines[0] + "\r\n" + kLines[1] + "\r\n", 2, ""},    // no header: line 1 is none
      {"", 0, ""},
      {kHeader, 0, ""},
      {kHeader.substr(0, 10), 0, "\r\n"},
  };
  for (const auto& c : cases) {
    Reading reading = {&c.bytes, 0};
    char buffer[200];
    JournalTail t;
    ASSERT_TRUE(Journal_FindTail(c.bytes.size(), buffer, sizeof buffer, readString, &reading, &t));
    EXPECT_EQ(t.found, c.number != 0) << c.bytes;
    EXPECT_EQ(t.number, c.number) << c.bytes;
    EXPECT_STREQ(t.lineEnd, c.lineEnd) << c.bytes;
    EXPECT_LE(reading.most, sizeof buffer);
    const std::string none(SHA256_HEX, '0'), *line = c.number ? &kLines[c.number - 1] : &none;
    EXPECT_EQ(t.fingerprint, line->substr(line->size() - SHA256_HEX)) << c.bytes;
  }
}

TEST(Journal, CheckFindsTheFirstBreak) {
  const struct {
    std::string bytes;
    JournalBreak verdict;
    uint64_t line, records;
  } cases[] = {
      {kSample, JOURNAL_HOLDS, 0, 3},
      {"", JOURNAL_HOLDS, 0, 0},
      {kHeader, JOURNAL_HOLDS, 0, 0},
      {edit(kSample, "numero", "Numero"), JOURNAL_HEADER_WRONG, 1, 3},
      {edit(kSample, ",45,", ",46,"), JOURNAL_EDITED, 3, 3},
      {edit(kSample, kLines[1] + "\r\n", ""), JOURNAL_OUT_OF_ORDER, 3, 2},  // record 2 removed
      {edit(kSample, "\r\n2,", "\r\nnot a record\r\n2,"), JOURNAL_UNREADABLE, 3, 3},
      {edit(kSample, "\r\n2,", "\r\n" + std::string(100000, '7') + "\r\n2,"), JOURNAL_UNREADABLE, 3,
       3},
      {kSample + "4,2026-12-09T07:1", JOURNAL_CUT, 5, 3},
      {kSample.substr(0, kSample.size() - 1), JOURNAL_HOLDS, 0, 3},  // a CR without its LF
      {kSample.substr(0, kSample.size() - 2), JOURNAL_HOLDS, 0, 3},  // without either
      {edit(kSample, ",19,", ",18,").substr(0, kSample.size() - 2), JOURNAL_EDITED, 4, 3},
      {kSample + kLines[2].substr(0, 100) + "\r", JOURNAL_CUT, 5, 3},
      {edit(kSample, ",45,", ",46,") + "4,2026", JOURNAL_EDITED, 3, 3},
  };
  for (const auto& c : cases) {
    for (size_t piece : {c.bytes.size() + 1, (size_t)1}) {
      JournalCheck check;
      Journal_CheckStart(&check);
      for (size_t at = 0; at < c.bytes.size(); at += piece)
        Journal_CheckBytes(&check, c.bytes.data() + at, std::min(piece, c.bytes.size() - at));
      Journal_CheckEnd(&check);
      EXPECT_EQ(check.verdict, c.verdict) << c.bytes.substr(0, 200) << " in pieces of " << piece;
      EXPECT_EQ(check.brokenLine, c.line) << c.bytes.substr(0, 200);
      EXPECT_EQ(check.records, c.records) << c.bytes.substr(0, 200);
    }
  }
}

// Record 3 removed and drawn again: the chain holds, and only the noted number and fingerprint
// tell; "N:HEX" as a user types it, in either case, read strictly.
TEST(Journal, AnchorShowsTheLastDrawsDrawnAgain) {
  JournalRecord again;
  ASSERT_TRUE(Journal_ParseRecord(kLines[2].data(), kLines[2].size(), &again));
  again.balls[0] = 20;
  char line[JOURNAL_LINE_MAX + 2];
  size_t n = Journal_FormatRecord(&again, kLines[1].substr(kLines[1].size() - SHA256_HEX).c_str(),
                                  line, sizeof line);
  const std::string redrawn = edit(kSample, kLines[2] + "\r\n", std::string(line, n));
  const struct {
    const std::string* bytes;
    const char* anchor;  // null: malformed
    JournalAnchor result;
  } cases[] = {
      {&kSample, "3:DC252D87", JOURNAL_ANCHOR_MATCHES},
      {&kSample, "3:dc252d87f5b137a1af6b264af25988a591abff9785fdcd991c21876214067d57",
       JOURNAL_ANCHOR_MATCHES},
      {&redrawn, "3:dc252d87", JOURNAL_ANCHOR_DIFFERS},
      {&kSample, "2:dc252d87", JOURNAL_ANCHOR_DIFFERS},
      {&kSample, "4:dc252d87", JOURNAL_ANCHOR_MISSING},
      {&kSample, "3:dc252d8", JOURNAL_ANCHOR_NONE},  // 7 digits
      {&kSample, "03:dc252d87", JOURNAL_ANCHOR_NONE},
      {&kSample, "3:dc252d8g", JOURNAL_ANCHOR_NONE},
      {&kSample, "3 dc252d87", JOURNAL_ANCHOR_NONE},
      {&kSample, "3:dc252d87f5b137a1af6b264af25988a591abff9785fdcd991c21876214067d570",
       JOURNAL_ANCHOR_NONE},  // 65
  };
  for (const auto& c : cases) {
    uint64_t number = 0;
    char hex[SHA256_HEX];
    size_t length = 0;
    bool parsed = Journal_ParseAnchor(c.anchor, strlen(c.anchor), &number, hex, &length);
    EXPECT_EQ(parsed, c.result != JOURNAL_ANCHOR_NONE) << c.anchor;
    if (!parsed) continue;
    JournalCheck check;
    Journal_CheckStart(&check);
    Journal_CheckAnchor(&check, number, hex, length);
    Journal_CheckBytes(&check, c.bytes->data(), c.bytes->size());
    Journal_CheckEnd(&check);
    EXPECT_EQ(check.verdict, JOURNAL_HOLDS) << c.anchor;
    EXPECT_EQ(check.anchor, c.result) << c.anchor;
  }
}

}  // namespace
