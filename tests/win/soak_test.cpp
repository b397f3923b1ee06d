// Soak: the program's own path, run for many draws. Start-up as the entry point does it
// (program heap, runtime start sequence, window 0, both placeholders, five ball slots, two star
// slots, the draw button), then draws asked for by clicking the button and taken from the event
// queue, each one Draw_Run loading seven pictures from disk and re-creating
// seven gadgets. Objects (through the runtime's own accounting, since Wine's GetGuiResources
// answers 0), the busy bytes of the program's heaps and the process's private bytes are read
// at intervals; after warm-up nothing may grow.
//
// The test command runs SOAK_DRAWS (default 300) draws. The long run:
//   SOAK_DRAWS=10000 wine build/win32/bin/win_soak_test.exe
// prints a table of the samples.
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wctype.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/draw.h"
#include "app/full_screen.h"
#include "app/history.h"
#include "app/history_index.h"
#include "app/journal_file.h"
#include "app/slot_picture.h"
#include "gui/events.h"
#include "gui/gadget.h"
#include "gui/scaling.h"
#include "gui/window.h"
#include "image/image.h"
#include "image/record.h"
#include "journal/check.h"
#include "runtime/accounting.h"
#include "runtime/memory.h"
#include "runtime/random.h"
#include "runtime/registry.h"
#include "runtime/tempstring.h"
#include "startup/startup.h"
#include "tests/support/bad_pictures.h"
#include "tests/support/image_fixture.h"
#include "tests/support/import_patch_win.h"
#include "tests/support/pictures.h"
#include "tests/support/soak_win.h"

using namespace testpics;

namespace {

// The program's window as if moved to a monitor of that resolution, which its draws read.
void atResolution(int32_t dpi) { Scaling_SetWindow(Window_Handle(0), Resolution{dpi, dpi}); }

struct Sample {
  int draws;
  int64_t objects[ACCOUNT_KINDS];
  size_t heapBytes;               // busy bytes of the program heap and the string heap
  size_t otherHeapBytes;          // busy bytes of every other heap of the process (CRT, system)
  size_t privateBytes;            // committed private memory of the process (address space walked)
  size_t pagefileBytes;           // the system's figure for it (PagefileUsage)
  DWORD gdiObjects, userObjects;  // as the system reports them (0 under Wine)
};

Sample sample(int draws) {
  Sample s = {};
  s.draws = draws;
  for (int k = 0; k < ACCOUNT_KINDS; k++) s.objects[k] = Account_Live((AccountKind)k);
  s.heapBytes = soak::busyBytes(g_programHeap) + soak::busyBytes(TempString_Area().heap);
  HANDLE heaps[64];
  DWORD count = GetProcessHeaps(64, heaps);
  for (DWORD i = 0; i < count && i < 64; i++)
    if (heaps[i] != g_programHeap && heaps[i] != TempString_Area().heap)
      s.otherHeapBytes += soak::busyBytes(heaps[i]);
  s.privateBytes = soak::committedPrivateBytes();
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
    s.pagefileBytes = counters.PagefileUsage;
  s.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  s.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  return s;
}

void print(const Sample& s) {
  printf("%6d draws: bitmaps %lld icons %lld fonts %lld DCs %lld windows %lld controls %lld | "
         "heap %zu B, other heaps %zu B | private %zu KiB (pagefile %zu KiB) | GDI %lu USER %lu\n",
         s.draws, (long long)s.objects[ACCOUNT_BITMAP], (long long)s.objects[ACCOUNT_ICON],
         (long long)s.objects[ACCOUNT_FONT], (long long)s.objects[ACCOUNT_DC],
         (long long)s.objects[ACCOUNT_WINDOW], (long long)s.objects[ACCOUNT_CONTROL], s.heapBytes,
         s.otherHeapBytes, s.privateBytes / 1024, s.pagefileBytes / 1024,
         (unsigned long)s.gdiObjects, (unsigned long)s.userObjects);
  fflush(stdout);
}

BOOL CALLBACK findButton(HWND control, LPARAM found) {
  wchar_t name[32];
  if (GetClassNameW(control, name, 32) && lstrcmpiW(name, L"Button") == 0) {
    *(HWND*)found = control;
    return FALSE;
  }
  return TRUE;
}

// The program starts once per process, as the program does; the tests run in order on it.
class Soak : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = tempFolder("soak");
    ASSERT_TRUE(soak::writePictureSet(folder_));
    GetCurrentDirectoryA(MAX_PATH, previous_);
    ASSERT_TRUE(SetCurrentDirectoryA(folder_.c_str()));

    // The journal's tests write, set aside and remove files at its path: never the user's.
    const std::wstring journal = std::wstring(folder_.begin(), folder_.end()) + L"journal";
    journal_file_detail::useFolder((const Char16*)journal.c_str());
    // The entry point's start-up, step by step. The draws here keep no journal: the tests
    // watch which files a draw opens, and the journal's own tests watch it.
    journal_file_detail::setMode(journal_file_detail::OFF);
    g_instance = GetModuleHandleW(nullptr);
    g_programHeap = HeapCreate(0, 4096, 0);
    ASSERT_NE(g_programHeap, nullptr);
    Runtime_Start();
    String_Assign(&g_program.ballsPath, TEXT16("GFX\\Balls\\"));
    String_Assign(&g_program.starsPath, TEXT16("GFX\\Stars\\"));
    Array_Allocate(4, 50, 21, nullptr, &g_program.ballPool);
    Array_Allocate(4, 12, 21, nullptr, &g_program.starPool);
    ASSERT_NE(Window_Open(0, 0, 0, 760, 140, TEXT16("Tirage Vorellis"),
                          WINDOW_SYSTEM_MENU | WINDOW_SCREEN_CENTERED),
              0);
    Slots_Show();
    ASSERT_NE(Image_Handle(BALL_PLACEHOLDER), 0);
    ASSERT_NE(Image_Handle(STAR_PLACEHOLDER), 0);
    ASSERT_NE(Gadget_Button(DRAW_BUTTON, 5, 110, 750, 25, TEXT16("Lancer un tirage")), 0);
    EnumChildWindows(Window_Handle(0), findButton, (LPARAM)&button_);
    ASSERT_NE(button_, nullptr);
  }

  void SetUp() override { ASSERT_NE(button_, nullptr) << "start-up failed"; }

  static void TearDownTestSuite() {
    Runtime_End();
    TempString_End();
    if (g_programHeap) HeapDestroy(g_programHeap);
    g_programHeap = nullptr;
    g_program = ProgramState();
    SetCurrentDirectoryA(previous_);
  }

  // One draw as the user asks for it: a click on the button, then the event loop's step.
  bool drawOnce() {
    SendMessageW(button_, BM_CLICK, 0, 0);
    for (int tries = 0; tries < 50; tries++) {
      int32_t event = Event_WaitTimeout(100);
      if (event == EVENT_GADGET && Event_Gadget() == DRAW_BUTTON) {
        Draw_Run();
        return true;
      }
    }
    return false;
  }

  static std::string folder_;
  static char previous_[MAX_PATH];
  static HWND button_;
};
std::string Soak::folder_;
char Soak::previous_[MAX_PATH];
HWND Soak::button_;

// The generator as its definition gives it, apart from the runtime's code: the seeding
// recurrence, the two-table step, the range as the high word of a product, and the forward
// shuffle of a pool refilled with 0..n-1.
struct ReferenceGenerator {
  uint32_t a[17], b[17];
  int p1, p2;
  static uint32_t rotateRight(uint32_t v, int n) { return v >> n | v << (32 - n); }
  void seed(uint32_t s) {
    for (int i = 0; i < 17; i++) {
      s = 1 - s * 0x53A9B4FBu;
      b[i] = s;
      s = 1 - s * 0x53A9B4FBu;
      a[i] = s;
    }
    p1 = 0;
    p2 = 10;
    for (int i = 0; i < 31; i++) step();
  }
  uint32_t step() {
    uint32_t newA = rotateRight(b[p1], 13) + b[p2];
    uint32_t newB = rotateRight(a[p1], 5) + a[p2];
    a[p1] = newA;
    b[p1] = newB;
    p1 = p1 ? p1 - 1 : 16;
    p2 = p2 ? p2 - 1 : 16;
    return newA;
  }
  uint32_t range(uint32_t max) {
    return (uint32_t)(((uint64_t)step() * ((uint64_t)max + 1)) >> 32);
  }
  // The picture names one draw asks for: `count` values of a fresh pool of `size`.
  void drawNames(const char* folder, int size, int count, std::vector<std::wstring>* names) {
    std::vector<int> pool(size);
    for (int i = 0; i < size; i++) pool[i] = i;
    for (int i = 1; i < size; i++) std::swap(pool[i], pool[range((uint32_t)i)]);
    for (int k = 0; k < count; k++)
      names->push_back(std::wstring(folder, folder + strlen(folder)) + std::to_wstring(pool[k]) +
                       L".png");
  }
};

typedef HANDLE(WINAPI* CreateFileFn)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                                     HANDLE);
CreateFileFn realCreateFile;
std::vector<std::wstring> g_opened;  // every file name the draws asked for, in order

