// The floor (see floor_win.h). Each step names the platform calls the program makes for it;
// everything the runtime adds around them (records, registries, queued events, property
// look-ups on every message) is left out.
#include "bench/floor_win.h"

#include <bcrypt.h>
#include <commctrl.h>
#include <objbase.h>
#include <png.h>
#include <setjmp.h>
#include <shlobj.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <utility>

namespace {

typedef BOOL(WINAPI* AlphaBlendFn)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);

const wchar_t kEventClass[] = L"FloorEventClass";
const wchar_t kWindowClass[] = L"FloorWindow";
const wchar_t kIdProperty[] = L"QZ_ID";
const int kSlots = 9;  // slots 1-5 and 7-8; 0 and 6 are the placeholders' numbers
const int kSlotX[kSlots] = {0, 0, 110, 220, 330, 440, 0, 550, 660};

struct Slot {
  HWND control;
  HBITMAP picture;        // the drawn picture (the placeholders are shared, not owned)
  HBITMAP premultiplied;  // the control's own copy for AlphaBlend
};

ACCEL kKeys[4] = {{FVIRTKEY | FNOINVERT, VK_TAB, 1},
                  {FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, 2},
                  {FVIRTKEY | FNOINVERT, VK_RETURN, 3},
                  {FVIRTKEY | FNOINVERT | FCONTROL, 'C', 4}};

HINSTANCE g_instance;
HACCEL g_accelerators;
HANDLE g_heap;
HWND g_eventWindow, g_window, g_button;
HFONT g_font;
HICON g_icon;
AlphaBlendFn g_alphaBlend;
HBITMAP g_placeholder[2];  // balls, stars
Slot g_slot[kSlots];
WNDPROC g_staticProc;
WNDPROC g_buttonProc;
WNDPROC g_windowProc;
bool g_clicked;

// ---- pictures: the whole file read, libpng into a bottom-up DIB section ----

BYTE* readFile(const wchar_t* name, DWORD* size) {
  HANDLE file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  *size = GetFileSize(file, nullptr);
  BYTE* data = (BYTE*)HeapAlloc(g_heap, 0, *size ? *size : 1);
  DWORD read = 0;
  if (data && !(ReadFile(file, data, *size, &read, nullptr) && read == *size)) {
    HeapFree(g_heap, 0, data);
    data = nullptr;
  }
  CloseHandle(file);
  return data;
}

struct Reader {
  const BYTE* at;
  const BYTE* end;
};

void readBytes(png_structp png, png_bytep out, size_t length) {
  Reader* r = (Reader*)png_get_io_ptr(png);
  if ((size_t)(r->end - r->at) < length) png_error(png, "short");
  memcpy(out, r->at, length);
  r->at += length;
}

// The decoder's transformations: tRNS to alpha, palette and grey to RGB, 8 bits, BGR order.
void requestTransformations(png_structp png, png_infop info) {
  int depth = png_get_bit_depth(png, info), type = png_get_color_type(png, info);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (depth < 8) png_set_expand(png);
  if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  if (depth == 16) png_set_strip_16(png);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
}

BITMAPINFO header(LONG width, LONG height, WORD bits) {
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = height;  // bottom-up
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = bits;
  bi.bmiHeader.biCompression = BI_RGB;
  return bi;
}

HBITMAP newSection(HDC dc, LONG width, LONG height, WORD bits, void** pixels) {
  BITMAPINFO bi = header(width, height, bits);
  return CreateDIBSection(dc, &bi, DIB_RGB_COLORS, pixels, nullptr, 0);
}

