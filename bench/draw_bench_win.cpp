// One full draw against two floors, under Wine.
//
//   bench_draw FOLDER [DRAWS [program|journal|history|verify|export|tail|fullscreen]]
//
// FOLDER holds GFX\Balls\ and GFX\Stars\ (the demo pictures). The program starts the way the
// entry point does (program heap, runtime start sequence, window 0, both placeholders, the
// seven slots, the draw button); beside it, in a second window of the same process, the floor
// program (bench/floor_win.h) starts with the same platform calls and none of the runtime.
// Before anything is timed, both windows must show exactly the same pixels, once after start-up
// and once after a draw of the same values; otherwise the run stops with exit code 1. Then,
// DRAWS times (default 200):
//   - draw: Draw_Run, then the event loop's own step until nothing is left
//     to do (Event_WaitTimeout(0) until it answers 0), which paints the re-created gadgets;
//   - bare: the floor's draw of the values the program drew last, then its own message loop
//     until nothing is left;
//   - decodes: Image_Load of the same seven files, under image numbers no gadget shows, each
//     replacing the previous round's image as the draw's loads replace theirs.
// The three take turns, the first of them changing from round to round, so that a burst of
// load from elsewhere falls on all alike. Times are wall-clock (QueryPerformanceCounter):
// painting happens partly in the X server, which no thread time of this process would see.
// Prints one line per side with the median and the quartiles in microseconds, then the ratios.
//
// With "program" after DRAWS only the program runs, at the resolution the prefix gives it
// (scripts/bench sets LogPixels before each run): the floor draws at 96 dpi whatever the
// display, so neither it nor the pixel check has a part there. Each draw's time is printed too,
// so that runs at two resolutions taken in turn can be pooled, with the resolution, the client
// size and the first slot's picture size the program ended with, which tell that the run was
// really at that resolution; those draws keep no journal. In the full run both sides keep their
// journal, as a draw does: the program its own (%APPDATA%\Tirage Vorellis\tirages.csv, put
// aside for the run and put back), the floor one of its own beside it, both started empty. With
// "journal" only the program runs, its draws taking turns with the journal on, on without its
// flush, and off, for the journal's cost; with "history", DRAWS openings of the history window
// on a journal of a million records and as many on one of two, in turn (DRAWS of at least 10).
//
// With "verify" or "export", DRAWS runs of the history's "Vérifier" or of its export (without
// the window or a dialog, bench/journal_ops_win.h) on a journal of a million chained records;
// with "tail", DRAWS appends of one draw's record (JournalFile_Append and JournalFile_Finish) to
// a journal of 1000 records followed by 10 MiB of lines that are no records, so that the chain's
// end is found behind them, in turn with as many appends to the same records without the
// garbage. Each of these prints the median time and the peak memory of the operation: the
// growth of the process's peak working set (PeakWorkingSetSize of GetProcessMemoryInfo; under
// Wine the Linux process's VmHWM, which is what the process touched) over its working set
// just before the first run, with the peak before it (which must not exceed that working set
// for the figure to be the operation's own). Run each in a process of its own.
//
// With "fullscreen", the room's view (app/full_screen.h) on the screen of the display the run
// is given, in turn with the window's draw: entering full screen with no picture kept, entering
// again with them kept, and each step of a draw revealed a value at a time, all "until
// painted" as the draw is (the event loop's step until idle, then GdiFlush, and nothing of the
// window or its gadgets left to paint); with the peak working set and the committed private
// memory in the window and in full screen. scripts/bench runs it on an Xvfb screen of
// 1920 x 1080 and on one of 3840 x 2160, each in a process of its own.
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/draw.h"
#include "app/full_screen.h"
#include "app/history.h"
#include "app/journal_file.h"
#include "app/slot_picture.h"
#include "bench/floor_win.h"
#include "bench/journal_ops_win.h"
#include "bench/summary.h"
#include "gui/events.h"
#include "gui/gadget.h"
#include "gui/scaling.h"
#include "gui/window.h"
#include "image/image.h"
#include "journal/record.h"
#include "runtime/memory.h"
#include "runtime/tempstring.h"
#include "startup/startup.h"
#include "tests/support/soak_win.h"