HANDLE WINAPI observedCreateFile(LPCWSTR name, DWORD access, DWORD share,
                                 LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                 HANDLE model) {
  g_opened.push_back(name);
  return realCreateFile(name, access, share, security, disposition, flags, model);
}

// The program's own draws after a fixed seed ask for exactly the pictures of the values the
// generator's definition gives, and each draw starts again from the sorted pools.
TEST_F(Soak, SeededDrawsAskForTheDrawnPictures) {
  realCreateFile = (CreateFileFn)patchImport("CreateFileW", (void*)observedCreateFile);
  ASSERT_NE(realCreateFile, nullptr);
  ReferenceGenerator reference;
  reference.seed(0);
  Random_Seed(0);
  for (int draw = 1; draw <= 2; draw++) {
    g_opened.clear();
    bool drawn = drawOnce();
    std::vector<std::wstring> expected;
    reference.drawNames("GFX\\Balls\\", 50, 5, &expected);
    reference.drawNames("GFX\\Stars\\", 12, 2, &expected);
    EXPECT_TRUE(drawn) << "draw " << draw;
    EXPECT_EQ(g_opened, expected) << "draw " << draw;
  }
  patchImport("CreateFileW", (void*)realCreateFile);
  // The reference itself against the worked-out first draw.
  reference.seed(0);
  std::vector<std::wstring> first;
  reference.drawNames("GFX\\Balls\\", 50, 5, &first);
  EXPECT_EQ(first, (std::vector<std::wstring>{L"GFX\\Balls\\33.png", L"GFX\\Balls\\16.png",
                                              L"GFX\\Balls\\9.png", L"GFX\\Balls\\8.png",
                                              L"GFX\\Balls\\6.png"}));
}

FILETIME writeTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

void setWriteTime(const std::string& path, FILETIME time) {
  HANDLE file =
      CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
}

typedef BOOL(WINAPI* AttributesFn)(LPCWSTR, GET_FILEEX_INFO_LEVELS, LPVOID);
AttributesFn realAttributes;
std::vector<std::wstring> g_asked;  // every file name a draw looked for, in order

BOOL WINAPI observedAttributes(LPCWSTR name, GET_FILEEX_INFO_LEVELS level, LPVOID data) {
  g_asked.push_back(name);
  return realAttributes(name, level, data);
}

// At 150 % a draw looks for the scaled names best first and stops at the first file it can
// read; after one that cannot be read it goes on to the next, the plain file last. Every slot
// then shows its picture at 150 pixels. The same values drawn again read no file but the
// damaged one, which may have been mended; a file whose size or time of writing changed since
// is read again.
TEST_F(Soak, AtAScaleADrawTriesTheScaledNamesInTheirOrder) {
  const std::string balls = folder_ + "GFX\\Balls\\";
  for (int v = 0; v < 50; v++)
    ASSERT_TRUE(writeFile(balls + std::to_string(v) + ".scale-200.png",
                          samplePng(6, 8, false, false, 200, 200)));
  ASSERT_TRUE(writeFile(balls + "9.scale-200.png", Bytes{'n', 'o', 't'}));
  atResolution(144);
  realCreateFile = (CreateFileFn)patchImport("CreateFileW", (void*)observedCreateFile);
  realAttributes = (AttributesFn)patchImport("GetFileAttributesExW", (void*)observedAttributes);
  ASSERT_NE(realCreateFile, nullptr);
  ASSERT_NE(realAttributes, nullptr);
  // At 150 %: 150 (not there), then 200, which only 9 cannot read; every star has the plain file
  // alone, found after every qualifier was looked for.
  ReferenceGenerator reference;
  reference.seed(0);
  std::vector<std::wstring> plain, asked, read;
  reference.drawNames("GFX\\Balls\\", 50, 5, &plain);  // 33, 16, 9, 8, 6
  reference.drawNames("GFX\\Stars\\", 12, 2, &plain);
  for (const std::wstring& name : plain) {
    std::wstring stem = name.substr(0, name.size() - 4);
    bool ball = name.find(L"Balls") != std::wstring::npos;
    bool sharp = ball && name != L"GFX\\Balls\\9.png";
    for (const wchar_t* q : {L"150", L"200", L"300", L"400", L"125"}) {
      asked.push_back(stem + L".scale-" + q + L".png");
      if (ball && q[0] == L'2') read.push_back(asked.back());
      if (sharp && q[0] == L'2') break;
    }
    if (!sharp) asked.push_back(name), read.push_back(name);
  }
  const std::vector<std::wstring> damaged = {L"GFX\\Balls\\9.scale-200.png"};
  const std::vector<std::wstring> reads[4] = {read,
                                              damaged,
                                              {L"GFX\\Balls\\33.scale-200.png", damaged[0]},
                                              {L"GFX\\Balls\\16.scale-200.png", damaged[0]}};
  for (int draw = 0; draw < 4; draw++) {
    if (draw == 2) {  // another picture, the time of writing put back: only the size tells
      FILETIME written = writeTime(balls + "33.scale-200.png");
      writeFile(balls + "33.scale-200.png", flatPng(200, 0x308050));
      setWriteTime(balls + "33.scale-200.png", written);
    }
    if (draw == 3) {  // the same bytes written again: only the time tells
      FILETIME written = writeTime(balls + "16.scale-200.png");
      written.dwHighDateTime++;
      setWriteTime(balls + "16.scale-200.png", written);
    }
    Random_Seed(0);
    g_asked.clear();
    g_opened.clear();
    EXPECT_TRUE(drawOnce()) << draw;
    EXPECT_EQ(g_asked, asked) << draw;
    EXPECT_EQ(g_opened, reads[draw]) << draw;
    for (intptr_t slot : {1, 2, 3, 4, 5, 7, 8}) {
      EXPECT_EQ(g_program.slots[slot], SLOT_PICTURE) << slot;
      EXPECT_EQ(Image_Width(slot), 150) << slot;
    }
  }
  EXPECT_EQ(pixelAt(viewOf(1), 75, 75) & 0xFFFFFF, 0x308050u) << "33 as rewritten";
  EXPECT_EQ(slot_picture_detail::keptBytes(), slot_picture_detail::keptCount() * 150 * 150 * 4);
  patchImport("CreateFileW", (void*)realCreateFile);
  patchImport("GetFileAttributesExW", (void*)realAttributes);
  // Moved to 200 %: every slot shows its value again, from its file, and only what was
  // resampled for 200 % is kept (9, the two stars and the balls' placeholder); the stars'
  // placeholder, which can no longer be read, goes rather than stay at 150 %.
  const std::string vide = folder_ + "GFX\\Stars\\vide.png";
  ASSERT_TRUE(MoveFileA(vide.c_str(), (vide + ".away").c_str()));
  atResolution(192);
  Slots_Show();
  MoveFileA((vide + ".away").c_str(), vide.c_str());
  EXPECT_EQ(Image_Handle(STAR_PLACEHOLDER), 0);
  for (intptr_t slot : {1, 2, 3, 4, 5, 7, 8}) {
    EXPECT_EQ(g_program.slots[slot], SLOT_PICTURE) << slot;
    EXPECT_EQ(Image_Width(slot), 200) << slot;
  }
  EXPECT_EQ(slot_picture_detail::keptCount(), 4);
  atResolution(96);
  Slots_Show();
  for (int v = 0; v < 50; v++) DeleteFileA((balls + std::to_string(v) + ".scale-200.png").c_str());
}

size_t otherHeapBytes() { return sample(0).otherHeapBytes; }

// Wine's STATIC control keeps a 12-byte block on the process heap for every control that is
// given a font and is never given it back: plain CreateWindowExW, WM_SETFONT and
// DestroyWindow show it, with none of our code involved. Measured here so that the soak can
// tell it from a leak of ours; 0 on Windows.
double platformBytesPerImageGadget() {
  const int kControls = 200;
  size_t before = otherHeapBytes();
  for (int i = 0; i < kControls; i++) {
    HWND control = CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | SS_NOTIFY, 0, 0, 10, 10,
                                   Window_Handle(0), nullptr, g_instance, nullptr);
    SendMessageW(control, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), FALSE);
    DestroyWindow(control);
  }
  size_t after = otherHeapBytes();
  return after > before ? (double)(after - before) / kControls : 0.0;
}

int drawsWanted() {
  const char* text = getenv("SOAK_DRAWS");
  int n = text ? atoi(text) : 0;
  return n >= 20 ? n : 300;
}

