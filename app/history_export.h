// The history's two readings of the whole journal: the check ("Vérifier") and the export for a
// spreadsheet ("Exporter…"). Each opens the journal by its path when it runs (never the window's
// handle, which may be a file since set aside), reads it to its end, and gives the sentence to
// tell the user: a journal that could not be opened or read says so with the system's own
// reason, never a success over bytes not read and never a partial export.
#pragma once

#include <stddef.h>

#include "runtime/platform.h"

// Checks the journal at PATH. ANCHOR is the record the user noted, "N:HEX" (the number, then the
// first 8 to 64 hexadecimal digits of its fingerprint); empty: the file alone. TOLD gets the
// verdict, and what became of the noted record; a malformed ANCHOR is told and nothing checked.
void HistoryExport_Check(const Char16* path, const Char16* anchor, Char16* told, size_t capacity);

// Writes the journal at PATH as a CSV at TARGET: UTF-8 with a byte order mark, the locale's list
// separator, the columns numero, date (local time, YYYY-MM-DD HH:MM:SS), boule1..boule5,
// etoile1, etoile2, empreinte and date_iso (the journal's own date text), a field quoted as RFC
// 4180 says when it holds the separator, a quote, CR or LF. It is written beside TARGET under a
// temporary name and moved over TARGET only once whole; on any failure TARGET is left as it was
// and the temporary removed. True when TARGET was written; false with TOLD saying why not.
bool HistoryExport_Save(const Char16* path, const Char16* target, Char16* told, size_t capacity);
