// What the benchmarks ask of the journal's readers, whichever tree they are built in: "Vérifier"
// and "Exporter…" of the history window, without the window and without their dialogs. The
// current tree gives them as functions (app/history_export.h); an older one, where they lived
// in app/history.cpp's anonymous namespace, gets them by compiling that file into
// bench/journal_ops_win.cpp with its message box caught, so that the same code runs as the
// window's buttons ran it (see there). scripts/bench builds both trees' benchmarks from this
// folder for its before and after figures.
#pragma once

#include <windows.h>

#include <stdint.h>

// "Vérifier" on the journal at PATH: the whole file read and checked. RECORDS is what the
// check counted; TOLD, the sentence the user is shown (at most 256 characters).
bool JournalOps_Verify(const wchar_t* path, uint64_t* records, wchar_t told[256]);
// "Exporter…" of the journal at PATH into OUT (the CSV for a spreadsheet); false when the
// export said it failed.
bool JournalOps_Export(const wchar_t* path, const wchar_t* out);
// Which code the two above run: "app/history_export.h" or "app/history.cpp (old)".
const char* JournalOps_Source();