TEST_F(Soak, NothingGrowsOverManyDraws) {
  struct JournalOn {  // the journal's handles and blocks count too
    JournalOn() { journal_file_detail::setMode(journal_file_detail::ON); }
    ~JournalOn() { journal_file_detail::setMode(journal_file_detail::OFF); }
  } journalOn;
  const int total = drawsWanted();
  const int warmUp = 10;
  const double platformLeak = platformBytesPerImageGadget();
  printf("platform: %.1f bytes kept per image gadget created (Wine's STATIC control)\n",
         platformLeak);
  std::vector<Sample> samples;
  samples.push_back(sample(0));
  print(samples.back());
  int step = total >= 2000 ? 1000 : total >= 200 ? 100 : 10;
  for (int draw = 1; draw <= total; draw++) {
    ASSERT_TRUE(drawOnce()) << "no draw event for draw " << draw;
    if (draw == warmUp || draw % step == 0 || draw == total) {
      samples.push_back(sample(draw));
      print(samples.back());
    }
  }

  // Every slot shows a drawn picture: the loads and the gadgets worked all along.
  for (intptr_t slot : {1, 2, 3, 4, 5, 7, 8})
    EXPECT_EQ(g_program.slots[slot], SLOT_PICTURE) << slot;

  const Sample* warm = nullptr;
  for (const Sample& s : samples)
    if (s.draws == warmUp) warm = &s;
  ASSERT_NE(warm, nullptr);
  for (const Sample& s : samples) {
    if (s.draws < warmUp) continue;
    for (int k = 0; k < ACCOUNT_KINDS; k++)
      EXPECT_EQ(s.objects[k], warm->objects[k]) << "object kind " << k << " at draw " << s.draws;
    // The heaps hold the same blocks after every draw; their busy bytes may differ only by
    // the temporary string area's growth to the longest name built so far.
    EXPECT_LE(s.heapBytes, warm->heapBytes + 16384) << "at draw " << s.draws;
    // The other heaps may grow only by what the platform keeps for the seven image gadgets
    // each draw re-creates; private bytes by that and the system's own caches (2 MiB).
    size_t platform = (size_t)(platformLeak * 7 * (s.draws - warmUp));
    EXPECT_LE(s.otherHeapBytes, warm->otherHeapBytes + platform + 16384) << "at draw " << s.draws;
    EXPECT_LE(s.privateBytes, warm->privateBytes + platform + (2u << 20)) << "at draw " << s.draws;
  }
  // 7 image gadgets and the button; 2 placeholders and 7 drawn pictures, and the copy of its
  // picture that each image gadget keeps for painting.
  EXPECT_EQ(samples.back().objects[ACCOUNT_CONTROL], 8);
  EXPECT_EQ(samples.back().objects[ACCOUNT_BITMAP], 9 + 7);
}

// The bad-picture matrix in the program itself: the first balls of the folder are replaced by
// the damaged files and a few are missing; draws go on, every slot shows either its picture or
// the placeholder (never a destroyed bitmap), and nothing grows.
TEST_F(Soak, BadPicturesInTheFolderAreSurvived) {
  std::vector<badpics::Case> cases = badpics::folderCases();
  for (size_t i = 0; i < cases.size(); i++)
    ASSERT_TRUE(writeFile(folder_ + "GFX\\Balls\\" + std::to_string(i) + ".png", cases[i].bytes));
  for (int i = 20; i < 25; i++)
    DeleteFileA((folder_ + "GFX\\Balls\\" + std::to_string(i) + ".png").c_str());
  Sample warm = {};
  for (int draw = 1; draw <= 120; draw++) {
    ASSERT_TRUE(drawOnce()) << "draw " << draw;
    for (intptr_t slot : {1, 2, 3, 4, 5, 7, 8}) {
      SlotContent shows = g_program.slots[slot];
      ASSERT_NE(shows, SLOT_NONE) << "slot " << slot << " at draw " << draw;
      if (shows == SLOT_PICTURE) { ASSERT_NE(Image_Handle(slot), 0) << "slot " << slot; }
    }
    if (draw == 20) warm = sample(draw);
  }
  Sample last = sample(120);
  print(warm);
  print(last);
  // Slots may move between picture and placeholder, and a picture that failed frees its
  // image: bitmaps may only be fewer than after warm-up, controls stay the same.
  EXPECT_LE(last.objects[ACCOUNT_BITMAP], 9 + 7);
  EXPECT_EQ(last.objects[ACCOUNT_CONTROL], warm.objects[ACCOUNT_CONTROL]);
  EXPECT_EQ(last.objects[ACCOUNT_WINDOW], warm.objects[ACCOUNT_WINDOW]);
  EXPECT_LE(last.heapBytes, warm.heapBytes + 16384);
}

typedef HFONT(WINAPI* CreateFontFn)(const LOGFONTW*);
typedef HDC(WINAPI* CreateDcFn)(HDC);
CreateFontFn realCreateFont;
CreateDcFn realCreateDc;
std::vector<HGDIOBJ> g_made;  // every font and memory DC made since the list was last cleared

HFONT WINAPI observedCreateFont(const LOGFONTW* font) {
  HFONT made = realCreateFont(font);
  g_made.push_back(made);
  return made;
}

// While set, every second memory DC cannot be made: a card's image is made (with a DC of its
// own, which it gives back) and the DC to draw the card in is refused.
bool g_everySecondDcFails;
int g_dcCalls;

HDC WINAPI observedCreateDc(HDC model) {
  HDC made = g_everySecondDcFails && ++g_dcCalls % 2 == 0 ? nullptr : realCreateDc(model);
  g_made.push_back(made);
  return made;
}

// The box of the card's pixels of colour `rgb` (0xRRGGBB), its clear corner left out.
RECT boxOf(const std::vector<uint32_t>& pixels, int side, uint32_t rgb) {
  RECT box = {side, side, -1, -1};
  for (int y = 0; y < side; y++)
    for (int x = 0; x < side; x++)
      if (x + y >= 24 && (pixels[y * side + x] & 0xFFFFFF) == rgb) {
        box.left = std::min<LONG>(box.left, x), box.right = std::max<LONG>(box.right, x);
        box.top = std::min<LONG>(box.top, y), box.bottom = std::max<LONG>(box.bottom, y);
      }
  return box;
}

uint32_t rgbOf(COLORREF c) { return GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c); }

