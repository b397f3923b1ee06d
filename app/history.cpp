// The history window (see history.h): the index (history_index.h) and the whole-file readings
// (history_export.h) wired to gadgets. The index is made going back from the file's end, a
// screenful before the window shows and the rest a few megabytes at a time on a timer, so that
// the newest draws show at once however long the journal; a second timer looks at the path
// about once a second and indexes going forward what was appended since, or the journal that
// replaced the one indexed.
#include "app/history.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include "app/draw.h"
#include "app/history_export.h"
#include "app/history_index.h"
#include "app/journal_file.h"
#include "app/local_time.h"
#include "gui/event_queue.h"
#include "gui/gadget.h"
#include "gui/window.h"
#include "runtime/memory.h"
#include "sys/requester.h"

using namespace history_detail;

namespace {

const intptr_t kAnchorLabel = 24, kVerify = 25, kExport = 26, kFolder = 27;
const Char16 kTitle[] = TEXT16("Historique des tirages");
const intptr_t kIndexTimer = 1, kWatchTimer = 2;
const UINT kWatchMs = 1000;               // a draw of another copy shows within two seconds
const uint64_t kBytesPerTick = 4u << 20;  // a few milliseconds: the window stays responsive
const size_t kFirstRows = 100;            // indexed before the window shows: a screenful

HistoryIndex g_index;
Char16 g_footer[2][160];  // the footer's two lines as shown: set again only when they change

// The list's row count; `askAgain` when rows came before those shown.
void showRows(bool askAgain) {
  Gadget_ListRows(LIST, (intptr_t)HistoryIndex_Rows(g_index), askAgain);
}

void indexTick() {
  bool done = HistoryIndex_Back(&g_index, kBytesPerTick);
  showRows(false);  // older rows go below
  if (done) KillTimer(Window_Handle(HISTORY_WINDOW), kIndexTimer);
}

// The rest of the index on the timer, unless the first slice held the whole file.
void indexRest() {
  if (!HistoryIndex_BackDone(g_index))
    SetTimer(Window_Handle(HISTORY_WINDOW), kIndexTimer, 0, nullptr);
}

// The date and time a record was written at, as its clock showed them.
void dateText(const char* date, Char16* text, int32_t capacity) {
  auto at = [date](int from, int digits) {
    WORD v = 0;
    for (int i = 0; i < digits; i++) v = (WORD)(v * 10 + (date[from + i] - '0'));
    return v;
  };
  SYSTEMTIME t = {at(0, 4), at(5, 2), 0, at(8, 2), at(11, 2), at(14, 2), at(17, 2), 0};
  LocalTime_Text(t, DATE_LONGDATE, text, capacity);
}

void valuesText(const uint8_t* values, int count, Char16* text) {
  int n = 0;
  for (int i = 0; i < count; i++) n += wsprintfW(text + n, i ? L" %u" : L"%u", values[i]);
}

// A row's columns; column -1, the sentence a screen reader reads for it ("Tirage 12, 9 décembre
// 2026 07:12:03, boules 3 17 22 41 48, étoiles 2 9").
void rowText(intptr_t row, int32_t column, Char16* text, int32_t capacity) {
  JournalRecord r;
  if (capacity < 32 || !HistoryIndex_Row(&g_index, row, &r)) return;
  if (column == -1 && capacity >= 160) {
    Char16 date[96] = L"", balls[32], stars[16];
    dateText(r.date, date, 96);
    valuesText(r.balls, JOURNAL_BALLS, balls);
    valuesText(r.stars, JOURNAL_STARS, stars);
    wsprintfW(text, L"Tirage %I64u, %s, boules %s, \u00E9toiles %s", r.number, date, balls, stars);
  }
  if (column == 0) wsprintfW(text, L"%I64u", r.number);
  if (column == 1) dateText(r.date, text, capacity);
  if (column == 2) valuesText(r.balls, JOURNAL_BALLS, text);
  if (column == 3) valuesText(r.stars, JOURNAL_STARS, text);
}

void showLine(int line, intptr_t gadget, const Char16* text) {
  if (!lstrcmpW(g_footer[line], text)) return;
  lstrcpynW(g_footer[line], text, 160);
  Gadget_SetText(gadget, text);
}

// "Tirages non enregistrés depuis 07:12:03 : 2", the day too when it was not today.
void unrecordedText(Char16* text) {
  SYSTEMTIME since, today;
  uint32_t count = JournalFile_Unrecorded(&since);
  text[0] = 0;
  if (!count) return;
  GetLocalTime(&today);
  bool sameDay =
      since.wYear == today.wYear && since.wMonth == today.wMonth && since.wDay == today.wDay;
  Char16 when[96] = L"";
  LocalTime_Text(since, sameDay ? 0 : DATE_SHORTDATE, when, 96);
  wsprintfW(text, L"Tirages non enregistr\u00E9s depuis %s : %u", when, count);
}

void showFooter() {
  Char16 text[160];
  JournalRecord newest;
  if (HistoryIndex_Newest(g_index, &newest))
    wsprintfW(text, L"Dernier tirage : n\u00B0 %I64u, empreinte %.16S", newest.number,
              newest.fingerprint);
  else lstrcpyW(text, L"Aucun tirage enregistr\u00E9.");
  showLine(0, FOOTER, text);
  unrecordedText(text);
  showLine(1, UNRECORDED, text);
}

// The file at the path, looked at again: rows appended come first, the selection and the focus
// staying on their draws; another file is shown from its newest draw.
void follow() {
  intptr_t shift = 0;
  HistoryChange change =
      HistoryIndex_Follow(&g_index, journal_file_detail::path(), kFirstRows, &shift);
  if (change == HISTORY_GREW) {
    showRows(true);
    Gadget_ListShift(LIST, shift);
  } else if (change == HISTORY_REPLACED) {
    KillTimer(Window_Handle(HISTORY_WINDOW), kIndexTimer);
    showRows(true);
    Gadget_SetState(LIST, HistoryIndex_Rows(g_index) ? 0 : -1);
    indexRest();
  }
  showFooter();
}

// The hourglass while a whole journal is read (a million records take a second or two).
struct Busy {
  HCURSOR was = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  ~Busy() { SetCursor(was); }
};

void tell(const Char16* text) { Requester_Message(kTitle, text, MB_OK); }

void tellError(const Char16* what) {
  DWORD error = GetLastError();
  Char16 reason[512] = {}, text[768];
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                 reason, 512, nullptr);
  wsprintfW(text, L"%s :\n%s", what, reason);
  tell(text);
}