// Decodes rows straight into the section; the row table points at them bottom-up.
HBITMAP decode(const BYTE* data, DWORD size) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return nullptr;
  }
  HBITMAP volatile bitmap = nullptr;
  png_bytep* volatile rows = nullptr;
  if (setjmp(png_jmpbuf(png))) {
    if (bitmap) DeleteObject(bitmap);
    HeapFree(g_heap, 0, rows);
    png_destroy_read_struct(&png, &info, nullptr);
    return nullptr;
  }
  Reader reader = {data, data + size};
  png_set_read_fn(png, &reader, readBytes);
  png_read_info(png, info);
  requestTransformations(png, info);
  LONG width = (LONG)png_get_image_width(png, info), height = (LONG)png_get_image_height(png, info);
  WORD bits = png_get_color_type(png, info) == PNG_COLOR_TYPE_RGB ? 24 : 32;
  HDC dc = CreateCompatibleDC(nullptr);
  void* pixels = nullptr;
  bitmap = newSection(dc, width, height, bits, &pixels);
  DeleteDC(dc);
  rows = (png_bytep*)HeapAlloc(g_heap, 0, sizeof(png_bytep) * (size_t)height);
  if (!bitmap || !rows) png_error(png, "no memory");
  size_t pitch = (size_t)((width * bits + 31) / 32 * 4);
  for (LONG y = 0; y < height; y++) rows[y] = (BYTE*)pixels + (size_t)(height - 1 - y) * pitch;
  png_read_image(png, rows);
  HeapFree(g_heap, 0, rows);
  png_destroy_read_struct(&png, &info, nullptr);
  return bitmap;
}

HBITMAP loadPicture(const wchar_t* name) {
  DWORD size = 0;
  BYTE* data = readFile(name, &size);
  if (!data) return nullptr;
  HBITMAP bitmap = decode(data, size);
  HeapFree(g_heap, 0, data);
  return bitmap;
}

// ---- the slot control: a subclassed STATIC that blends its premultiplied copy ----

bool hasAlpha(HBITMAP bitmap) {
  DIBSECTION section;
  return g_alphaBlend && GetObjectType(bitmap) == OBJ_BITMAP &&
         GetObjectW(bitmap, sizeof section, &section) == sizeof section &&
         section.dsBm.bmBitsPixel == 32;
}

// Colours times alpha, shifted down by 8: the program's arithmetic.
HBITMAP premultipliedCopy(HBITMAP bitmap) {
  BITMAP bm;
  GetObjectW(bitmap, sizeof bm, &bm);
  HDC dc = CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  HBITMAP copy = newSection(dc, bm.bmWidth, bm.bmHeight, 32, &bits);
  BITMAPINFO bi = header(bm.bmWidth, bm.bmHeight, 32);
  if (copy && GetDIBits(dc, bitmap, 0, (UINT)bm.bmHeight, bits, &bi, DIB_RGB_COLORS)) {
    uint32_t* p = (uint32_t*)bits;
    for (size_t i = 0, n = (size_t)bm.bmWidth * (size_t)bm.bmHeight; i < n; i++) {
      uint32_t a = p[i] >> 24;
      if (a == 255) continue;
      p[i] = a << 24 | ((p[i] >> 16 & 0xFF) * a >> 8) << 16 | ((p[i] >> 8 & 0xFF) * a >> 8) << 8 |
             ((p[i] & 0xFF) * a >> 8);
    }
  }
  DeleteDC(dc);
  return copy;
}

void blend(HDC dc, HBITMAP premultiplied) {
  BITMAP bm;
  GetObjectW(premultiplied, sizeof bm, &bm);
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ previous = SelectObject(source, premultiplied);
  BLENDFUNCTION function = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  g_alphaBlend(dc, 0, 0, bm.bmWidth, bm.bmHeight, source, 0, 0, bm.bmWidth, bm.bmHeight, function);
  SelectObject(source, previous);
  DeleteDC(source);
}

// The window's background, then the blend, in a memory bitmap copied to the screen at once.
void paintBlended(HWND control, HDC dc, HBITMAP premultiplied) {
  RECT area;
  GetClientRect(control, &area);
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP canvas = CreateCompatibleBitmap(dc, area.right, area.bottom);
  HGDIOBJ previous = SelectObject(memory, canvas);
  uintptr_t brush = (uintptr_t)GetClassLongPtrW(g_window, GCLP_HBRBACKGROUND);
  FillRect(memory, &area, GetSysColorBrush((int)brush - 1));
  blend(memory, premultiplied);
  BitBlt(dc, 0, 0, area.right, area.bottom, memory, 0, 0, SRCCOPY);
  SelectObject(memory, previous);
  DeleteObject(canvas);
  DeleteDC(memory);
}

