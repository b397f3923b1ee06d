// The history window, "Historique des tirages": every draw of the journal, newest first, in a
// virtual list that reads the rows it shows from the file, so that a million draws open at once.
// It follows the file: draws recorded by any running copy come within two seconds, and a journal
// moved away or replaced gives way to the one now at the path. Ctrl+C copies the selected rows;
// "Exporter…" writes a CSV for a spreadsheet in the user's locale; "Vérifier" checks the whole
// file and, given a record noted beforehand ("N:HEX"), whether the file still holds it;
// "Ouvrir le dossier" shows it in Explorer. Below the list, the last draw's number and the first
// 16 digits of its fingerprint, which an organiser writes in the minutes of a public draw, and
// since when draws are not being recorded, while they are not.
#pragma once

#include "runtime/platform.h"

const intptr_t HISTORY_WINDOW = 1;
// Commands (EVENT_MENU_ITEM), multiples of 16 as the system menu wants them.
const uint16_t HISTORY_OPEN = 0x100;   // Ctrl+H and the main window's system menu
const uint16_t HISTORY_CLOSE = 0x110;  // Esc in the history window
const uint16_t HISTORY_COPY = 0x120;   // Ctrl+C in the history window

// Ctrl+H and "Historique des tirages…" in the main window's system menu.
void History_Install();
// Opens the window, or brings it to the front when it is open.
void History_Open();
void History_Close();
// The history's part of the program's loop: a command or a gadget of its own; false for others.
bool History_Command(intptr_t command);
bool History_Gadget(intptr_t gadget);
// A draw was recorded: the open window shows it at once.
void History_Refresh();

namespace history_detail {
// The rows the list holds (0 while the window is closed).
intptr_t rows();
// The gadgets a test reads or fills.
const intptr_t LIST = 20, FOOTER = 21, UNRECORDED = 22, ANCHOR = 23;
// What "Vérifier" does, and "Exporter…" once the file is chosen, the outcome told as the
// buttons tell it.
void verify();
void exportTo(const Char16* target);
}  // namespace history_detail