// FOLDERID_Documents, spelt out as the journal's folder is.
const GUID kDocuments = {
    0xFDD39AD0, 0x238F, 0x46AF, {0xAD, 0xB4, 0x6C, 0x85, 0x48, 0x03, 0x69, 0xC7}};

// The export is offered as tirages.csv in the user's documents: a path given with the name opens
// the dialog there, whatever folder it showed last.
void exportAsked() {
  Char16 name[MAX_PATH] = L"tirages.csv";
  PWSTR documents = nullptr;
  if (SUCCEEDED(SHGetKnownFolderPath(kDocuments, 0, nullptr, &documents)) &&
      lstrlenW(documents) < MAX_PATH - 16)
    wsprintfW(name, L"%s\\tirages.csv", documents);
  CoTaskMemFree(documents);
  OPENFILENAMEW o = {};
  o.lStructSize = sizeof o;
  o.hwndOwner = Window_Handle(HISTORY_WINDOW);
  o.lpstrFilter = L"Fichiers CSV (*.csv)\0*.csv\0Tous les fichiers (*.*)\0*.*\0";
  o.lpstrFile = name;
  o.nMaxFile = MAX_PATH;
  o.lpstrDefExt = L"csv";
  // The program finds its pictures from the current folder: the dialog must not move it.
  o.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (GetSaveFileNameW(&o)) exportTo(name);
}

void folderAsked() {
  Char16 folder[MAX_PATH + 64];
  lstrcpynW(folder, journal_file_detail::path(), MAX_PATH + 64);
  Char16* last = folder;
  for (Char16* c = folder; *c; c++)
    if (*c == L'\\') last = c;
  *last = 0;
  // Not there before the first draw, or no program to show folders: said, not left silent.
  if ((INT_PTR)ShellExecuteW(Window_Handle(HISTORY_WINDOW), L"open", folder, nullptr, nullptr,
                             SW_SHOWNORMAL) <= 32)
    tellError(L"Le dossier du journal n'a pas pu \u00EAtre ouvert");
}

// The selected rows as text, a row a line, tabs between the values; in the noted record's box,
// its own selected text.
void copyAsked() {
  HWND focus = GetFocus();
  if (focus && GetDlgCtrlID(focus) == ANCHOR) {
    SendMessageW(focus, WM_COPY, 0, 0);
    return;
  }
  size_t capacity = 0, used = 0;
  Char16* text = nullptr;
  for (intptr_t row = -1; (row = Gadget_ListNextSelected(LIST, row)) >= 0;) {
    JournalRecord r;
    if (!HistoryIndex_Row(&g_index, row, &r)) continue;
    if (used + 128 > capacity) {
      size_t more = capacity ? 2 * capacity : 4096;
      void* grown = text ? HeapReAlloc(g_programHeap, 0, text, more * sizeof(Char16))
                         : HeapAlloc(g_programHeap, 0, more * sizeof(Char16));
      if (!grown) break;
      text = (Char16*)grown;
      capacity = more;
    }
    if (used) used += (size_t)wsprintfW(text + used, L"\r\n");
    used += (size_t)wsprintfW(text + used, L"%I64u\t%S\t%u\t%u\t%u\t%u\t%u\t%u\t%u", r.number,
                              r.date, r.balls[0], r.balls[1], r.balls[2], r.balls[3], r.balls[4],
                              r.stars[0], r.stars[1]);
  }
  if (text && used) Clipboard_SetText(Window_Handle(HISTORY_WINDOW), text, (used + 1) * 2);
  if (text) HeapFree(g_programHeap, 0, text);
}