void paint(HWND control, Slot* slot, HBITMAP shown) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(control, &ps);
  if (slot->premultiplied) {
    paintBlended(control, dc, slot->premultiplied);
  } else if (shown) {
    DrawStateW(dc, nullptr, nullptr, (LPARAM)shown, 0, 0, 0, 0, 0, DST_BITMAP);
  }
  EndPaint(control, &ps);
}

HBITMAP shownOf(int number) {
  if (g_slot[number].picture) return g_slot[number].picture;
  return g_placeholder[number >= 7];
}

LRESULT CALLBACK slotProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  intptr_t number = GetWindowLongPtrW(control, GWLP_ID);
  Slot* slot = number > 0 && number < kSlots ? &g_slot[number] : nullptr;
  if (slot && slot->control == control) {
    if (message == WM_PAINT) {
      paint(control, slot, shownOf((int)number));
      return 0;
    }
    // The text is the slot's accessible name, never drawn.
    if (message == WM_SETTEXT) return DefWindowProcW(control, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      if (slot->premultiplied) DeleteObject(slot->premultiplied);
      slot->premultiplied = nullptr;
      RemovePropW(control, kIdProperty);
      RemovePropW(control, L"QZ_DropAccept");
      SetWindowLongPtrW(control, GWLP_ID, -1);
    }
  }
  return CallWindowProcW(g_staticProc, control, message, wParam, lParam);
}

// The second procedure every gadget control gets, in front of its kind's.
LRESULT CALLBACK slotOuterProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcW(slotProcedure, control, message, wParam, lParam);
}

LRESULT CALLBACK buttonProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcW(g_buttonProc, control, message, wParam, lParam);
}

// The window (the top window: the control's parent, which carries the window number).
HWND topWindow(HWND control) {
  HWND parent = GetParent(control);
  GetPropW(control, L"QZ_WindowID");
  return parent;
}

// The window area under the control, painted now; without WS_CLIPCHILDREN that repaints the
// control over a fresh background too.
void redrawUnder(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  HWND top = topWindow(control);
  POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
  ScreenToClient(top, &corners[0]);
  ScreenToClient(top, &corners[1]);
  RECT area = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  RedrawWindow(top, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

// A new control for slot `number` showing `picture`; the old one goes once the new exists.
void showSlot(int number, HBITMAP picture) {
  BITMAP bm;
  GetObjectW(picture, sizeof bm, &bm);
  HWND control =
      CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_NOTIFY, kSlotX[number], 0,
                      bm.bmWidth, bm.bmHeight, g_window, (HMENU)(intptr_t)-1, g_instance, nullptr);
  if (!control) return;
  g_staticProc = (WNDPROC)SetWindowLongPtrW(control, GWLP_WNDPROC, (LONG_PTR)slotProcedure);
  Slot* slot = &g_slot[number];
  if (slot->control) DestroyWindow(slot->control);
  slot->control = control;
  SetWindowLongPtrW(control, GWLP_WNDPROC, (LONG_PTR)slotOuterProcedure);
  SetWindowLongPtrW(control, GWLP_ID, number);
  SetPropW(control, kIdProperty, (HANDLE)(intptr_t)number);
  SendMessageW(control, WM_SETFONT, (WPARAM)g_font, TRUE);

  if (hasAlpha(picture)) slot->premultiplied = premultipliedCopy(picture);
  redrawUnder(control);
  GetObjectW(picture, sizeof bm, &bm);
  SetWindowPos(control, nullptr, 0, 0, bm.bmWidth, bm.bmHeight, SWP_NOMOVE | SWP_NOZORDER);
  if (!slot->premultiplied) {
    InvalidateRect(control, nullptr, FALSE);
    UpdateWindow(control);
  }
}

// The slot's accessible name, announced.
void nameSlot(int number, const wchar_t* name) {
  SetWindowTextW(g_slot[number].control, name);
  NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, g_slot[number].control, OBJID_CLIENT, CHILDID_SELF);
}

