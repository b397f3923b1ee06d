// The draw journal's lines. A journal is UTF-8 text (ASCII in fact), every line ended by CR LF:
// the header, then one record per draw shown,
//   numero,date,boule1,...,boule5,etoile1,etoile2,empreinte
// whose fingerprint (empreinte) is the lowercase hexadecimal SHA-256 of the previous whole
// record's fingerprint (64 '0' before the first record), a line feed, and the record's line up
// to its last comma. Each record so vouches for every one before it: a record edited, removed
// or moved no longer matches.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "journal/date.h"
#include "journal/sha256.h"

// The first line of every journal, without its CR LF.
extern const char JOURNAL_HEADER[];
// A record's line, CR LF not counted, is shorter than this (the longest is 136 characters);
// anything as long is not a record.
const size_t JOURNAL_LINE_MAX = 160;
const int JOURNAL_BALLS = 5;                                 // distinct, 0 to 49
const int JOURNAL_STARS = 2;                                 // distinct, 0 to 11
const uint64_t JOURNAL_NUMBER_MAX = 9999999999999999999ull;  // 19 digits: one more never wraps

struct JournalRecord {
  uint64_t number;                     // 1 for the first record, then the last one's + 1
  char date[JOURNAL_DATE_LENGTH + 1];  // terminated
  uint8_t balls[JOURNAL_BALLS];        // in the order shown
  uint8_t stars[JOURNAL_STARS];
  char fingerprint[SHA256_HEX + 1];  // terminated
};

// Writes RECORD's line into LINE, CR LF included, with its fingerprint chained on PREVIOUS (the
// last whole record's fingerprint, SHA256_HEX characters; null before the first record), which
// it also stores in record->fingerprint. Returns the line's length; 0 when the record is not one
// a journal may hold (its number, the shape of its date, its values) or CAPACITY is too small
// (JOURNAL_LINE_MAX + 2 always suffices), and when the hash cannot be had.
size_t Journal_FormatRecord(JournalRecord* record, const char* previous, char* line,
                            size_t capacity);

// Reads the LENGTH bytes at LINE (its CR LF left out) as a record, reading nothing outside them:
// true when they are exactly one, every field in its form and range. The fingerprint is only
// read here; Journal_FingerprintHolds checks it.
bool Journal_ParseRecord(const char* line, size_t length, JournalRecord* record);

// Whether RECORD, read from LINE, carries the fingerprint computed from PREVIOUS (as for
// Journal_FormatRecord). False too when the hash cannot be had.
bool Journal_FingerprintHolds(const JournalRecord& record, const char* line, size_t length,
                              const char* previous);