void makeGadgets() {
  Gadget_List(LIST, 8, 8, 544, 256, rowText);
  Gadget_SetText(LIST, TEXT16("Tirages, du plus r\u00E9cent au plus ancien"));
  const Char16* titles[] = {TEXT16("Tirage"), TEXT16("Date"), TEXT16("Boules"),
                            TEXT16("\u00C9toiles")};
  // The date with its seconds, in words; the columns together stay narrower than the list beside
  // its vertical scroll bar, or a horizontal one comes and goes as rows are added (under Wine
  // that doubled the cost of listing a million rows).
  const int32_t widths[] = {56, 276, 116, 68};
  for (int32_t c = 0; c < 4; c++) Gadget_ListColumn(LIST, c, titles[c], widths[c]);
  Gadget_Text(FOOTER, 8, 270, 544, 18, nullptr);
  Gadget_Text(UNRECORDED, 8, 288, 544, 18, nullptr);
  Gadget_Text(kAnchorLabel, 8, 318, 176, 18,
              TEXT16("Rep\u00E8re not\u00E9 (n\u00B0 : empreinte) :"));
  Gadget_String(ANCHOR, 186, 314, 250, 24, nullptr);
  Gadget_Button(kVerify, 444, 311, 108, 30, TEXT16("V\u00E9rifier"));
  Gadget_Button(kExport, 8, 350, 150, 30, TEXT16("Exporter\u2026"));
  Gadget_Button(kFolder, 166, 350, 170, 30, TEXT16("Ouvrir le dossier"));
}

}  // namespace

void History_Install() {
  Window_AddShortcut(0, FCONTROL, 'H', HISTORY_OPEN);
  Window_AddMenuItem(0, HISTORY_OPEN, TEXT16("&Historique des tirages\u2026"));
}

void History_Open() {
  HWND open = Window_Handle(HISTORY_WINDOW);
  if (open) {
    SetForegroundWindow(open);
    return;
  }
  HWND main = Window_Handle(0);
  const uint32_t flags = WINDOW_SYSTEM_MENU | WINDOW_OWNER_CENTERED | WINDOW_KEEP_GADGET_LIST;
  if (!Window_OpenWithParent(HISTORY_WINDOW, 0, 0, 560, 388, kTitle, flags, main)) return;
  HistoryIndex_Open(&g_index, journal_file_detail::path(), kFirstRows);
  g_footer[0][0] = g_footer[1][0] = 0;
  GadgetList_Use(Window_Handle(HISTORY_WINDOW));
  makeGadgets();
  GadgetList_Use(main);  // the draws' gadgets go on into the main window
  Window_AddShortcut(HISTORY_WINDOW, 0, VK_ESCAPE, HISTORY_CLOSE);
  Window_AddShortcut(HISTORY_WINDOW, FCONTROL, 'C', HISTORY_COPY);
  Event_Bind(EVENT_TIMER, HISTORY_WINDOW, kIndexTimer, -1, indexTick);
  Event_Bind(EVENT_TIMER, HISTORY_WINDOW, kWatchTimer, -1, follow);
  indexRest();
  SetTimer(Window_Handle(HISTORY_WINDOW), kWatchTimer, kWatchMs, nullptr);
  showRows(false);
  if (HistoryIndex_Rows(g_index)) Gadget_SetState(LIST, 0);  // the newest, ready for Ctrl+C
  showFooter();
  Gadget_SetActive(LIST);
}

void History_Close() {
  Window_Free(HISTORY_WINDOW);
  HistoryIndex_Close(&g_index);
}

void History_Refresh() {
  if (Window_Handle(HISTORY_WINDOW)) follow();
}

bool History_Command(intptr_t command) {
  if (command == HISTORY_OPEN) History_Open();
  else if (command == HISTORY_CLOSE) History_Close();
  else if (command == HISTORY_COPY) copyAsked();
  else return false;
  return true;
}

bool History_Gadget(intptr_t gadget) {
  if (gadget == kExport) exportAsked();
  else if (gadget == kVerify) verify();
  else if (gadget == kFolder) folderAsked();
  else return false;
  return true;
}

intptr_t history_detail::rows() {
  return Window_Handle(HISTORY_WINDOW) ? (intptr_t)HistoryIndex_Rows(g_index) : 0;
}

void history_detail::verify() {
  Busy busy;
  Char16 anchor[128] = L"", told[1024];
  Gadget_GetText(ANCHOR, anchor, 128);
  HistoryExport_Check(journal_file_detail::path(), anchor, told, 1024);
  tell(told);
}

void history_detail::exportTo(const Char16* target) {
  Busy busy;
  Char16 told[1024];
  if (!HistoryExport_Save(journal_file_detail::path(), target, told, 1024)) tell(told);
}