// Folders without pictures: every slot shows a card with its value, on its own group's
// placeholder, the digits dark with a light rim and centred; a card (and a copy of the draw)
// gives back the string area, and a card the font and DC it took.
TEST_F(Soak, ValueCardsAreCentredOnTheirGroupsPlaceholder) {
  realCreateFont =
      (CreateFontFn)patchImport("CreateFontIndirectW", (void*)observedCreateFont, "gdi32.dll");
  realCreateDc =
      (CreateDcFn)patchImport("CreateCompatibleDC", (void*)observedCreateDc, "gdi32.dll");
  ASSERT_NE(realCreateFont, nullptr);
  ASSERT_NE(realCreateDc, nullptr);
  String_Assign(&g_program.ballsPath, TEXT16("GFX\\None\\"));
  String_Assign(&g_program.starsPath, TEXT16("GFX\\None\\"));
  const int32_t areaEnd = TempString_Area().end;
  Sample warm = {};
  const uint32_t dark = rgbOf(GetSysColor(COLOR_WINDOWTEXT)),
                 rim = rgbOf(GetSysColor(COLOR_WINDOW));
  for (int draw = 1; draw <= 40; draw++) {
    g_made.clear();
    ASSERT_TRUE(drawOnce()) << "draw " << draw;
    if (draw == 1) warm = sample(draw);
    Draw_Copy();  // builds its line in the string area too
    EXPECT_EQ(TempString_Area().end, areaEnd) << "draw " << draw;
    ASSERT_GE(g_made.size(), 14u) << "a font and a DC a card";
    for (HGDIOBJ made : g_made)
      EXPECT_EQ(GetObjectType(made), 0u) << "a card's font or DC is alive";
    for (intptr_t slot : {1, 2, 3, 4, 5, 7, 8}) {
      ASSERT_EQ(g_program.slots[slot], SLOT_PICTURE) << "slot " << slot;
      ASSERT_EQ(Image_Width(slot), 100);
      std::vector<uint32_t> pixels(100 * 100);
      BITMAPINFO info = {};
      info.bmiHeader = {sizeof(BITMAPINFOHEADER), 100, -100, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
      HDC screen = GetDC(nullptr);
      ASSERT_EQ(GetDIBits(screen, (HBITMAP)Image_Handle(slot), 0, 100, pixels.data(), &info,
                          DIB_RGB_COLORS),
                100);
      ReleaseDC(nullptr, screen);
      EXPECT_EQ(pixels[95 * 100 + 95] & 0xFFFFFF,
                slot < 6 ? soak::kBallPlaceholder : soak::kStarPlaceholder)
          << "slot " << slot;
      if (slot > 5) {  // the stars' placeholder has a clear corner
        EXPECT_EQ(pixels[100 + 1] & 0xFFFFFF, rgbOf(GetSysColor(COLOR_BTNFACE)));
      }
      RECT digits = boxOf(pixels, 100, dark), light = boxOf(pixels, 100, rim);
      // Digits of a font half the card high (about 37 pixels), their box's centre at the card's,
      // and a rim two pixels wide on every side.
      EXPECT_GE(digits.bottom - digits.top, 30) << "slot " << slot;
      EXPECT_LE(digits.bottom - digits.top, 44) << "slot " << slot;
      EXPECT_NEAR((digits.left + digits.right) / 2.0, 50, 4) << "slot " << slot;
      EXPECT_NEAR((digits.top + digits.bottom) / 2.0, 50, 6) << "slot " << slot;
      EXPECT_NEAR(light.left, digits.left - 2, 1) << "slot " << slot;
      EXPECT_NEAR(light.right, digits.right + 2, 1) << "slot " << slot;
      EXPECT_NEAR(light.top, digits.top - 2, 1) << "slot " << slot;
      EXPECT_NEAR(light.bottom, digits.bottom + 2, 1) << "slot " << slot;
      if (HasFailure()) {
        printf("slot %d value %d digits %ld,%ld-%ld,%ld rim %ld,%ld-%ld,%ld\n", (int)slot,
               g_program.values[slot], digits.left, digits.top, digits.right, digits.bottom,
               light.left, light.top, light.right, light.bottom);
        break;
      }
    }
    if (HasFailure()) break;
  }
  for (int k = 0; k < ACCOUNT_KINDS; k++)
    EXPECT_EQ(Account_Live((AccountKind)k), warm.objects[k]) << "object kind " << k;
  // Not even a card can be made: the slots go empty rather than go on showing another number,
  // and the cards' images are given back; the next draw fills them again.
  g_everySecondDcFails = true;
  Draw_Run();
  g_everySecondDcFails = false;
  for (intptr_t slot : {1, 2, 3, 4, 5, 7, 8}) {
    EXPECT_EQ(g_program.slots[slot], SLOT_NONE) << "slot " << slot;
    EXPECT_EQ(Image_Handle(slot), 0) << "slot " << slot;
  }
  EXPECT_EQ(Account_Live(ACCOUNT_CONTROL), warm.objects[ACCOUNT_CONTROL] - 7);
  ASSERT_TRUE(drawOnce());
  for (intptr_t slot : {1, 2, 3, 4, 5, 7, 8})
    EXPECT_EQ(g_program.slots[slot], SLOT_PICTURE) << "slot " << slot;
  EXPECT_EQ(Account_Live(ACCOUNT_CONTROL), warm.objects[ACCOUNT_CONTROL]);
  patchImport("CreateFontIndirectW", (void*)realCreateFont, "gdi32.dll");
  patchImport("CreateCompatibleDC", (void*)realCreateDc, "gdi32.dll");
  String_Assign(&g_program.ballsPath, TEXT16("GFX\\Balls\\"));
  String_Assign(&g_program.starsPath, TEXT16("GFX\\Stars\\"));
}

typedef HGLOBAL(WINAPI* GlobalFreeFn)(HGLOBAL);
GlobalFreeFn realGlobalFree;
int g_globalFrees;

HGLOBAL WINAPI countedGlobalFree(HGLOBAL block) {
  ++g_globalFrees;
  return realGlobalFree(block);
}

BOOL WINAPI refusedOpenClipboard(HWND) { return FALSE; }

// A copy of the draw leaves its block to the clipboard that took it, and frees the block that
// the clipboard could not take (another program holds the clipboard open).
TEST_F(Soak, CopyLeavesItsBlockToTheClipboardOrFreesIt) {
  ASSERT_TRUE(drawOnce());  // before a draw there is nothing to copy
  realGlobalFree = (GlobalFreeFn)patchImport("GlobalFree", (void*)countedGlobalFree);
  ASSERT_NE(realGlobalFree, nullptr);
  g_globalFrees = 0;
  Draw_Copy();
  EXPECT_EQ(g_globalFrees, 0) << "the block the clipboard took was freed";
  void* realOpen = patchImport("OpenClipboard", (void*)refusedOpenClipboard, "user32.dll");
  ASSERT_NE(realOpen, nullptr);
  Draw_Copy();
  EXPECT_EQ(g_globalFrees, 1) << "the block the clipboard did not take was not freed";
  patchImport("OpenClipboard", realOpen, "user32.dll");
  patchImport("GlobalFree", (void*)realGlobalFree);
}

// Two programs drawing at once (two threads, each append on a handle of its own, as two
// processes have): every record whole, numbered in one sequence, chained.
TEST_F(Soak, TwoWritersAtOnceNumberOneSequence) {
  const std::wstring path = (const wchar_t*)journal_file_detail::path();
  DeleteFileW(path.c_str());
  journal_file_detail::setMode(journal_file_detail::ON);
  auto writer = [](int32_t first) {
    const int32_t balls[5] = {first, 1, 2, 3, 4}, stars[2] = {first % 12, 11};
    for (int i = 0; i < 40; i++) {
      JournalWrite write;
      EXPECT_TRUE(JournalFile_Append(balls, stars, &write)) << write.error;
      JournalFile_Finish(&write);
    }
  };
  std::thread a(writer, 10), b(writer, 20);
  a.join();
  b.join();
  journal_file_detail::setMode(journal_file_detail::OFF);
  std::vector<char> bytes(1 << 16);
  FILE* file = _wfopen(path.c_str(), L"rb");
  ASSERT_NE(file, nullptr);
  bytes.resize(fread(bytes.data(), 1, bytes.size(), file));
  fclose(file);
  JournalCheck check;
  Journal_CheckStart(&check);
  Journal_CheckBytes(&check, bytes.data(), bytes.size());
  Journal_CheckEnd(&check);
  EXPECT_EQ(check.records * 100 + check.verdict, 80u * 100 + JOURNAL_HOLDS) << check.brokenLine;
}

// The journal's bytes, and the check's verdict and count over them.
std::string fileBytes(const std::wstring& path) {
  std::string bytes;
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return "(none)";
  char block[4096];
  for (size_t got; (got = fread(block, 1, sizeof block, file)) > 0;) bytes.append(block, got);
  fclose(file);
  return bytes;
}

bool putFile(const std::wstring& path, const std::string& bytes, bool append = false) {
  FILE* file = _wfopen(path.c_str(), append ? L"ab" : L"wb");
  if (!file) return false;
  fwrite(bytes.data(), 1, bytes.size(), file);
  return fclose(file) == 0;
}

JournalCheck checkOf(const std::string& bytes) {
  JournalCheck check;
  Journal_CheckStart(&check);
  Journal_CheckBytes(&check, bytes.data(), bytes.size());
  Journal_CheckEnd(&check);
  return check;
}

std::wstring gadgetText(intptr_t gadget) {
  wchar_t text[256] = L"";
  Gadget_GetText(gadget, (Char16*)text, 256);
  return text;
}

// Message boxes, said instead of shown.
void* realMessageBox;
std::wstring g_said;
int WINAPI saidMessage(HWND, LPCWSTR text, LPCWSTR, UINT) {
  g_said += text;
  return IDOK;
}

// One draw's record, as Draw_Run makes it, the user told what there is to tell.
void recordDraw() {
  const int32_t balls[5] = {1, 2, 3, 4, 5}, stars[2] = {6, 7};
  JournalWrite write;
  JournalFile_Append(balls, stars, &write);
  JournalFile_Finish(&write);
  JournalFile_Report(write);
}

// A file set aside in FOLDER, or none.
std::wstring firstAside(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"\\tirages-illisible-*.csv").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return L"";
  FindClose(find);
  return folder + L"\\" + found.cFileName;
}

// Whatever the file at the journal's path holds, a draw is recorded and nothing of it rewritten:
// a journal is appended to (a last record that lost its line end completed, never numbered
// twice); a file the program cannot continue is set aside whole, told, and a new journal begun.
TEST_F(Soak, JournalKeepsEveryDrawWhateverTheFileHolds) {
  const std::wstring path = (const wchar_t*)journal_file_detail::path();
  const std::wstring folder = path.substr(0, path.rfind(L'\\'));
  const std::string header = std::string(JOURNAL_HEADER) + "\r\n",
                    one = "1,2026-12-09T07:12:03.250+01:00,3,17,22,41,48,2,9,"
                          "bb354d1f7932341dd827f070fe24627b5bb6f4a7ed7fe0c99a939f251612594c",
                    utf16 = std::string("\xFF\xFEn\0u\0m\0;\0", 10);
  const struct {
    std::string bytes;
    bool aside;
    uint64_t records;  // after the draw
  } cases[] = {
      {header + one + "\r\n", false, 2},
      {header + one, false, 2},  // the last line end lost
      {header + one + "\r", false, 2},
      {header + one + "\r\ngarbage\r\n" + one.substr(0, 40), false, 2},
      {utf16, true, 1},
      {"\xEF\xBB\xBF" + header + one + "\r\n", true, 1},  // a byte order mark
      {std::string(JOURNAL_HEADER) + "\n" + one + "\n", true, 1},
      {"numero;date;boule1\r\n", true, 1},
      {header.substr(0, 20), true, 1},  // a cut header
  };
  // Files an earlier run set aside are not this run's.
  for (std::wstring old; !(old = firstAside(folder)).empty();) DeleteFileW(old.c_str());
  realMessageBox = patchImport("MessageBoxW", (void*)saidMessage, "user32.dll");
  journal_file_detail::setMode(journal_file_detail::ON);
  for (const auto& c : cases) {
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(putFile(path, c.bytes));
    g_said.clear();
    recordDraw();
    std::wstring aside = firstAside(folder);
    EXPECT_EQ(!aside.empty(), c.aside) << c.bytes;
    EXPECT_EQ(g_said.find(aside.empty() ? L"mis de c\u00F4t\u00E9" : aside) != std::wstring::npos,
              c.aside)
        << c.bytes;
    std::string now = fileBytes(path),
                kept = c.aside ? fileBytes(aside) : now.substr(0, c.bytes.size());
    EXPECT_EQ(kept, c.bytes) << "a byte of the file rewritten";
    JournalCheck check = checkOf(now);
    EXPECT_EQ(check.records, c.records) << now;
    EXPECT_EQ(check.lastNumber, c.records) << now;
    if (!aside.empty()) DeleteFileW(aside.c_str());
    DeleteFileW(path.c_str());
  }
  journal_file_detail::setMode(journal_file_detail::OFF);
  patchImport("MessageBoxW", realMessageBox, "user32.dll");
}