namespace {

const intptr_t kFloorImages = 100;  // images 100..106: the floor's, shown by no gadget

double now() {
  static LARGE_INTEGER frequency;
  if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return (double)t.QuadPart * 1e6 / (double)frequency.QuadPart;
}

// Milliseconds spent in each phase of the start-up, for the start-up row's notes.
double phaseMs[4];
const char* const kPhases[4] = {"runtime start sequence", "window 0",
                                "placeholders and seven image slots", "draw button"};

bool startUp() {
  double t0 = now();
  g_instance = GetModuleHandleW(nullptr);
  g_programHeap = HeapCreate(0, 4096, 0);
  if (!g_programHeap) return false;
  Runtime_Start();
  String_Assign(&g_program.ballsPath, TEXT16("GFX\\Balls\\"));
  String_Assign(&g_program.starsPath, TEXT16("GFX\\Stars\\"));
  Array_Allocate(4, 50, 21, nullptr, &g_program.ballPool);
  Array_Allocate(4, 12, 21, nullptr, &g_program.starPool);
  double t1 = now();
  if (!Window_Open(0, 0, 0, 760, 140, TEXT16("Tirage Vorellis"),
                   WINDOW_SYSTEM_MENU | WINDOW_SCREEN_CENTERED))
    return false;
  double t2 = now();
  Slots_Show();
  if (!Image_Handle(BALL_PLACEHOLDER) || !Image_Handle(STAR_PLACEHOLDER)) return false;
  double t3 = now();
  bool ok = Gadget_Button(DRAW_BUTTON, 5, 110, 750, 25, TEXT16("Lancer un tirage")) != 0;
  double t4 = now();
  phaseMs[0] = (t1 - t0) / 1e3;
  phaseMs[1] = (t2 - t1) / 1e3;
  phaseMs[2] = (t3 - t2) / 1e3;
  phaseMs[3] = (t4 - t3) / 1e3;
  return ok;
}

// The event loop's step, until the queue and the message queue are both empty.
void settle() {
  while (Event_WaitTimeout(0) != 0) {}
}

// The seven files the last draw showed, in slot order.
void lastNames(wchar_t names[7][32]) {
  for (int k = 0; k < 5; k++) swprintf(names[k], 32, L"GFX\\Balls\\%d.png", g_program.ballPool[k]);
  for (int k = 0; k < 2; k++)
    swprintf(names[5 + k], 32, L"GFX\\Stars\\%d.png", g_program.starPool[k]);
}

// The values the program drew last, in slot order.
void lastValues(int values[7]) {
  for (int k = 0; k < 5; k++) values[k] = g_program.ballPool[k];
  for (int k = 0; k < 2; k++) values[5 + k] = g_program.starPool[k];
}

void bareDraw() {
  int values[7];
  lastValues(values);
  Floor_Draw(values);
  Floor_Settle();
}

BOOL CALLBACK findButton(HWND control, LPARAM found) {
  wchar_t name[16];
  if (GetClassNameW(control, name, 16) && lstrcmpiW(name, L"Button") == 0) *(HWND*)found = control;
  return *(HWND*)found == nullptr;
}

HWND programButton() {
  HWND button = nullptr;
  EnumChildWindows(Window_Handle(0), findButton, (LPARAM)&button);
  return button;
}

// The client area's pixels as the screen shows them, without the unused alpha byte.
std::vector<uint32_t> screenOf(HWND window) {
  RECT r;
  GetClientRect(window, &r);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = r.right;
  bi.bmiHeader.biHeight = -r.bottom;  // top-down, as the comparison reads it
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  HDC dc = GetDC(window);
  HDC memory = CreateCompatibleDC(dc);
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, section);
  BitBlt(memory, 0, 0, r.right, r.bottom, dc, 0, 0, SRCCOPY);
  GdiFlush();
  std::vector<uint32_t> pixels((uint32_t*)bits, (uint32_t*)bits + (size_t)r.right * r.bottom);
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  SelectObject(memory, previous);
  DeleteObject(section);
  DeleteDC(memory);
  ReleaseDC(window, dc);
  pixels.push_back((uint32_t)r.right);  // the size takes part in the comparison
  return pixels;
}

// Each window as it shows itself when it is the active one, its button with the focus.
std::vector<uint32_t> activeScreenOf(HWND window, HWND button) {
  SetFocus(button);
  settle();
  Floor_Settle();
  return screenOf(window);
}

// Loud: a floor that shows something else is not the same work.
bool sameScreens(const char* when) {
  std::vector<uint32_t> program = activeScreenOf(Window_Handle(0), programButton());
  std::vector<uint32_t> bare = activeScreenOf(Floor_Window(), Floor_Button());
  size_t differ = program.size() == bare.size() ? 0 : program.size();
  for (size_t i = 0; i < program.size() && i < bare.size(); i++) differ += program[i] != bare[i];
  if (differ) {
    fprintf(stderr, "bench_draw: pixel check after %s FAILED: %zu of %zu pixels differ\n", when,
            differ, program.size() - 1);
    return false;
  }
  printf("pixel check after %s: %zu pixels identical\n", when, program.size() - 1);
  return true;
}

// With BENCH_DRAW_MARKS set, each timed side starts with a debug string naming it, and the end
// of the timed rounds with one more, so that a trace of the window-server requests
// (bench/server_requests.py) can be cut into sides.
void mark(int side) {
  static const bool marks = getenv("BENCH_DRAW_MARKS") != nullptr;
  static const char* const names[4] = {"MARK program\n", "MARK bare\n", "MARK decodes\n",
                                       "MARK end\n"};
  if (marks) OutputDebugStringA(names[side]);
}

