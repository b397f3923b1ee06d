// draw-stats --verify FILE: checks a draw journal, every record's fingerprint and order.
#pragma once

#include <string>

namespace drawstats {

// Checks the journal at PATH and says what it found in MESSAGE, one line without its end; with
// EXPECT ("N:HEX", as --expect takes it; null or empty for none), also that record N is there
// and that its fingerprint begins with HEX. Returns the exit code: 0 when every record holds
// (and record N matches), 1 at the first broken line or when record N is missing or differs, 2
// when the file cannot be read or EXPECT is malformed.
int verify_journal(const char* path, const char* expect, std::string* message);

}  // namespace drawstats