// The draw's file calls in their order: the record written before anything is shown, flushed
// and closed once the draw is on screen. A flush that fails is a draw not recorded: told once,
// and while it lasts the history's footer says since when (the time with its seconds) and how
// many, until a draw is recorded again.
std::vector<std::string> g_calls;
HANDLE g_journalHandle;
bool g_flushFails;
typedef BOOL(WINAPI* WriteFn)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
typedef BOOL(WINAPI* HandleFn)(HANDLE);
typedef HWND(WINAPI* CreateWindowFn)(DWORD, LPCWSTR, LPCWSTR, DWORD, int, int, int, int, HWND,
                                     HMENU, HINSTANCE, LPVOID);
WriteFn realWrite;
HandleFn realFlush, realClose;
CreateWindowFn realCreateWindow;
BOOL WINAPI loggedWrite(HANDLE file, LPCVOID data, DWORD size, LPDWORD done, LPOVERLAPPED at) {
  g_journalHandle = file;
  g_calls.push_back("write");
  return realWrite(file, data, size, done, at);
}
BOOL WINAPI loggedFlush(HANDLE file) {
  if (file == g_journalHandle) g_calls.push_back("flush");
  if (!g_flushFails) return realFlush(file);
  SetLastError(ERROR_IO_DEVICE);
  return FALSE;
}
BOOL WINAPI loggedClose(HANDLE file) {
  if (file == g_journalHandle) g_calls.push_back("close");
  return realClose(file);
}
HWND WINAPI loggedCreateWindow(DWORD ex, LPCWSTR cls, LPCWSTR name, DWORD style, int x, int y,
                               int w, int h, HWND parent, HMENU menu, HINSTANCE in, LPVOID p) {
  if (g_calls.empty() || g_calls.back() != "show") g_calls.push_back("show");
  return realCreateWindow(ex, cls, name, style, x, y, w, h, parent, menu, in, p);
}

TEST_F(Soak, DrawIsWrittenShownFlushedClosedAndAFailedFlushIsTold) {
  const std::wstring path = (const wchar_t*)journal_file_detail::path();
  DeleteFileW(path.c_str());
  realWrite = (WriteFn)patchImport("WriteFile", (void*)loggedWrite);
  realFlush = (HandleFn)patchImport("FlushFileBuffers", (void*)loggedFlush);
  realClose = (HandleFn)patchImport("CloseHandle", (void*)loggedClose);
  realCreateWindow =
      (CreateWindowFn)patchImport("CreateWindowExW", (void*)loggedCreateWindow, "user32.dll");
  realMessageBox = patchImport("MessageBoxW", (void*)saidMessage, "user32.dll");
  History_Open();
  journal_file_detail::setMode(journal_file_detail::ON);
  std::string order;
  std::wstring footers;
  g_said.clear();
  for (bool fails : {false, true, true, false}) {
    g_calls.clear();
    g_flushFails = fails;
    Draw_Run();
    for (const std::string& call : g_calls) order += call + " ";
    order += "| ";
    History_Refresh();
    footers += gadgetText(history_detail::UNRECORDED) + L"|";
  }
  History_Close();
  journal_file_detail::setMode(journal_file_detail::OFF);
  patchImport("WriteFile", (void*)realWrite);
  patchImport("FlushFileBuffers", (void*)realFlush);
  patchImport("CloseHandle", (void*)realClose);
  patchImport("CreateWindowExW", (void*)realCreateWindow, "user32.dll");
  patchImport("MessageBoxW", realMessageBox, "user32.dll");
  EXPECT_EQ(order, "write show flush close | write show flush close | write show flush close | "
                   "write show flush close | ");
  const std::wstring since = L"Tirages non enregistr\u00E9s depuis ";
  const std::wstring at = footers.substr(1, footers.find(L" : ") - 1);
  EXPECT_EQ(footers, L"|" + at + L" : 1|" + at + L" : 2||");
  EXPECT_EQ(at.compare(0, since.size(), since), 0) << at;
  EXPECT_EQ(std::count(at.begin(), at.end(), L':'), 2) << "the time has its seconds: " << at;
  const std::wstring told = L"n'a pas pu \u00EAtre enregistr\u00E9";
  size_t first = g_said.find(told);
  EXPECT_TRUE(first != std::wstring::npos && g_said.find(told, first + 1) == std::wstring::npos)
      << "not told exactly once";
  DeleteFileW(path.c_str());
}

// A journal another program holds open without sharing it (a spreadsheet) is tried again for
// two seconds by the clock, then the user is told to close it there.
TEST_F(Soak, JournalHeldOpenElsewhereIsAwaitedThenTold) {
  const std::wstring path = (const wchar_t*)journal_file_detail::path();
  HANDLE held =
      CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  journal_file_detail::setMode(journal_file_detail::ON);
  const int32_t balls[5] = {1, 2, 3, 4, 5}, stars[2] = {6, 7};
  JournalWrite write;
  ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(JournalFile_Append(balls, stars, &write));
  ULONGLONG waited = GetTickCount64() - start;
  journal_file_detail::setMode(journal_file_detail::OFF);
  CloseHandle(held);
  DeleteFileW(path.c_str());
  EXPECT_GE(waited, 1900u);
  EXPECT_LE(waited, 3000u);
  EXPECT_TRUE(write.step &&
              std::wstring((const wchar_t*)write.step).find(L"fermez-le") != std::wstring::npos);
}

// ---- The history window.

// A record's line as the history reads it (its fingerprint not chained: rows are not checked).
std::string historyRecord(int n) {
  char line[160];
  snprintf(line, sizeof line, "%d,2026-12-09T07:12:03.250+01:00,1,2,3,4,5,6,7,%064d", n, n);
  return line;
}