bool loadFloor(wchar_t names[7][32]) {
  bool ok = true;
  for (int k = 0; k < 7; k++) ok = Image_Load(kFloorImages + k, names[k], 0) != 0 && ok;
  return ok;
}

// Where a draw's loads spend their time at resolution `dpi`, in microseconds a draw (medians of
// `rounds`): the seven Slot_LoadPicture calls of the last draw's values as a draw makes them
// (above 96 dpi from the pictures kept resampled) and as the first draw of those values makes
// them (nothing kept), the opens of the qualifier names tried in vain before the file read, and
// the reads and decodes of the files read. What is left of the first draw's loads is the
// resampling and its bitmaps.
void loadPhases(int rounds, int32_t dpi) {
  wchar_t names[7][32];
  lastNames(names);
  int values[7];
  lastValues(values);
  int32_t order[6];
  int32_t count = Slot_ScaleOrder(MulDiv(dpi, 100, 96), order);
  std::vector<double> whole, first, missing, decode;
  int misses = 0;
  auto loadAll = [&values, dpi]() {
    double t = now();
    for (int k = 0; k < 7; k++)
      Slot_LoadPicture(kFloorImages + k, k < 5 ? g_program.ballsPath : g_program.starsPath,
                       &values[k], dpi);
    return now() - t;
  };
  for (int r = 0; r < rounds; r++) {
    whole.push_back(loadAll());
    Slot_ForgetPictures();
    first.push_back(loadAll());
    // Each name in the load's order, as the load tries them, each timed.
    double vain = 0, read = 0;
    misses = 0;
    for (int k = 0; k < 7; k++)
      for (int32_t i = 0; i < count; i++) {
        wchar_t name[48];
        if (order[i] == 100) wcscpy(name, names[k]);
        else
          swprintf(name, 48, L"%.*ls.scale-%d.png", (int)(wcslen(names[k]) - 4), names[k],
                   (int)order[i]);
        double t = now();
        bool found = Image_LoadWithin(kFloorImages + k, name, 0, SLOT_PICTURE_MAX_SIDE) != 0;
        (found ? read : vain) += now() - t;
        if (found) break;
        misses++;
      }
    missing.push_back(vain);
    decode.push_back(read);
  }
  for (int k = 0; k < 7; k++) Image_Free(kFloorImages + k);
  printf("loads of a draw: median %.1f us (first draw of the values: %.1f us); names opened in "
         "vain (%d): %.1f us; reads and decodes of the files used: %.1f us\n",
         summarise(whole).median, summarise(first).median, misses, summarise(missing).median,
         summarise(decode).median);
}

// One timed draw of the program: the whole step, and the draw procedures alone.
void timeDraw(std::vector<double>* drawTimes, std::vector<double>* procedureTimes) {
  double t0 = now();
  Draw_Run();
  double tm = now();
  settle();
  procedureTimes->push_back(tm - t0);
  drawTimes->push_back(now() - t0);
}

// After the timed draws every slot must show a drawn picture, or nothing was measured.
bool everySlotDrawn() {
  for (intptr_t slot : {1, 2, 3, 4, 5, 7, 8})
    if (g_program.slots[slot] != SLOT_PICTURE) {
      fprintf(stderr, "bench_draw: slot %d shows no drawn picture\n", (int)slot);
      return false;
    }
  return true;
}

void printDraws(const std::vector<double>& drawTimes, const std::vector<double>& procedureTimes) {
  Summary d = summarise(drawTimes), p = summarise(procedureTimes);
  printf("draw  %d runs: median %.1f us (quartiles %.1f, %.1f)\n", (int)drawTimes.size(), d.median,
         d.q1, d.q3);
  printf("  of which Draw_Run: median %.1f us; the rest is the loop's step\n", p.median);
}

void endRuntime() {
  Runtime_End();
  TempString_End();
  HeapDestroy(g_programHeap);
}

// The program's draws alone, at the prefix's resolution.
int programOnly(int draws) {
  for (int i = 0; i < 5; i++) {  // warm-up, as below
    Draw_Run();
    settle();
  }
  std::vector<double> drawTimes, procedureTimes;
  for (int i = 0; i < draws; i++) timeDraw(&drawTimes, &procedureTimes);
  if (!everySlotDrawn()) return 1;
  loadPhases(draws < 40 ? draws : 40, Scaling_Of(Window_Handle(0)).x);
  RECT client;
  GetClientRect(Window_Handle(0), &client);
  printf("dpi %d, client %ld x %ld, slot picture %d x %d\n", (int)Scaling_Of(Window_Handle(0)).x,
         client.right, client.bottom, (int)Image_Width(1), (int)Image_Height(1));
  printDraws(drawTimes, procedureTimes);
  printf("samples");
  for (double t : drawTimes) printf(" %.1f", t);
  printf("\nprocedure samples");
  for (double t : procedureTimes) printf(" %.1f", t);
  printf("\n");
  fflush(stdout);
  endRuntime();
  return 0;
}

