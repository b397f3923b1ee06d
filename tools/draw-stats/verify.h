// draw-stats --verify FILE: checks a draw journal, every record's fingerprint and order.
#pragma once

#include <string>

namespace drawstats {

// Checks the journal at PATH and says what it found in MESSAGE, one line without its end.
// Returns the exit code: 0 when every record holds, 1 at the first broken line, 2 when the file
// cannot be read.
int verify_journal(const char* path, std::string* message);

}  // namespace drawstats