// The journal's path, its folder made.
std::wstring historyPath() {
  const std::wstring path = (const wchar_t*)journal_file_detail::path();
  CreateDirectoryW(path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
  return path;
}

// The index's rows as their numbers, newest first ("3 1"); a row that cannot be read is "?".
std::string indexRows(HistoryIndex* index) {
  std::string rows;
  for (size_t row = 0; row < HistoryIndex_Rows(*index); row++) {
    JournalRecord r;
    rows +=
        (row ? " " : "") +
        (HistoryIndex_Row(index, (intptr_t)row, &r) ? std::to_string(r.number) : std::string("?"));
  }
  return rows;
}

// A row of the window's list as shown, column COLUMN.
std::wstring listText(int row, int column = 0) {
  HWND list = FindWindowExW(Window_Handle(HISTORY_WINDOW), nullptr, L"SysListView32", nullptr);
  wchar_t text[128] = L"";
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 128;
  SendMessageW(list, LVM_GETITEMTEXTW, (WPARAM)row, (LPARAM)&item);
  return text;
}

// Runs the event loop until DONE or for MS milliseconds; whether DONE came.
template <typename Done>
bool pumpUntil(Done done, DWORD ms) {
  for (ULONGLONG end = GetTickCount64() + ms; !done() && GetTickCount64() < end;)
    Event_WaitTimeout(20);
  return done();
}

// The history indexes a journal going back from its end, a read at a time: every record line
// becomes a row, newest first, across the reads' edges, past a line longer than a read, up to
// the file's first byte; the header and a cut last line are no row. A draw recorded while it is
// open comes first. Dates show in the user's locale with their seconds.
TEST_F(Soak, HistoryListsEveryRecordNewestFirst) {
  const std::wstring path = historyPath();
  std::string bytes = std::string(JOURNAL_HEADER) + "\r\n";
  for (int n = 1; n <= 20000; n++) {
    bytes += historyRecord(n) + "\r\n";
    if (n == 10000) bytes += std::string(1200000, 'x') + "\r\n";
  }
  bytes += "20001,2026-12-09T07:12:03.250+01:00,1,2,3,4,5,6,7,0123456789012345678901234567890123";
  ASSERT_TRUE(putFile(path, bytes));
  History_Open();
  pumpUntil([] { return history_detail::rows() >= 20000; }, 2000);
  // What a screen reader reads for the oldest row, the date in the locale's words.
  wchar_t name[256] = L"";
  ASSERT_TRUE(Gadget_ListRowName(history_detail::LIST, 19999, (Char16*)name, 256));
  const std::wstring said = name, end = L", boules 1 2 3 4 5, \u00E9toiles 6 7";
  EXPECT_TRUE(said.find(L"Tirage 1, ") == 0 && said.find(L"03") != std::wstring::npos &&
              said.size() > 30 && said.compare(said.size() - end.size(), end.size(), end) == 0)
      << name;
  journal_file_detail::setMode(journal_file_detail::ON);
  const int32_t balls[5] = {1, 2, 3, 4, 5}, stars[2] = {6, 7};
  JournalWrite write;
  EXPECT_TRUE(JournalFile_Append(balls, stars, &write));
  JournalFile_Finish(&write);
  journal_file_detail::setMode(journal_file_detail::OFF);
  History_Refresh();
  EXPECT_EQ(listText(0) + L" " + listText(1) + L" " + listText(10001) + L" " + listText(20000) +
                L" " + listText(20001),
            L"20001 20000 10000 1 ");
  EXPECT_EQ(gadgetText(history_detail::FOOTER).substr(0, 26), L"Dernier tirage : n\u00B0 20001,");
  History_Close();
  DeleteFileW(path.c_str());
}

// A row is exactly a line that reads as a record (the parser's own test says which do). A record
// cut k bytes short, for every k, is no row and no blank one, whether the index meets it going
// back, going forward or as the open last line; the open last record is the newest row, and once
// its line end comes it is not counted again.
TEST_F(Soak, HistoryRowsAreExactlyTheRecordLines) {
  const std::wstring path = historyPath();
  const std::string head = std::string(JOURNAL_HEADER) + "\r\n" + historyRecord(1) + "\r\n",
                    whole = historyRecord(2), three = historyRecord(3) + "\r\n";
  std::vector<std::string> lines = {whole};  // the first a record, the others not
  for (size_t k = 1; k < whole.size(); k++) lines.push_back(whole.substr(0, whole.size() - k));
  for (const std::string& line : lines) {
    const bool record = line == whole;
    const std::string rows = record ? "3 2 1" : "3 1", open = record ? "2 1" : "1";
    const struct {
      std::string before, after;
      intptr_t shift;
    } cases[] = {
        {head + line + "\r\n" + three, "", 0},          // going back
        {head, line + "\r\n" + three, record ? 2 : 1},  // going forward
        {head + line, "\r\n" + three, 1},               // the open last line, then its line end
        {head + line + "\r", "\n" + three, 1},          // a lone CR after it
    };
    for (const auto& c : cases) {
      ASSERT_TRUE(putFile(path, c.before));
      HistoryIndex index;
      ASSERT_TRUE(HistoryIndex_Open(&index, (const Char16*)path.c_str(), 100));
      if (!c.after.empty()) {
        EXPECT_EQ(indexRows(&index), c.before == head ? "1" : open) << c.before;
        intptr_t shift = 0;
        putFile(path, c.after, true);
        EXPECT_EQ(HistoryIndex_Follow(&index, (const Char16*)path.c_str(), 100, &shift),
                  HISTORY_GREW);
        EXPECT_EQ(shift, c.shift) << c.before;
      }
      EXPECT_EQ(indexRows(&index), rows) << c.before << c.after;
      JournalRecord newest = {};
      EXPECT_TRUE(HistoryIndex_Newest(index, &newest) && newest.number == 3) << c.before;
      HistoryIndex_Close(&index);
      if (HasFailure()) break;
    }
    if (HasFailure()) break;
  }
  DeleteFileW(path.c_str());
}

// The selected rows and the focus stay on their draws when a draw comes first, so that Ctrl+C
// copies what the user picked; every row selected stays so, the new one apart.
TEST_F(Soak, HistoryKeepsTheSelectionOnItsDrawsWhenRowsCome) {
  const std::wstring path = historyPath();
  std::string bytes = std::string(JOURNAL_HEADER) + "\r\n";
  for (int n = 1; n <= 6; n++) bytes += historyRecord(n) + "\r\n";
  ASSERT_TRUE(putFile(path, bytes));
  History_Open();
  HWND list = FindWindowExW(Window_Handle(HISTORY_WINDOW), nullptr, L"SysListView32", nullptr);
  auto select = [list](int row, UINT state, UINT mask = LVIS_SELECTED | LVIS_FOCUSED) {
    LVITEMW item = {};
    item.state = state;
    item.stateMask = mask;
    SendMessageW(list, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)&item);
  };
  auto selected = [] {
    std::string rows;
    for (intptr_t row = -1; (row = Gadget_ListNextSelected(history_detail::LIST, row)) >= 0;)
      rows += std::to_string(row) + " ";
    return rows + "focus " + std::to_string(Gadget_GetState(history_detail::LIST));
  };
  select(-1, 0);
  select(1, LVIS_SELECTED);
  select(3, LVIS_SELECTED | LVIS_FOCUSED);  // draws 5 and 3
  ASSERT_EQ(selected(), "1 3 focus 3");
  ASSERT_TRUE(putFile(path, historyRecord(7) + "\r\n" + historyRecord(8), true));
  History_Refresh();  // 8 is the open last line: a row all the same
  EXPECT_EQ(selected(), "3 5 focus 5");
  History_Command(HISTORY_COPY);
  std::wstring copied;
  if (OpenClipboard(nullptr)) {
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const wchar_t* text = data ? (const wchar_t*)GlobalLock(data) : nullptr;
    if (text) copied = text;
    if (text) GlobalUnlock(data);
    CloseClipboard();
  }
  EXPECT_EQ(copied.substr(0, 2) + copied.substr(copied.find(L"\r\n") + 2, 2), L"5\t3\t") << copied;
  select(-1, LVIS_SELECTED, LVIS_SELECTED);  // Ctrl+A
  ASSERT_TRUE(putFile(path, "\r\n" + historyRecord(9) + "\r\n", true));
  History_Refresh();
  EXPECT_EQ(selected(), "1 2 3 4 5 6 7 8 focus 6");
  History_Close();
  DeleteFileW(path.c_str());
}

// The window follows the file at the path, without being told: a journal moved away, replaced or
// set aside by the writer gives way to the one at the path now, empty until its first draw. (A
// record another copy writes shows within two seconds: the end-to-end two_programs case.)
TEST_F(Soak, HistoryFollowsTheFileAtThePath) {
  const std::wstring path = historyPath(), aside = path + L".aside";
  const std::string head = std::string(JOURNAL_HEADER) + "\r\n";
  ASSERT_TRUE(putFile(path, head + historyRecord(1) + "\r\n" + historyRecord(2) + "\r\n"));
  History_Open();
  ASSERT_EQ(history_detail::rows(), 2);
  // Moved away, then the path empty, then new journals (the longer one only its identity tells
  // from the one before), then one set aside by the writer.
  std::string five;
  for (int n = 1; n <= 5; n++) five += historyRecord(n) + "\r\n";
  const struct {
    const char* what;
    std::string bytes;  // at the path now; "-" none
    bool draw;          // a draw recorded then
    intptr_t rows;
    const wchar_t* footer;
  } cases[] = {
      {"moved away", "-", false, 0, L"Aucun tirage enregistr\u00E9."},
      {"a new journal", head + historyRecord(1) + "\r\n", false, 1, L"Dernier tirage : n\u00B0 1,"},
      {"a longer one", head + five, false, 5, L"Dernier tirage : n\u00B0 5,"},
      {"an empty one", head, false, 0, L"Aucun tirage enregistr\u00E9."},
      {"set aside", "numero;date\r\n", true, 1, L"Dernier tirage : n\u00B0 1,"},
  };
  for (const auto& c : cases) {
    MoveFileExW(path.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING);
    if (c.bytes != "-") { ASSERT_TRUE(putFile(path, c.bytes)); }
    journal_file_detail::setMode(journal_file_detail::ON);
    JournalWrite write;
    const int32_t balls[5] = {1, 2, 3, 4, 5}, stars[2] = {6, 7};
    if (c.draw) {
      EXPECT_TRUE(JournalFile_Append(balls, stars, &write) && JournalFile_Finish(&write));
    }
    journal_file_detail::setMode(journal_file_detail::OFF);
    if (c.draw) DeleteFileW(write.aside);
    intptr_t want = c.rows;
    std::wstring footer = c.footer;
    EXPECT_TRUE(pumpUntil(
        [want, footer] {
          return history_detail::rows() == want &&
                 gadgetText(history_detail::FOOTER).compare(0, footer.size(), footer) == 0;
        },
        2500))
        << c.what << ": " << history_detail::rows() << " rows, "
        << gadgetText(history_detail::FOOTER);
  }
  History_Close();
  DeleteFileW(path.c_str());
  DeleteFileW(aside.c_str());
}

// A chained journal of RECORDS records, as the writer makes it.
std::string chainedJournal(int records) {
  std::string bytes = std::string(JOURNAL_HEADER) + "\r\n";
  char previous[SHA256_HEX + 1] = "", line[JOURNAL_LINE_MAX + 2];
  for (int n = 1; n <= records; n++) {
    JournalRecord r = {};
    r.number = (uint64_t)n;
    memcpy(r.date, "2026-12-09T07:12:03.250+01:00", JOURNAL_DATE_LENGTH + 1);
    const uint8_t balls[5] = {3, 17, 22, 41, 48}, stars[2] = {2, 9};
    memcpy(r.balls, balls, 5);
    memcpy(r.stars, stars, 2);
    size_t length = Journal_FormatRecord(&r, n > 1 ? previous : nullptr, line, sizeof line);
    bytes.append(line, length);
    memcpy(previous, r.fingerprint, SHA256_HEX + 1);
  }
  return bytes;
}