// The draw as the user sees it with the journal, with it but no flush, and without it, in turn;
// the file is the prefix's own journal.
int journalCost(int draws) {
  using journal_file_detail::Mode;
  const Mode modes[3] = {journal_file_detail::ON, journal_file_detail::NO_FLUSH,
                         journal_file_detail::OFF};
  std::vector<double> times[3], procedure;
  for (int i = 0; i < 3 * draws + 15; i++) {
    int m = (i + i / 3) % 3;  // each mode first in turn
    journal_file_detail::setMode(modes[m]);
    if (i < 15) {  // warm-up: the file cache, the journal's folder
      Draw_Run();
      settle();
      continue;
    }
    timeDraw(&times[m], &procedure);
  }
  if (!everySlotDrawn()) return 1;
  Summary on = summarise(times[0]), noFlush = summarise(times[1]), off = summarise(times[2]);
  printf("journal on %d runs: median %.1f us; without its flush %.1f us; off %.1f us\n", draws,
         on.median, noFlush.median, off.median);
  printf("ratio %.3f, the flush %.1f us\n", on.median / off.median, on.median - noFlush.median);
  fflush(stdout);
  endRuntime();
  return 0;
}

// A journal of `records` lines in the record's form at `path` (the fingerprints are not
// chained: opening the window does not check them).
bool writeJournal(const std::wstring& path, int records) {
  std::string bytes = std::string(JOURNAL_HEADER) + "\r\n";
  char line[160];
  for (int n = 1; n <= records; n++)
    bytes.append(line, (size_t)snprintf(
                           line, sizeof line,
                           "%d,2026-12-09T07:12:03.250+01:00,3,17,22,41,48,2,9,%064d\r\n", n, n));
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  bool ok = file != INVALID_HANDLE_VALUE &&
            WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr) &&
            written == bytes.size();
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return ok;
}

// Opening the history window (until it has painted) on a journal of a million records and on
// one of two, in turn, and how long until the million are all rows. The prefix's own journal
// is put aside meanwhile and put back.
int historyOpen(int runs) {
  const std::wstring path = (const wchar_t*)journal_file_detail::path(), aside = path + L".bench";
  bool had = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (had && !MoveFileW(path.c_str(), aside.c_str())) {
    fprintf(stderr, "bench_draw: cannot put the journal aside (%lu)\n", GetLastError());
    return 1;
  }
  const int sizes[2] = {1000000, 2};
  std::vector<double> opened[2], indexed;
  for (int i = 0; i < 2 * runs; i++) {
    int k = (i + i / 2) % 2;  // each size first in turn
    if (!writeJournal(path, sizes[k])) break;
    double t0 = now();
    History_Open();
    // Shown: everything before the index's first timer message handled, the painting included
    // (a timer's message comes after every other); the first tick itself is counted too.
    for (int32_t e = 1; e && e != WM_TIMER && e != EVENT_TIMER;) e = Event_WaitTimeout(0);
    opened[k].push_back(now() - t0);
    for (int wait = 0; wait < 3000 && history_detail::rows() < sizes[k]; wait++)
      Event_WaitTimeout(10);  // at most half a minute: an index that stops short ends the run
    bool whole = history_detail::rows() >= sizes[k];
    if (k == 0 && whole) indexed.push_back(now() - t0);
    History_Close();
    settle();
    if (!whole) break;
  }
  DeleteFileW(path.c_str());
  if (had) MoveFileW(aside.c_str(), path.c_str());
  if (indexed.empty()) return 1;
  printf("history on 1000000 records %d runs: median %.1f us; on 2 records %.1f us; "
         "every row %.1f us\n",
         runs, summarise(opened[0]).median, summarise(opened[1]).median, summarise(indexed).median);
  fflush(stdout);
  endRuntime();
  return 0;
}

// ---- the journal's readers and its writer on long files ----

// The program's journal put aside for a run and put back after it.
struct JournalAside {
  std::wstring path, aside;
  bool had = false, ok = true;
  JournalAside() : path((const wchar_t*)journal_file_detail::path()), aside(path + L".bench") {
    CreateDirectoryW(path.substr(0, path.rfind(L'\\')).c_str(), nullptr);  // before any draw
    had = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (had && !MoveFileExW(path.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      fprintf(stderr, "bench_draw: cannot put the journal aside (%lu)\n", GetLastError());
      ok = false;
    }
  }
  ~JournalAside() {
    if (!ok) return;
    DeleteFileW(path.c_str());
    if (had) MoveFileW(aside.c_str(), path.c_str());
  }
};

// The working set now and its peak so far, in KiB.
void memoryNow(size_t* workingSet, size_t* peak) {
  PROCESS_MEMORY_COUNTERS c = {};
  c.cb = sizeof c;
  GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof c);
  *workingSet = c.WorkingSetSize / 1024;
  *peak = c.PeakWorkingSetSize / 1024;
}