void drawSlot(int number, const wchar_t* folder, const wchar_t* label, int value) {
  Slot* slot = &g_slot[number];
  // The slot's old picture is freed first, as loading an image under a used number does.
  if (slot->picture) DeleteObject(slot->picture);
  wchar_t name[40];
  swprintf(name, 40, L"GFX\\%ls\\%d.png", folder, value);
  slot->picture = loadPicture(name);
  if (!slot->picture) return;
  showSlot(number, slot->picture);
  swprintf(name, 40, L"%ls %d", label, value);
  nameSlot(number, name);
}

// ---- the journal: one record appended before the pictures, flushed once they are shown ----
//
// The platform calls of JournalFile_Append and JournalFile_Finish (app/journal_file.cpp), in
// their order, on a file of the floor's own: the folder made if missing, the attributes, the
// date, the file opened for appending, one byte locked at the top of the range, the check that
// the path still names that file (a second handle, both files' identities), its size, its
// start read (the header check) and its last block (the chain's end), the SHA-256 through
// bcrypt.dll loaded from the system folder as journal/sha256_win.cpp loads it, the line written
// in one WriteFile, the lock released; then FlushFileBuffers and CloseHandle. No record module,
// no tail search beyond the last line of the last block: the floor's journal never holds
// garbage.

const char kJournalHeader[] =
    "numero,date,boule1,boule2,boule3,boule4,boule5,etoile1,etoile2,empreinte";
const DWORD kJournalBlock = 64 * 1024;  // the program's block going back (journal/tail.h)
const int kHexLength = 64;
// FOLDERID_RoamingAppData, spelt out as the program spells it.
const GUID kRoamingAppData = {
    0x3EB685DB, 0x65F9, 0x4CF6, {0xA0, 0x3A, 0xE3, 0xEF, 0x65, 0x72, 0x9F, 0x3D}};

typedef NTSTATUS(WINAPI* OpenProviderFn)(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR, ULONG);
typedef NTSTATUS(WINAPI* CreateHashFn)(BCRYPT_ALG_HANDLE, BCRYPT_HASH_HANDLE*, PUCHAR, ULONG,
                                       PUCHAR, ULONG, ULONG);
typedef NTSTATUS(WINAPI* HashDataFn)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
typedef NTSTATUS(WINAPI* FinishHashFn)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
typedef NTSTATUS(WINAPI* DestroyHashFn)(BCRYPT_HASH_HANDLE);

struct Hasher {
  bool looked;
  BCRYPT_ALG_HANDLE algorithm;
  CreateHashFn createHash;
  HashDataFn hashData;
  FinishHashFn finishHash;
  DestroyHashFn destroyHash;
};
Hasher g_hasher;
wchar_t g_journalFolder[MAX_PATH + 32], g_journalFile[MAX_PATH + 64];
HANDLE g_journal;  // open from the append to the flush
uint64_t g_journalRecords;