// The fingerprint of record N of BYTES (a journal's), "" when there is none.
std::string fingerprintOf(const std::string& bytes, int n) {
  size_t at = bytes.find("\r\n" + std::to_string(n) + ",");
  if (at == std::string::npos) return "";
  size_t end = bytes.find("\r\n", at + 2);
  return bytes.substr(end - SHA256_HEX, SHA256_HEX);
}

// What "Vérifier" tells, with ANCHOR in the noted record's box.
std::wstring verifyTold(const std::wstring& anchor) {
  Gadget_SetText(history_detail::ANCHOR, (const Char16*)anchor.c_str());
  g_said.clear();
  history_detail::verify();
  return g_said;
}

// "Vérifier" reads the journal to its end, however many reads that takes: a journal longer than
// a read whose last line is cut is named at that line. A noted record is said to be there with
// its fingerprint, with another, or missing; one not written as "N:HEX" checks nothing.
TEST_F(Soak, HistoryCheckReadsToTheEndAndTellsTheNotedRecord) {
  const std::wstring path = historyPath();
  const std::string bytes = chainedJournal(10000);  // about 1.2 MB: two reads
  ASSERT_GT(bytes.size(), 1u << 20);
  const std::string five = fingerprintOf(bytes, 5);
  ASSERT_EQ(five.size(), SHA256_HEX);
  realMessageBox = patchImport("MessageBoxW", (void*)saidMessage, "user32.dll");
  ASSERT_NE(realMessageBox, nullptr);
  ASSERT_TRUE(putFile(path, bytes));
  History_Open();
  EXPECT_EQ(verifyTold(L""),
            L"10000 tirages v\u00E9rifi\u00E9s : toutes les empreintes concordent.");
  std::wstring upper(five.begin(), five.begin() + 12);
  for (wchar_t& c : upper) c = (wchar_t)towupper(c);
  const struct {
    std::wstring anchor, told;  // the end of what is told
  } cases[] = {
      {L" 5 : " + upper, L"n\u00B0 5 : le journal lui donne bien l'empreinte not\u00E9e."},
      {L"5:00000000", L"celle not\u00E9e : ce tirage n'est plus celui qui a \u00E9t\u00E9 "
                      L"not\u00E9."},
      {L"10001:" + std::wstring(five.begin(), five.end()),
       L"n\u00B0 10001 : ce tirage n'est pas dans le journal."},
      {L"5:0123456789\u00E9", L"Rien n'a \u00E9t\u00E9 v\u00E9rifi\u00E9."},
  };
  for (const auto& c : cases) {
    std::wstring told = verifyTold(c.anchor);
    EXPECT_TRUE(told.size() >= c.told.size() &&
                told.compare(told.size() - c.told.size(), c.told.size(), c.told) == 0)
        << told;
    bool checked = c.told.find(L"Rien") == std::wstring::npos;
    EXPECT_EQ(told.find(L"10000 tirages v\u00E9rifi\u00E9s") == 0, checked) << told;
  }
  ASSERT_TRUE(putFile(path, bytes + "10001,2026-12-09T07:12"));
  EXPECT_EQ(verifyTold(L""), L"10000 tirages lus. Ligne 10002 : coup\u00E9e, la ligne est "
                             L"incompl\u00E8te.");
  History_Close();
  DeleteFileW(path.c_str());
  EXPECT_EQ(verifyTold(L""), L"Aucun tirage enregistr\u00E9.");
  patchImport("MessageBoxW", realMessageBox, "user32.dll");
}

// ReadFile that fails from its second call on while set, as a disk that fails half-way.
typedef BOOL(WINAPI* ReadFn)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
ReadFn realRead;
int g_readsBeforeFailure = -1;  // -1: reads are not failed

BOOL WINAPI failingRead(HANDLE file, LPVOID bytes, DWORD size, LPDWORD got, LPOVERLAPPED at) {
  if (g_readsBeforeFailure < 0 || g_readsBeforeFailure-- > 0)
    return realRead(file, bytes, size, got, at);
  if (got) *got = 0;
  SetLastError(ERROR_CRC);
  return FALSE;
}

// The temporary files an export left in FOLDER.
int temporaries(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"\\tir*.tmp").c_str(), &found);
  int count = 0;
  if (find != INVALID_HANDLE_VALUE) {
    do count++;
    while (FindNextFileW(find, &found));
    FindClose(find);
  }
  return count;
}

// "Vérifier" and "Exporter…" on a journal that cannot be read (a folder in its place, a read
// that fails half-way) say so with the system's reason: never a success, never a partial
// export (the old export stays as it was, and no temporary file is left). A journal that is
// not there holds no draw, and nothing is exported.
TEST_F(Soak, HistoryCheckAndExportSayWhenTheJournalCannotBeRead) {
  const std::wstring path = historyPath(), folder = path.substr(0, path.rfind(L'\\'));
  const std::wstring target = folder + L"\\export.csv";
  const std::string journal = chainedJournal(10000);  // two reads
  realMessageBox = patchImport("MessageBoxW", (void*)saidMessage, "user32.dll");
  realRead = (ReadFn)patchImport("ReadFile", (void*)failingRead);
  ASSERT_NE(realRead, nullptr);
  const struct {
    const char* what;
    int place;  // 0: the journal, 1: a folder in its place, 2: nothing there
    int readsBeforeFailure;
    const wchar_t* told;
  } cases[] = {
      {"a folder", 1, -1, L"Le journal n'a pas pu \u00EAtre lu :\n"},
      {"a read failing half-way", 0, 1, L"Le journal n'a pas pu \u00EAtre lu :\n"},
      {"no journal", 2, -1, L"Aucun tirage enregistr\u00E9."},
  };
  for (const auto& c : cases) {
    for (bool exporting : {false, true}) {
      DeleteFileW(path.c_str());
      RemoveDirectoryW(path.c_str());
      if (c.place == 0) { ASSERT_TRUE(putFile(path, journal)); }
      if (c.place == 1) { ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)); }
      ASSERT_TRUE(putFile(target, "old export"));
      g_said.clear();
      g_readsBeforeFailure = c.readsBeforeFailure;
      if (exporting) history_detail::exportTo((const Char16*)target.c_str());
      else history_detail::verify();
      g_readsBeforeFailure = -1;
      EXPECT_EQ(g_said.substr(0, wcslen(c.told)), c.told) << c.what << " " << exporting;
      EXPECT_EQ(g_said.find(L"concordent"), std::wstring::npos) << c.what;
      if (c.place != 2) {
        EXPECT_GT(g_said.size(), wcslen(c.told) + 2) << c.what << ": no reason given";
      }
      EXPECT_EQ(fileBytes(target), "old export") << c.what;
      EXPECT_EQ(temporaries(folder), 0) << c.what;
    }
  }
  patchImport("ReadFile", (void*)realRead);
  patchImport("MessageBoxW", realMessageBox, "user32.dll");
  RemoveDirectoryW(path.c_str());
  DeleteFileW(target.c_str());
}

typedef int(WINAPI* LocaleInfoFn)(LCID, LCTYPE, LPWSTR, int);
LocaleInfoFn realLocaleInfo;
const wchar_t* g_listSeparator;

int WINAPI listSeparator(LCID locale, LCTYPE type, LPWSTR text, int size) {
  if (type != LOCALE_SLIST) return realLocaleInfo(locale, type, text, size);
  lstrcpynW(text, g_listSeparator, size);
  return lstrlenW(text) + 1;
}

// The export: UTF-8 with a byte order mark, the locale's list separator, the record's local
// date and time as a spreadsheet reads them and its exact date text last; a field holding the
// separator is quoted. Every row of the history, the open last record too, and nothing else.
TEST_F(Soak, HistoryExportIsTheRowsInTheLocalesSeparator) {
  const std::wstring path = historyPath(), folder = path.substr(0, path.rfind(L'\\'));
  const std::wstring target = folder + L"\\export.csv";
  ASSERT_TRUE(putFile(path, std::string(JOURNAL_HEADER) + "\r\n" + historyRecord(1) +
                                "\r\ngarbage\r\n" + historyRecord(2)));
  realLocaleInfo = (LocaleInfoFn)patchImport("GetLocaleInfoW", (void*)listSeparator);
  ASSERT_NE(realLocaleInfo, nullptr);
  const std::string date = "2026-12-09 07:12:03", iso = "2026-12-09T07:12:03.250+01:00";
  const struct {
    const wchar_t* separator;
    std::string date, iso;  // as the export writes them
  } cases[] = {
      {L",", date, iso},
      {L";", date, iso},
      {L":", "\"" + date + "\"", "\"" + iso + "\""},
      {L" ", "\"" + date + "\"", iso},
      {L"/-", "\"" + date + "\"", "\"" + iso + "\""},
  };
  for (const auto& c : cases) {
    const std::string s(c.separator, c.separator + wcslen(c.separator));
    std::string expected = "\xEF\xBB\xBFnumero" + s + "date";
    for (const char* name : {"boule1", "boule2", "boule3", "boule4", "boule5", "etoile1", "etoile2",
                             "empreinte", "date_iso"})
      expected += s + name;
    expected += "\r\n";
    for (int n : {1, 2}) {
      expected += std::to_string(n) + s + c.date;
      for (const char* v : {"1", "2", "3", "4", "5", "6", "7"}) expected += s + v;
      expected += s + std::string(63, '0') + std::to_string(n) + s + c.iso + "\r\n";
    }
    g_listSeparator = c.separator;
    DeleteFileW(target.c_str());
    history_detail::exportTo((const Char16*)target.c_str());
    EXPECT_EQ(fileBytes(target), expected);
  }
  patchImport("GetLocaleInfoW", (void*)realLocaleInfo);
  DeleteFileW(target.c_str());
  DeleteFileW(path.c_str());
}