// Output through one 64 KiB buffer, so that writing a long file raises no peak of its own.
struct FileOut {
  HANDLE file;
  char bytes[64 * 1024];
  size_t used = 0;
  bool ok = true;
  explicit FileOut(const std::wstring& path)
      : file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)) {
    ok = file != INVALID_HANDLE_VALUE;
  }
  void put(const char* data, size_t size) {
    if (used + size > sizeof bytes) flush();
    memcpy(bytes + used, data, size);
    used += size;
  }
  void flush() {
    DWORD written = 0;
    if (used && ok) ok = WriteFile(file, bytes, (DWORD)used, &written, nullptr) && written == used;
    used = 0;
  }
  // On the disk before it is closed: an append's flush is then its record's alone.
  bool close() {
    flush();
    if (file != INVALID_HANDLE_VALUE) {
      ok = FlushFileBuffers(file) && ok;
      CloseHandle(file);
    }
    file = INVALID_HANDLE_VALUE;
    return ok;
  }
  ~FileOut() { close(); }
};

// A journal of `records` chained records, as the program writes them (Journal_FormatRecord),
// then `garbage` bytes of lines that are no records. The values change from record to record.
bool writeChained(const std::wstring& path, uint64_t records, uint64_t garbage) {
  FileOut* out = new FileOut(path);  // its buffer off the stack
  std::string header = std::string(JOURNAL_HEADER) + "\r\n";
  out->put(header.data(), header.size());
  char line[JOURNAL_LINE_MAX + 2], previous[SHA256_HEX];
  for (uint64_t n = 1; n <= records && out->ok; n++) {
    JournalRecord r = {};
    r.number = n;
    memcpy(r.date, "2026-12-09T07:12:03.250+01:00", JOURNAL_DATE_LENGTH);
    for (int i = 0; i < JOURNAL_BALLS; i++) r.balls[i] = (uint8_t)((n + 7 * i) % 50);
    for (int i = 0; i < JOURNAL_STARS; i++) r.stars[i] = (uint8_t)((n + 5 * i) % 12);
    size_t length = Journal_FormatRecord(&r, n > 1 ? previous : nullptr, line, sizeof line);
    if (!length) {
      out->ok = false;
      break;
    }
    memcpy(previous, r.fingerprint, SHA256_HEX);
    out->put(line, length);
  }
  // Garbage: lines of text, none a record (no number first, no fingerprint last).
  static const char kGarbage[] =
      "ceci n'est pas un tirage;;; une ligne qu'un autre programme a ecrite ici ####\r\n";
  for (uint64_t put = 0; put < garbage && out->ok; put += sizeof kGarbage - 1)
    out->put(kGarbage, sizeof kGarbage - 1);
  bool ok = out->close();
  delete out;
  return ok;
}

// Runs `op` `runs` times, each after `prepare`; prints its times and the peak memory of the
// first run (see the file's comment).
template <typename Prepare, typename Op>
bool timedWithPeak(const char* name, int runs, Prepare prepare, Op op) {
  std::vector<double> times;
  size_t ws = 0, peakBefore = 0, wsAfter = 0, peakAfter = 0;
  for (int r = 0; r < runs; r++) {
    if (!prepare()) return false;
    if (r == 0) memoryNow(&ws, &peakBefore);
    double t0 = now();
    if (!op()) {
      fprintf(stderr, "bench_draw: %s failed\n", name);
      return false;
    }
    times.push_back(now() - t0);
    if (r == 0) memoryNow(&wsAfter, &peakAfter);
  }
  Summary t = summarise(times);
  printf("%s %d runs: median %.1f us (quartiles %.1f, %.1f); peak working set +%ld KiB (working "
         "set before %zu KiB, its peak before %zu KiB, after %zu KiB)\n",
         name, runs, t.median, t.q1, t.q3, (long)peakAfter - (long)ws, ws, peakBefore, peakAfter);
  fflush(stdout);
  return true;
}

const uint64_t kMillion = 1000000;

// "Vérifier" or the export on a journal of a million records, at the program's journal path.
int readersOnMillion(int runs, bool verify) {
  JournalAside aside;
  if (!aside.ok) return 1;
  double t0 = now();
  if (!writeChained(aside.path, kMillion, 0)) {
    fprintf(stderr, "bench_draw: cannot write the journal\n");
    return 1;
  }
  printf("journal of %llu records written in %.1f s; readers: %s\n", (unsigned long long)kMillion,
         (now() - t0) / 1e6, JournalOps_Source());
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  const std::wstring out = std::wstring(folder) + L"bench-export.csv";
  uint64_t records = 0;
  wchar_t told[256] = L"";
  bool ok;
  if (verify)
    ok = timedWithPeak(
        "verify on 1000000 records", runs, [] { return true; },
        [&] {
          return JournalOps_Verify(aside.path.c_str(), &records, told) && records == kMillion;
        });
  else
    ok = timedWithPeak(
        "export of 1000000 records", runs, [&] { return DeleteFileW(out.c_str()) || true; },
        [&] { return JournalOps_Export(aside.path.c_str(), out.c_str()); });
  if (verify) {
    char utf8[768] = "";
    WideCharToMultiByte(CP_UTF8, 0, told, -1, utf8, sizeof utf8, nullptr, nullptr);
    printf("told: %s\n", utf8);
  } else {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(out.c_str(), GetFileExInfoStandard, &data);
    printf("export: %llu bytes\n",
           (unsigned long long)data.nFileSizeHigh << 32 | data.nFileSizeLow);
    DeleteFileW(out.c_str());
  }
  endRuntime();
  return ok ? 0 : 1;
}

