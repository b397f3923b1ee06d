// The room's view (see full_screen.h). Full screen is the main window itself without its frame,
// covering its monitor's whole rectangle; its place, size and frame are given back on leaving.
// The layout is the window's own row made larger: the seven slots 110 units apart with a wider
// gap before the stars, the pictures made at the resolution that fits that row across the
// monitor, inside a margin of 4 % of its height, with the caption's line below.
#include "app/full_screen.h"

#include "app/draw.h"
#include "app/local_time.h"
#include "app/slot_picture.h"
#include "gui/event_queue.h"
#include "gui/gadget.h"
#include "gui/scaling.h"
#include "gui/window.h"
#include "runtime/accounting.h"

namespace {

// The room's row in the pictures' own units: a slot is 100 wide, slots 110 apart, the stars
// 50 further on.
const int32_t kSlotSide = 100;
const int32_t kRowWidth = 810;
const int32_t kStarsX = 600;
const intptr_t kCursorTimer = 3;       // a timer of the main window
const UINT kCursorMs = 250;            // how often the pointer is looked at
const ULONGLONG kCursorIdleMs = 2000;  // still this long over the room, it hides

struct Saved {
  WINDOWPLACEMENT placement;
  LONG_PTR style, exStyle;
  int32_t dpi;  // the window's resolution then
};

bool g_on;
Saved g_saved;
HFONT g_font;  // the caption's
POINT g_pointer;
ULONGLONG g_pointerMovedAt;

// The full rectangle of the monitor the window is on (most of it, when it straddles two).
RECT monitorOf(HWND window) {
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
  if (!monitor || !GetMonitorInfoW(monitor, &info))
    SetRect(&info.rcMonitor, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  return info.rcMonitor;
}

// The room's slots on a WIDTH x HEIGHT screen, and the caption's line below them.
void roomLayout(int32_t width, int32_t height, SlotLayout* l, RECT* caption) {
  int32_t margin = MulDiv(height, 4, 100);
  int32_t line = MulDiv(height, 8, 100);
  int32_t across = (width - 2 * margin) * 96 / kRowWidth;
  int32_t down = (height - 2 * margin - line) * 96 / kSlotSide;
  int32_t dpi = across < down ? across : down;
  l->pictureDpi = dpi > 1 ? dpi : 1;
  int32_t side = MulDiv(kSlotSide, l->pictureDpi, 96);
  int32_t left = (width - MulDiv(kRowWidth, l->pictureDpi, 96)) / 2;
  int32_t top = (height - side - line) / 2;
  for (intptr_t number = 1; number <= 8; number++) {
    int32_t design = number <= 5 ? SLOT_SPACING * (int32_t)(number - 1)
                                 : kStarsX + SLOT_SPACING * (int32_t)(number - 7);
    l->at[number] = POINT{left + MulDiv(design, l->pictureDpi, 96), top};
  }
  SetRect(caption, margin, top + side, width - margin, top + side + line);
}

void dropFont() {
  if (!g_font) return;
  DeleteObject(g_font);
  Account_Deleted(ACCOUNT_FONT);
  g_font = nullptr;
}

// The interface's font, bold, its letters about half the line high, smaller if TEXT would not
// fit the line's width.
HFONT captionFont(const Char16* text, SIZE line) {
  LOGFONTW font = {};  // unread, the system's default face
  Gadget_MessageFont(Scaling_Of(Window_Handle(0)).x, &font);
  font.lfHeight = -(line.cy * 3 / 5);
  font.lfWidth = 0;
  font.lfWeight = FW_BOLD;
  HFONT made = CreateFontIndirectW(&font);
  HDC dc = made ? GetDC(Window_Handle(0)) : nullptr;
  SIZE size = {};
  if (dc) {
    HGDIOBJ was = SelectObject(dc, made);
    GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
    SelectObject(dc, was);
    ReleaseDC(Window_Handle(0), dc);
  }
  if (size.cx > line.cx) {
    DeleteObject(made);
    font.lfHeight = (LONG)MulDiv(font.lfHeight, line.cx, size.cx);
    made = CreateFontIndirectW(&font);
  }
  if (made) Account_Created(ACCOUNT_FONT);
  return made;
}

// "Tirage n° 12 — jeudi 10 décembre 2026 07:12:03", or just the date and time of a draw the
// journal could not keep; nothing before the first draw.
void captionText(Char16* text, int32_t capacity) {
  text[0] = 0;
  if (!g_program.drawn[1]) return;
  Char16 when[96];
  LocalTime_Text(g_program.drawnAt, DATE_LONGDATE, when, 96);
  if (g_program.record) wsprintfW(text, L"Tirage n\u00B0 %I64u \u2014 %s", g_program.record, when);
  else lstrcpynW(text, when, capacity);
}

// The caption, in a font for its line: its window text is what a screen reader reads.
void showCaption() {
  HWND control = GetDlgItem(Window_Handle(0), CAPTION);
  if (!control) return;
  Char16 text[160];
  captionText(text, 160);
  RECT r;
  GetClientRect(control, &r);
  HFONT font = captionFont(text, SIZE{r.right, r.bottom});
  Gadget_SetText(CAPTION, text);
  SendMessageW(control, WM_SETFONT, (WPARAM)font, TRUE);
  dropFont();
  g_font = font;
}

void placeCaption(const RECT& r) {
  int32_t dpi = Scaling_Of(Window_Handle(0)).x;
  HWND control = (HWND)Gadget_Text(
      CAPTION, Scaling_ToDesign(r.left, dpi), Scaling_ToDesign(r.top, dpi),
      Scaling_ToDesign(r.right - r.left, dpi), Scaling_ToDesign(r.bottom - r.top, dpi), nullptr);
  if (!control) return;
  LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE) & ~(LONG_PTR)SS_TYPEMASK;
  SetWindowLongPtrW(control, GWL_STYLE, style | SS_CENTER | SS_CENTERIMAGE);
  SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  showCaption();
}

// Covers the monitor the window is on, and lays the room out on it.
void cover(HWND window) {
  RECT m = monitorOf(window);
  SetWindowPos(window, HWND_TOP, m.left, m.top, m.right - m.left, m.bottom - m.top,
               SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
  RECT caption;
  roomLayout(m.right - m.left, m.bottom - m.top, &g_program.room, &caption);
  // Made whole, then painted once: not eight controls each painting what lies under it.
  SendMessageW(window, WM_SETREDRAW, FALSE, 0);
  placeCaption(caption);
  Slots_Arrange();
  SendMessageW(window, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

// Still for two seconds over the room, the pointer hides; moved, the window shows it again.
void pointerTick() {
  POINT p;
  if (!g_on || !GetCursorPos(&p)) return;
  ULONGLONG now = GetTickCount64();
  if (p.x != g_pointer.x || p.y != g_pointer.y) {
    g_pointer = p;
    g_pointerMovedAt = now;
    return;
  }
  HWND under = WindowFromPoint(p);
  if (now - g_pointerMovedAt >= kCursorIdleMs && under &&
      GetAncestor(under, GA_ROOT) == Window_Handle(0))
    SetCursor(nullptr);
}

void markMenu(bool on) {
  CheckMenuItem(GetSystemMenu(Window_Handle(0), FALSE), FULL_SCREEN_TOGGLE,
                MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

}  // namespace

void FullScreen_Install() {
  Window_AddShortcut(0, 0, VK_F11, FULL_SCREEN_TOGGLE);
  HMENU menu = GetSystemMenu(Window_Handle(0), FALSE);
  if (!menu) return;
  // Beside the history's item, which goes first.
  AppendMenuW(menu, MF_STRING, FULL_SCREEN_TOGGLE, L"&Plein \u00E9cran");
  Reveal_Install(menu);
  Event_Bind(EVENT_TIMER, 0, kCursorTimer, -1, pointerTick);
}

bool FullScreen_On() { return g_on; }

void FullScreen_Enter() {
  HWND window = Window_Handle(0);
  if (g_on || !window) return;
  // Chosen from the task bar's menu while minimised: full screen starts from the window shown.
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  g_saved.placement.length = sizeof g_saved.placement;
  if (!GetWindowPlacement(window, &g_saved.placement)) return;
  g_on = true;
  g_saved.dpi = Scaling_Of(window).x;
  g_saved.style = GetWindowLongPtrW(window, GWL_STYLE);
  g_saved.exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
  SetWindowLongPtrW(window, GWL_STYLE, g_saved.style & ~(LONG_PTR)(WS_CAPTION | WS_THICKFRAME));
  SetWindowLongPtrW(window, GWL_EXSTYLE,
                    g_saved.exStyle & ~(LONG_PTR)(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE |
                                                  WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
  // Any press draws: the button goes, Space and Esc come.
  ShowWindow(GetDlgItem(window, DRAW_BUTTON), SW_HIDE);
  SetFocus(window);
  Window_AddShortcut(0, 0, VK_SPACE, FULL_SCREEN_PRESS);
  Window_AddShortcut(0, 0, VK_ESCAPE, FULL_SCREEN_LEAVE);
  g_program.revealing = Reveal_Pace() > 0;
  markMenu(true);
  cover(window);
  g_pointerMovedAt = GetTickCount64();
  SetTimer(window, kCursorTimer, kCursorMs, nullptr);
}

void FullScreen_Leave() {
  HWND window = Window_Handle(0);
  if (!g_on || !window) return;
  g_on = false;
  Reveal_Stop();  // the window's own row shows the draw whole
  g_program.revealing = false;
  g_program.room = SlotLayout{};
  KillTimer(window, kCursorTimer);
  Gadget_Free(CAPTION);
  dropFont();
  Window_RemoveShortcut(0, FULL_SCREEN_PRESS);
  Window_RemoveShortcut(0, FULL_SCREEN_LEAVE);
  SetWindowLongPtrW(window, GWL_STYLE, g_saved.style);
  SetWindowLongPtrW(window, GWL_EXSTYLE, g_saved.exStyle);
  SetWindowPlacement(window, &g_saved.placement);
  SetWindowPos(window, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
  // Left on a monitor of another resolution: the place is kept, the size is the window's there.
  if (Scaling_Of(window).x != g_saved.dpi) Window_FitClient(0);
  Slots_Arrange();
  ShowWindow(GetDlgItem(window, DRAW_BUTTON), SW_SHOW);
  Gadget_SetActive(DRAW_BUTTON);
  markMenu(false);
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

void FullScreen_Follow(bool displayChanged) {
  HWND window = Window_Handle(0);
  if (!g_on || !window) return;
  RECT now, m = monitorOf(window);
  if (!displayChanged && GetWindowRect(window, &now) && EqualRect(&now, &m)) return;
  if (displayChanged) Slot_ForgetPictures();  // made for the display as it was
  cover(window);
}

void FullScreen_Drawn() {
  if (!g_on) return;
  showCaption();
  if (Reveal_Busy()) Reveal_Start();
}

bool FullScreen_Command(intptr_t command) {
  if (command == FULL_SCREEN_TOGGLE) g_on ? FullScreen_Leave() : FullScreen_Enter();
  else if (command == FULL_SCREEN_LEAVE) FullScreen_Leave();
  else return Reveal_Command(command);
  return true;
}