// bcrypt.dll from the system folder only (System_LoadLibrary's calls), its provider opened once.
const Hasher& hasher() {
  Hasher& h = g_hasher;
  if (h.looked) return h;
  h.looked = true;
  HMODULE bcrypt = LoadLibraryExW(L"bcrypt.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!bcrypt && GetLastError() == ERROR_INVALID_PARAMETER) {
    wchar_t path[MAX_PATH];
    UINT folder = GetSystemDirectoryW(path, MAX_PATH);
    if (folder && folder + 12 < MAX_PATH) {
      wcscpy(path + folder, L"\\bcrypt.dll");
      bcrypt = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
  }
  if (!bcrypt) return h;
  OpenProviderFn open =
      (OpenProviderFn)(void*)GetProcAddress(bcrypt, "BCryptOpenAlgorithmProvider");
  h.createHash = (CreateHashFn)(void*)GetProcAddress(bcrypt, "BCryptCreateHash");
  h.hashData = (HashDataFn)(void*)GetProcAddress(bcrypt, "BCryptHashData");
  h.finishHash = (FinishHashFn)(void*)GetProcAddress(bcrypt, "BCryptFinishHash");
  h.destroyHash = (DestroyHashFn)(void*)GetProcAddress(bcrypt, "BCryptDestroyHash");
  if (!open || !h.createHash || !h.hashData || !h.finishHash || !h.destroyHash ||
      !BCRYPT_SUCCESS(open(&h.algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
    h.algorithm = nullptr;
  return h;
}

// The lowercase hexadecimal SHA-256 of SIZE bytes at DATA.
bool sha256Hex(const char* data, ULONG size, char hex[kHexLength]) {
  const Hasher& h = hasher();
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!h.algorithm || !BCRYPT_SUCCESS(h.createHash(h.algorithm, &hash, nullptr, 0, nullptr, 0, 0)))
    return false;
  UCHAR digest[32];
  bool hashed = BCRYPT_SUCCESS(h.hashData(hash, (PUCHAR)data, size, 0)) &&
                BCRYPT_SUCCESS(h.finishHash(hash, digest, sizeof digest, 0));
  h.destroyHash(hash);
  static const char kDigits[] = "0123456789abcdef";
  for (int i = 0; i < 32; i++) {
    hex[2 * i] = kDigits[digest[i] >> 4];
    hex[2 * i + 1] = kDigits[digest[i] & 15];
  }
  return hashed;
}

// %APPDATA%\Tirage Vorellis (floor)\tirages.csv, made once.
bool journalPath() {
  if (g_journalFile[0]) return true;
  PWSTR roaming = nullptr;
  bool made = SUCCEEDED(SHGetKnownFolderPath(kRoamingAppData, 0, nullptr, &roaming)) &&
              wcslen(roaming) < MAX_PATH;
  if (made) {
    swprintf(g_journalFolder, MAX_PATH + 32, L"%ls\\Tirage Vorellis (floor)", roaming);
    swprintf(g_journalFile, MAX_PATH + 64, L"%ls\\tirages.csv", g_journalFolder);
  }
  CoTaskMemFree(roaming);
  return made;
}

OVERLAPPED journalAt(uint64_t offset) {
  OVERLAPPED place = {};
  place.Offset = (DWORD)offset;
  place.OffsetHigh = (DWORD)(offset >> 32);
  return place;
}

// The last record line of the block: its number and fingerprint (0 and zeros when none).
void lastRecord(const char* bytes, size_t size, uint64_t* number, char fingerprint[kHexLength]) {
  *number = 0;
  memset(fingerprint, '0', kHexLength);
  size_t end = size;
  while (end >= 2) {
    if (bytes[end - 1] != '\n' || bytes[end - 2] != '\r') {
      end--;
      continue;
    }
    size_t start = end - 2;
    while (start > 0 && bytes[start - 1] != '\n') start--;
    size_t length = end - 2 - start;
    const char* line = bytes + start;
    if (length > kHexLength + 1 && line[0] >= '0' && line[0] <= '9' &&
        line[length - kHexLength - 1] == ',') {
      for (size_t i = 0; i < length && line[i] >= '0' && line[i] <= '9'; i++)
        *number = *number * 10 + (uint64_t)(line[i] - '0');
      memcpy(fingerprint, line + length - kHexLength, kHexLength);
      return;
    }
    end = start;
  }
}

// The local time now, as the journal writes it: 2026-12-09T07:12:03.250+01:00.
void journalDate(char date[32]) {
  SYSTEMTIME utc, local;
  GetSystemTime(&utc);
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
  FILETIME u, l;
  SystemTimeToFileTime(&utc, &u);
  SystemTimeToFileTime(&local, &l);
  int64_t ticks = (int64_t)(((uint64_t)l.dwHighDateTime << 32 | l.dwLowDateTime) -
                            ((uint64_t)u.dwHighDateTime << 32 | u.dwLowDateTime));
  int minutes = (int)(ticks / 600000000), away = minutes < 0 ? -minutes : minutes;
  snprintf(date, 32, "%04u-%02u-%02uT%02u:%02u:%02u.%03u%c%02d:%02d", local.wYear, local.wMonth,
           local.wDay, local.wHour, local.wMinute, local.wSecond, local.wMilliseconds,
           minutes < 0 ? '-' : '+', away / 60, away % 60);
}

// Whether the path still names the file FILE is open on (the program's check that no other
// program set the journal aside while this one waited for the lock).
bool stillAtPath(HANDLE file) {
  HANDLE now = CreateFileW(g_journalFile, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
  if (now == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION a, b;
  bool same = GetFileInformationByHandle(file, &a) && GetFileInformationByHandle(now, &b) &&
              a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
  CloseHandle(now);
  return same;
}

// The record of `values` written whole under the lock; the file stays open for the flush.
void journalAppend(const int values[7]) {
  if (!journalPath()) return;
  if (!CreateDirectoryW(g_journalFolder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return;
  DWORD attributes = GetFileAttributesW(g_journalFile);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return;
  char date[32];
  journalDate(date);
  GetTickCount64();  // the program's deadline for the file and the lock
  HANDLE file = CreateFileW(g_journalFile, FILE_READ_DATA | FILE_APPEND_DATA | SYNCHRONIZE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  OVERLAPPED lock = journalAt(0x7FFFFFFFFFFFFFFEull);
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &lock)) {
    CloseHandle(file);
    return;
  }
  LARGE_INTEGER size = {};
  char head[sizeof kJournalHeader + 1];  // the header and its CR LF
  uint64_t number = 0;
  char previous[kHexLength];
  memset(previous, '0', kHexLength);
  bool ok = stillAtPath(file) && GetFileSizeEx(file, &size);
  uint64_t bytes = ok ? (uint64_t)size.QuadPart : 0;
  if (ok && bytes > 0) {  // the header, then the last block
    DWORD want = bytes < sizeof head ? (DWORD)bytes : (DWORD)sizeof head, got = 0;
    OVERLAPPED place = journalAt(0);
    ok = ReadFile(file, head, want, &got, &place) && got == want && want == sizeof head &&
         memcmp(head, kJournalHeader, sizeof head - 2) == 0;
    char* block = ok ? (char*)HeapAlloc(g_heap, 0, kJournalBlock) : nullptr;
    DWORD take = bytes < kJournalBlock ? (DWORD)bytes : kJournalBlock;
    place = journalAt(bytes - take);
    ok = block && ReadFile(file, block, take, &got, &place) && got == take;
    if (ok) lastRecord(block, take, &number, previous);
    if (block) HeapFree(g_heap, 0, block);
  }
  char line[512];
  int length = 0;
  if (ok) {
    if (bytes == 0) length = snprintf(line, sizeof line, "%s\r\n", kJournalHeader);
    int start = length;
    length += snprintf(line + length, sizeof line - (size_t)length, "%llu,%s,%d,%d,%d,%d,%d,%d,%d,",
                       (unsigned long long)(number + 1), date, values[0], values[1], values[2],
                       values[3], values[4], values[5], values[6]);
    // The previous fingerprint, a line feed, the line up to its last comma (left out).
    char input[kHexLength + 1 + 200];
    int hashed = length - start - 1;
    memcpy(input, previous, kHexLength);
    input[kHexLength] = '\n';
    memcpy(input + kHexLength + 1, line + start, (size_t)hashed);
    ok = sha256Hex(input, (ULONG)(kHexLength + 1 + hashed), line + length);
    length += kHexLength;
    line[length++] = '\r';
    line[length++] = '\n';
  }
  DWORD written = 0;
  ok = ok && WriteFile(file, line, (DWORD)length, &written, nullptr) && written == (DWORD)length;
  UnlockFileEx(file, 0, 1, 0, &lock);
  if (!ok) {
    CloseHandle(file);
    return;
  }
  g_journalRecords++;
  g_journal = file;
}

// The draw is on screen: its record to the disk, the file closed.
void journalFinish() {
  if (!g_journal) return;
  FlushFileBuffers(g_journal);
  CloseHandle(g_journal);
  g_journal = nullptr;
}

// ---- the windows ----

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && (HWND)lParam == g_button && HIWORD(wParam) == BN_CLICKED) {
    g_clicked = true;
    return 0;
  }
  // Deactivated, the window hides its focus and accelerator cues, as runtime windows do.
  if (message == WM_ACTIVATE && !LOWORD(wParam))
    SendMessageW(window, WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
  if (message == WM_CLOSE) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK listProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcW(g_windowProc, window, message, wParam, lParam);
}

void registerClass(const wchar_t* name, WNDPROC procedure, HICON icon) {
  WNDCLASSW wc = {};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = procedure;
  wc.hInstance = g_instance;
  wc.hIcon = icon;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(intptr_t)(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  RegisterClassW(&wc);
}

// Everything the runtime's start sequence asks of the platform before the first window.
void startLibraries() {
  registerClass(kEventClass, DefWindowProcW, nullptr);
  g_eventWindow = CreateWindowExW(0, kEventClass, L"", WS_CAPTION, 0, 0, 1, 1, nullptr, nullptr,
                                  g_instance, nullptr);
  RegisterWindowMessageW(L"QZ_PostEventMessage");
  HDC display = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
  GetDeviceCaps(display, LOGPIXELSY);
  DeleteDC(display);
  HMODULE msimg32 = LoadLibraryW(L"msimg32.dll");
  g_alphaBlend = msimg32 ? (AlphaBlendFn)(void*)GetProcAddress(msimg32, "AlphaBlend") : nullptr;
  g_icon = LoadIconW(g_instance, MAKEINTRESOURCEW(1));
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = 500;
  g_font = SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 500, &metrics, 0)
               ? CreateFontIndirectW(&metrics.lfMessageFont)
               : (HFONT)GetStockObject(DEFAULT_GUI_FONT);
  INITCOMMONCONTROLSEX controls = {sizeof controls, 0xB48};
  InitCommonControlsEx(&controls);
  InitCommonControlsEx(&controls);
  CoInitialize(nullptr);
}

bool openWindow(bool centred) {
  registerClass(kWindowClass, windowProcedure, g_icon);
  DWORD style = WS_CAPTION | WS_SYSMENU;
  RECT r = {0, 0, 760, 140};
  AdjustWindowRectEx(&r, style, FALSE, 0);
  g_window = CreateWindowExW(0, kWindowClass, L"Tirage Vorellis", style, 0, 0, r.right - r.left,
                             r.bottom - r.top, nullptr, nullptr, g_instance, nullptr);
  if (!g_window) return false;
  SetPropW(g_window, L"QZ_WindowID", (HANDLE)1);
  if (centred) {
    RECT w;
    GetWindowRect(g_window, &w);
    int x = (GetSystemMetrics(SM_CXSCREEN) - (w.right - w.left)) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - (w.bottom - w.top)) / 2;
    SetWindowPos(g_window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ShowWindow(g_window, SW_SHOWNORMAL);
  g_accelerators = CreateAcceleratorTableW(kKeys, 2);  // Tab and Shift+Tab
  // The window becomes the gadget list: its save record and the procedure that keeps it.
  SetPropW(g_window, L"QZ_GadgetStack_4194304", (HANDLE)g_heap);
  g_windowProc = (WNDPROC)SetWindowLongPtrW(g_window, GWLP_WNDPROC, (LONG_PTR)listProcedure);
  return true;
}

bool folderListed() {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(L"GFX\\Balls\\*.png*", &found);
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  FindClose(search);
  return true;
}

}  // namespace

bool Floor_Start(HINSTANCE instance, bool centred) {
  g_instance = instance;
  g_heap = HeapCreate(0, 4096, 0);
  startLibraries();
  if (!openWindow(centred) || !folderListed()) return false;
  g_placeholder[0] = loadPicture(L"GFX\\Balls\\vide.png");
  if (g_placeholder[0])
    for (int k = 1; k <= 5; k++) {
      showSlot(k, g_placeholder[0]);
      nameSlot(k, L"Boule à tirer");
    }
  g_placeholder[1] = loadPicture(L"GFX\\Stars\\vide.png");
  if (g_placeholder[1])
    for (int k = 7; k <= 8; k++) {
      showSlot(k, g_placeholder[1]);
      nameSlot(k, L"Étoile à tirer");
    }
  g_button = CreateWindowExW(0, L"Button", L"Lancer un tirage",
                             WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP, 5, 110, 750, 25,
                             g_window, (HMENU)(intptr_t)-1, g_instance, nullptr);
  g_buttonProc = (WNDPROC)SetWindowLongPtrW(g_button, GWLP_WNDPROC, (LONG_PTR)buttonProcedure);
  SetWindowLongPtrW(g_button, GWLP_ID, 9);
  SetPropW(g_button, kIdProperty, (HANDLE)9);
  SendMessageW(g_button, WM_SETFONT, (WPARAM)g_font, TRUE);
  // The button has the focus; Enter, then Ctrl+C, join the accelerators, one table each time.
  SetFocus(g_button);
  for (int count = 3; count <= 4; count++) {
    HACCEL table = CreateAcceleratorTableW(kKeys, count);
    DestroyAcceleratorTable(g_accelerators);
    g_accelerators = table;
  }
  return g_placeholder[0] && g_placeholder[1] && g_button;
}

void Floor_DrawValues(int values[7]) {
  int balls[50], stars[12];
  for (int i = 0; i < 50; i++) balls[i] = i;
  for (int i = 0; i < 12; i++) stars[i] = i;
  for (int k = 0; k < 5; k++) std::swap(balls[k], balls[k + rand() % (50 - k)]);
  for (int k = 0; k < 2; k++) std::swap(stars[k], stars[k + rand() % (12 - k)]);
  for (int k = 0; k < 5; k++) values[k] = balls[k];
  for (int k = 0; k < 2; k++) values[5 + k] = stars[k];
}

void Floor_Draw(const int values[7]) {
  journalAppend(values);
  for (int k = 0; k < 5; k++) drawSlot(1 + k, L"Balls", L"Boule", values[k]);
  for (int k = 0; k < 2; k++) drawSlot(7 + k, L"Stars", L"Étoile", values[5 + k]);
  journalFinish();
}

const wchar_t* Floor_JournalPath() { return journalPath() ? g_journalFile : L""; }

uint64_t Floor_JournalRecords() { return g_journalRecords; }

void Floor_Settle() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

HWND Floor_Window() { return g_window; }
HWND Floor_Button() { return g_button; }

bool Floor_TakeClick() {
  bool clicked = g_clicked;
  g_clicked = false;
  return clicked;
}

void Floor_End() {
  if (g_window) DestroyWindow(g_window);
  if (g_eventWindow) DestroyWindow(g_eventWindow);
  g_window = g_eventWindow = g_button = nullptr;
  for (Slot& slot : g_slot) {
    if (slot.picture) DeleteObject(slot.picture);
    slot = Slot();
  }
  for (HBITMAP& placeholder : g_placeholder) {
    if (placeholder) DeleteObject(placeholder);
    placeholder = nullptr;
  }
  if (g_heap) HeapDestroy(g_heap);
  g_heap = nullptr;
}