// One draw's record appended behind 10 MiB of garbage, in turn with one on the same records
// alone; the file written again before each (not timed).
int tailSearch(int runs) {
  JournalAside aside;
  if (!aside.ok) return 1;
  const uint64_t kRecords = 1000, kGarbage = 10u << 20;
  const int32_t balls[5] = {3, 17, 22, 41, 48}, stars[2] = {2, 9};
  bool ok = true;
  uint64_t number[2] = {0, 0};
  auto append = [&](int k) {
    JournalWrite write = {};
    bool done = JournalFile_Append(balls, stars, &write);
    JournalFile_Finish(&write);
    number[k] = write.number;
    return done && write.number == kRecords + 1;  // chained on the last record, behind it all
  };
  // Warm-up: the folder, bcrypt, the file cache.
  ok = writeChained(aside.path, kRecords, 0) && append(0);
  // The memory of each first, clean then behind garbage, each the first of its kind.
  ok = ok && timedWithPeak(
                 "append after 1000 records", 1,
                 [&] { return writeChained(aside.path, kRecords, 0); }, [&] { return append(0); });
  ok = ok &&
       timedWithPeak(
           "append behind 10 MiB of garbage", 1,
           [&] { return writeChained(aside.path, kRecords, kGarbage); }, [&] { return append(1); });
  std::vector<double> times[2];
  for (int i = 0; ok && i < 2 * runs; i++) {
    int k = (i + i / 2) % 2;  // each first in turn
    ok = writeChained(aside.path, kRecords, k ? kGarbage : 0);
    double t0 = now();
    ok = ok && append(k);
    times[k].push_back(now() - t0);
  }
  if (!ok) {
    fprintf(stderr, "bench_draw: an append failed or was not chained on record %llu (%llu, %llu)\n",
            (unsigned long long)kRecords, (unsigned long long)number[0],
            (unsigned long long)number[1]);
    return 1;
  }
  Summary clean = summarise(times[0]), behind = summarise(times[1]);
  printf("tail %d runs: behind 10 MiB of garbage median %.1f us (quartiles %.1f, %.1f); after the "
         "records alone %.1f us\n",
         runs, behind.median, behind.q1, behind.q3, clean.median);
  fflush(stdout);
  endRuntime();
  return 0;
}

// ---- the room's view ----

// Nothing of the window left to paint, its gadgets included: what "until painted" means.
BOOL CALLBACK paintPending(HWND control, LPARAM pending) {
  *(bool*)pending |= GetUpdateRect(control, nullptr, FALSE) != 0;
  return TRUE;
}

bool allPainted() {
  HWND window = Window_Handle(0);
  bool pending = GetUpdateRect(window, nullptr, FALSE) != 0;
  EnumChildWindows(window, paintPending, (LPARAM)&pending);
  return !pending;
}

// `step` then the event loop until idle and GdiFlush: its time, and the step's alone.
template <typename Step>
void timePainted(Step step, std::vector<double>* times, std::vector<double>* procedure) {
  double t0 = now();
  step();
  double tm = now();
  settle();
  GdiFlush();
  double t1 = now();
  times->push_back(t1 - t0);
  procedure->push_back(tm - t0);
}

void printTimes(const char* name, const std::vector<double>& times,
                const std::vector<double>& procedure) {
  Summary t = summarise(times), p = summarise(procedure);
  printf("%s %d runs: median %.1f us (quartiles %.1f, %.1f; worst %.1f); the step alone %.1f us "
         "(worst %.1f)\n",
         name, (int)times.size(), t.median, t.q1, t.q3,
         *std::max_element(times.begin(), times.end()), p.median,
         *std::max_element(procedure.begin(), procedure.end()));
}