// The files tried at a display scale: the smallest drawn at or above it, then the larger ones,
// then the smaller ones from the largest, and the plain file last.
// Full screen, then the monitor's resolution changes: the window covers the monitor again with
// the slots at the same pixels (design units cannot name them all at 120 dpi), and leaving gives
// back the window's place with its client its own size at the new resolution.
TEST_F(Soak, FullScreenFollowsTheResolutionAndGivesTheWindowBack) {
  HWND window = Window_Handle(0);
  auto rectOf = [window](HWND control) {
    RECT r;
    GetWindowRect(control ? control : window, &r);
    if (control) MapWindowPoints(nullptr, window, (POINT*)&r, 2);
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
  };
  std::string screen = "0,0 " + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + "x" +
                       std::to_string(GetSystemMetrics(SM_CYSCREEN));
  RECT before;
  GetWindowRect(window, &before);
  FullScreen_Enter();
  EXPECT_EQ(rectOf(nullptr), screen);
  const int kControls[] = {1, 2, 3, 4, 5, 7, 8, CAPTION};
  std::vector<std::string> slots;
  for (int k : kControls) slots.push_back(rectOf(GetDlgItem(window, k)));
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(120, 120), (LPARAM)&before);
  FullScreen_Follow(true);
  EXPECT_EQ(rectOf(nullptr), screen);
  for (int i = 0; i < 8; i++)
    EXPECT_EQ(rectOf(GetDlgItem(window, kControls[i])), slots[i]) << kControls[i];
  FullScreen_Leave();
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(rectOf(nullptr).substr(0, rectOf(nullptr).find(' ')),
            std::to_string(before.left) + "," + std::to_string(before.top));
  EXPECT_EQ(client.right * 10000 + client.bottom, 950 * 10000 + 175);
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(96, 96), (LPARAM)&before);
  Slots_Show();
  EXPECT_EQ(rectOf(GetDlgItem(window, 1)), "0,0 100x100");
}

TEST(SlotScaleOrder, BestFileFirstThePlainOneLast) {
  const std::vector<int32_t> cases[] = {{100, 100},
                                        {125, 125, 150, 200, 300, 400, 100},
                                        {150, 150, 200, 300, 400, 125, 100},
                                        {175, 200, 300, 400, 150, 125, 100},
                                        {500, 400, 300, 200, 150, 125, 100}};
  for (const std::vector<int32_t>& c : cases) {  // the scale, then the order
    int32_t order[6] = {};
    int32_t count = Slot_ScaleOrder(c[0], order);
    EXPECT_EQ(std::vector<int32_t>(order, order + count),
              std::vector<int32_t>(c.begin() + 1, c.end()));
  }
}

typedef BOOL(WINAPI* ParametersFn)(UINT, UINT, PVOID, UINT);
ParametersFn realParameters;

BOOL WINAPI highContrastOn(UINT action, UINT size, PVOID data, UINT winIni) {
  if (action != SPI_GETHIGHCONTRAST) return realParameters(action, size, data, winIni);
  ((HIGHCONTRASTW*)data)->dwFlags = HCF_HIGHCONTRASTON;
  return TRUE;
}

// At 200 % a card on a placeholder has the rim scaled with it; in high contrast the card leaves
// the placeholder out: the slot's size (200 pixels), the system's window and text colours.
TEST_F(Soak, ValueCardsFollowTheResolutionAndHighContrast) {
  const uint32_t dark = rgbOf(GetSysColor(COLOR_WINDOWTEXT)),
                 light = rgbOf(GetSysColor(COLOR_WINDOW));
  Bytes placeholder = flatPng(180, 0x2040C0);
  ASSERT_NE(Image_LoadMemory(41, placeholder.data(), (uint32_t)placeholder.size()), 0);
  for (int contrast = 0; contrast < 2; contrast++) {
    if (contrast)
      realParameters =
          (ParametersFn)patchImport("SystemParametersInfoW", (void*)highContrastOn, "user32.dll");
    ASSERT_NE(Slot_MakeValueCard(40, 41, 27, 192), 0) << contrast;
    const int side = contrast ? 200 : 180;
    ASSERT_EQ(Image_Width(40) * 1000 + Image_Height(40), side * 1001) << contrast;
    BitmapView view = viewOf(40);
    std::vector<uint32_t> pixels;
    for (int y = 0; y < side; y++)
      for (int x = 0; x < side; x++) pixels.push_back(pixelAt(view, x, y));
    EXPECT_EQ(pixels[0] & 0xFFFFFF, contrast ? light : 0x2040C0u) << contrast;
    RECT digits = boxOf(pixels, side, dark), rim = boxOf(pixels, side, light);
    EXPECT_GE(digits.bottom - digits.top, 60) << contrast;
    if (contrast) continue;
    // A rim of 2 units, 4 pixels, on each side (and a pixel of smoothing).
    EXPECT_NEAR((rim.right - rim.left) - (digits.right - digits.left), 8, 1);
    EXPECT_NEAR((rim.bottom - rim.top) - (digits.bottom - digits.top), 8, 1);
  }
  patchImport("SystemParametersInfoW", (void*)realParameters, "user32.dll");
  Image_Free(40);
  Image_Free(41);
}

// A slot's picture at 200 %: the file drawn for it as it is, else (that file damaged) the plain
// one resampled; at 150 % the plain one at one and a half times its size.
TEST_F(Soak, SlotPicturesComeAtTheResolutionFromTheBestFileThatReads) {
  const std::string dir = folder_ + "GFX\\Scaled\\";
  CreateDirectoryA(dir.c_str(), nullptr);
  ASSERT_TRUE(writeFile(dir + "3.png", flatPng(100, 0x2040C0)));
  ASSERT_TRUE(writeFile(dir + "3.scale-200.png", flatPng(200, 0xC04020)));
  const int32_t three = 3, dpis[] = {192, 192, 144}, sides[] = {200, 200, 150};
  const uint32_t colours[] = {0xC04020, 0x2040C0, 0x2040C0};
  for (int i = 0; i < 3; i++) {
    if (i == 1) writeFile(dir + "3.scale-200.png", Bytes(64, 'x'));
    EXPECT_NE(Slot_LoadPicture(40, TEXT16("GFX\\Scaled\\"), &three, dpis[i]), 0) << i;
    EXPECT_EQ(Image_Width(40) * 1000 + Image_Height(40), sides[i] * 1001) << i;
    if (!Image_Handle(40)) continue;
    EXPECT_EQ(pixelAt(viewOf(40), sides[i] / 2, sides[i] / 2) & 0xFFFFFF, colours[i]) << i;
  }
  // A top-down picture (RLE8 of negative height) is enlarged by its size, not refused.
  ASSERT_TRUE(writeFile(dir + "3.png", topDownRedOverBlack()));
  EXPECT_NE(Slot_LoadPicture(40, TEXT16("GFX\\Scaled\\"), &three, 144), 0);
  EXPECT_EQ(Image_Width(40) * 1000 + Image_Height(40), 3006);
  EXPECT_EQ(pixelAt(viewOf(40), 1, 0) & 0xFFFFFF, 0xFF0000u) << "the right way up";
  EXPECT_EQ(pixelAt(viewOf(40), 1, 5) & 0xFFFFFF, 0u);
  // The budget counts what is kept already and what is on show (16 pictures of about the same
  // size): of two pictures of 1.4 MiB at 200 %, one is kept.
  Slot_ForgetPictures();
  for (int32_t big : {4, 5}) {
    ASSERT_TRUE(writeFile(dir + std::to_string(big) + ".png", flatPng(300, 0x2040C0)));
    EXPECT_NE(Slot_LoadPicture(40, TEXT16("GFX\\Scaled\\"), &big, 192), 0);
    DeleteFileA((dir + std::to_string(big) + ".png").c_str());
  }
  EXPECT_EQ(slot_picture_detail::keptBytes(), 600 * 600 * 4);
  Slot_ForgetPictures();
  Image_Free(40);
  DeleteFileA((dir + "3.png").c_str());
  DeleteFileA((dir + "3.scale-200.png").c_str());
  RemoveDirectoryA(dir.c_str());
}

}  // namespace