// Full screen on the display's screen. Each of RUNS rounds: a draw in the window, entering full
// screen with no picture kept (Slot_ForgetPictures before), leaving, entering again with the
// pictures kept, leaving, each timed until painted. Then, in full screen, RUNS draws revealed a
// value at a time (Slots_Reveal(1) until painted, seven steps a draw), from no picture kept,
// as after start-up, on to the pictures kept as a user's run keeps them. Memory in the window
// before anything full screen, and in full screen after it all. Last, RUNS more draws in the
// window in turn with a bare window made to cover the screen, and where a picture's load goes
// at the room's resolution.
int roomView(int runs) {
  JournalAside aside;  // the draws keep their journal, as a user's do
  if (!aside.ok) return 1;
  FullScreen_Install();
  for (int i = 0; i < 5; i++) {  // warm-up, in the window
    Draw_Run();
    settle();
  }
  size_t ws = 0, peakWindow = 0, peakRoom = 0;
  memoryNow(&ws, &peakWindow);
  size_t privateWindow = soak::committedPrivateBytes() / 1024, privateRoom = 0;
  FullScreen_Enter();  // warm-up: the caption's font, the first resize
  settle();
  FullScreen_Leave();
  settle();
  std::vector<double> draw, drawStep, first, firstStep, kept, keptStep, reveal, revealStep;
  for (int r = 0; r < runs; r++) {
    timePainted([] { Draw_Run(); }, &draw, &drawStep);
    Slot_ForgetPictures();
    timePainted([] { FullScreen_Enter(); }, &first, &firstStep);
    // The seven pictures and both placeholders resampled from their files, and kept.
    bool room = FullScreen_On() && allPainted() && everySlotDrawn() &&
                slot_picture_detail::keptCount() == 9;
    FullScreen_Leave();
    settle();
    int32_t keptBefore = slot_picture_detail::keptCount();
    timePainted([] { FullScreen_Enter(); }, &kept, &keptStep);
    // Entered again, nothing may have been resampled, or the row is not the kept pictures'.
    room = room && allPainted() && slot_picture_detail::keptCount() == keptBefore;
    if (!room) {
      fprintf(stderr,
              "bench_draw: round %d: full screen not painted, a picture not resampled "
              "from its file, or resampled again\n",
              r);
      return 1;
    }
    FullScreen_Leave();
    settle();
  }
  FullScreen_Enter();
  settle();
  RECT client;
  GetClientRect(Window_Handle(0), &client);
  int32_t roomDpi = g_program.room.pictureDpi;
  Slot_ForgetPictures();  // the reveals from nothing kept, as after start-up
  // A revealed draw makes its seven values when it is drawn, behind the placeholders; its steps
  // then only show them.
  std::vector<double> start, startStep;
  for (int r = 0; r < runs; r++) {
    g_program.revealing = true;  // as a pace chosen in "Dévoilement" makes it
    timePainted([] { Draw_Run(); }, &start, &startStep);
    for (int step = 0; step < 7; step++) timePainted([] { Slots_Reveal(1); }, &reveal, &revealStep);
    if (g_program.hidden || !allPainted() || !everySlotDrawn()) {
      fprintf(stderr, "bench_draw: a reveal left a value hidden or unpainted\n");
      return 1;
    }
  }
  memoryNow(&ws, &peakRoom);
  privateRoom = soak::committedPrivateBytes() / 1024;
  int32_t side = Image_Width(1);
  FullScreen_Leave();
  settle();
  // The platform's share of entering, with as many draws of the window in turn: a bare popup
  // window (a STATIC control, which paints all of its client) made to cover the screen from
  // 760 x 140, nothing in it. After the memory's figures: Wine keeps its surface resident.
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  std::vector<double> covered, coveredStep;
  for (int r = 0; r < runs; r++) {
    HWND bare = CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP | WS_VISIBLE, 0, 0, 760, 140,
                                nullptr, nullptr, g_instance, nullptr);
    settle();
    timePainted(
        [&] {
          SetWindowPos(bare, HWND_TOP, 0, 0, width, height, SWP_NOACTIVATE);
          UpdateWindow(bare);
        },
        &covered, &coveredStep);
    DestroyWindow(bare);
    settle();
    timePainted([] { Draw_Run(); }, &draw, &drawStep);
  }
  printf("screen %ld x %ld, room dpi %d, slot picture %d x %d, kept %d pictures of %d bytes\n",
         client.right, client.bottom, (int)roomDpi, (int)side, (int)side,
         (int)slot_picture_detail::keptCount(), (int)slot_picture_detail::keptBytes());
  printTimes("window draw", draw, drawStep);
  printTimes("bare window covering", covered, coveredStep);
  printTimes("enter first", first, firstStep);
  printTimes("enter kept", kept, keptStep);
  printTimes("reveal step", reveal, revealStep);
  printTimes("revealed draw start", start, startStep);
  printf("reveal steps over 16 ms: %d of %d\n",
         (int)std::count_if(reveal.begin(), reveal.end(), [](double t) { return t > 16000; }),
         (int)reveal.size());
  printf("memory: peak working set %zu KiB in the window, %zu KiB after full screen; committed "
         "private %zu KiB in the window, %zu KiB in full screen\n",
         peakWindow, peakRoom, privateWindow, privateRoom);
  loadPhases(runs < 40 ? runs : 40, roomDpi);
  fflush(stdout);
  endRuntime();
  return 0;
}

// The records of the journal at PATH: its lines after the header.
long recordsIn(const wchar_t* path) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  static char bytes[64 * 1024];
  long lines = 0;
  DWORD got = 0;
  while (ReadFile(file, bytes, sizeof bytes, &got, nullptr) && got)
    for (DWORD i = 0; i < got; i++) lines += bytes[i] == '\n';
  CloseHandle(file);
  return lines > 0 ? lines - 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: bench_draw FOLDER [DRAWS [program|journal|history|verify|export|tail|"
                    "fullscreen]]\n");
    return 2;
  }
  int draws = argc > 2 ? atoi(argv[2]) : 200;
  // The long operations may run fewer times; a draw at least ten.
  bool few = argc > 3 &&
             (!strcmp(argv[3], "verify") || !strcmp(argv[3], "export") || !strcmp(argv[3], "tail"));
  if (draws < (few ? 1 : 10)) draws = few ? 1 : 10;
  if (!SetCurrentDirectoryA(argv[1])) {
    fprintf(stderr, "bench_draw: no folder %s\n", argv[1]);
    return 2;
  }
  if (!startUp()) {
    fprintf(stderr, "bench_draw: start-up failed\n");
    return 1;
  }
  settle();
  if (argc > 3 && strcmp(argv[3], "journal") == 0) return journalCost(draws);
  if (argc > 3 && strcmp(argv[3], "history") == 0) return historyOpen(draws);
  if (argc > 3 && strcmp(argv[3], "verify") == 0) return readersOnMillion(draws, true);
  if (argc > 3 && strcmp(argv[3], "export") == 0) return readersOnMillion(draws, false);
  if (argc > 3 && strcmp(argv[3], "tail") == 0) return tailSearch(draws);
  if (argc > 3 && strcmp(argv[3], "fullscreen") == 0) return roomView(draws);
  if (argc > 3 && strcmp(argv[3], "program") == 0) {
    journal_file_detail::setMode(journal_file_detail::OFF);  // the resolutions' row: the draw alone
    return programOnly(draws);
  }
  // Both sides keep a journal, each its own and each started empty.
  JournalAside aside;
  if (!aside.ok) return 1;
  DeleteFileW(Floor_JournalPath());
  if (!Floor_Start(GetModuleHandleW(nullptr), false)) {
    fprintf(stderr, "bench_draw: the floor's start-up failed\n");
    return 1;
  }
  Floor_Settle();
  settle();
  if (!sameScreens("start-up")) return 1;
  for (int k = 0; k < 4; k++) printf("start-up phase, %s: %.1f ms\n", kPhases[k], phaseMs[k]);

  // Warm-up: the file cache, the decoder's tables, the gadget classes.
  wchar_t names[7][32];
  for (int i = 0; i < 5; i++) {
    Draw_Run();
    settle();
    bareDraw();
    lastNames(names);
    if (!loadFloor(names)) {
      fprintf(stderr, "bench_draw: the floor's loads failed\n");
      return 1;
    }
  }

  if (!sameScreens("a draw")) return 1;

  std::vector<double> drawTimes, procedureTimes, bareTimes, floorTimes;
  for (int i = 0; i < draws; i++) {
    for (int turn = 0; turn < 3; turn++) {
      int side = (i + turn) % 3;
      mark(side);
      double t0 = now();
      if (side == 0) {
        timeDraw(&drawTimes, &procedureTimes);
      } else if (side == 1) {
        bareDraw();
        bareTimes.push_back(now() - t0);
      } else {
        lastNames(names);
        t0 = now();
        loadFloor(names);
        floorTimes.push_back(now() - t0);
      }
    }
  }
  if (!everySlotDrawn()) return 1;

  mark(3);
  bareDraw();  // the last round may have ended with the program's draw
  if (!sameScreens("the timed draws")) return 1;
  // Every draw of both sides has its record, or the journal was not measured.
  long programRecords = recordsIn(aside.path.c_str()),
       floorRecords = recordsIn(Floor_JournalPath());
  printf("journal records: program %ld of its %d draws, floor %ld of its %d\n", programRecords,
         draws + 5, floorRecords, draws + 6);
  if (programRecords != draws + 5 || floorRecords != draws + 6) {
    fprintf(stderr, "bench_draw: a draw was not recorded (program %ld of %d, floor %ld of %d)\n",
            programRecords, draws + 5, floorRecords, draws + 6);
    return 1;
  }

  Summary d = summarise(drawTimes), f = summarise(floorTimes), b = summarise(bareTimes);
  printDraws(drawTimes, procedureTimes);
  printf("bare  %d runs: median %.1f us (quartiles %.1f, %.1f)\n", draws, b.median, b.q1, b.q3);
  printf("floor %d runs: median %.1f us (quartiles %.1f, %.1f)\n", draws, f.median, f.q1, f.q3);
  printf("ratio to the bare program %.3f\n", d.median / b.median);
  printf("ratio %.3f\n", d.median / f.median);
  fflush(stdout);

  Floor_End();
  DeleteFileW(Floor_JournalPath());
  for (int k = 0; k < 7; k++) Image_Free(kFloorImages + k);
  endRuntime();
  return 0;
}
