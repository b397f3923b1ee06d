// Numbered top-level windows (see window.h).
//
// A window's record is found from any of its messages through the "QZ_WindowID" property
// (number + 1, so that 0 means "not a runtime window"). The record is filled while the window
// is being created; `created` stays 0 until Window_Open is done, so that the move and size
// messages of creation, centring and first showing post no events.
#include "gui/window.h"

#include <ole2.h>

#include "gui/event_queue.h"
#include "gui/focus.h"
#include "gui/gadget.h"
#include "gui/textnum.h"
#include "runtime/accounting.h"
#include "runtime/memory.h"
#include "runtime/system_library.h"

namespace {

const Char16 kWindowIdProperty[] = TEXT16("QZ_WindowID");
const Char16 kFocusProperty[] = TEXT16("QZ_Focus");
const Char16 kDropAcceptProperty[] = TEXT16("QZ_DropAccept");
const Char16 kMdiGadgetProperty[] = TEXT16("QZ_MDI_Gadget");

// Style bits that belong to the runtime, not to CreateWindowExW: the centring, tool-frame and
// no-activate flags (WINDOW_KEEP_GADGET_LIST and WINDOW_HIDDEN are cleared before).
const uint32_t kRuntimeStyleBits = 0x02000007;
const uint32_t kStyleMinMax = WS_MINIMIZE | WS_MAXIMIZE;
// WM_GETDPISCALEDSIZE (Windows 10 1703), which the headers give only to builds for that system.
const UINT kGetDpiScaledSize = 0x02E4;

ObjectRegistry* windows;
HICON appIcon;
HCURSOR arrowCursor;

// Desktop composition probe, done once on first use.
struct CompositionProbe {
  bool loaded;
  HMODULE library;
  HRESULT(WINAPI* isCompositionEnabled)(BOOL*);
  FARPROC getWindowAttribute;
  BOOL enabled;
};
CompositionProbe composition;

void formatClassName(Char16* out, intptr_t number) {
  gui_detail::appendNumber(gui_detail::appendText(out, TEXT16("WindowClass_")), number);
}

// Walks from a window up its parents to the first one that is a runtime window; *id gets its
// property (number + 1), 0 when there is none.
HWND findRuntimeWindow(HWND window, intptr_t* id) {
  for (HWND w = window; w; w = GetParent(w))
    if ((*id = (intptr_t)GetPropW(w, kWindowIdProperty))) return w;
  return nullptr;
}

// The runtime window a message is for, looked up on first use: each property read is a round
// trip to the window server under Wine, and a window receives many messages for each one it acts
// on, so the messages left to the default processing never pay for the walk.
class Owner {
 public:
  explicit Owner(HWND window) : window_(window) {}
  HWND handle() { return lookUp()->handle_; }
  intptr_t number() { return lookUp()->number_; }
  WindowRecord* record() { return lookUp()->record_; }
  // The message is for the runtime window itself, not for one of its children.
  bool own() { return record() && record_->windowHandle == window_; }

 private:
  Owner* lookUp() {
    if (done_) return this;
    done_ = true;
    intptr_t id = 0;
    handle_ = findRuntimeWindow(window_, &id);
    number_ = handle_ ? id - 1 : -1;
    record_ = handle_ && windows ? (WindowRecord*)Registry_Get(windows, number_) : nullptr;
    return this;
  }
  HWND window_;
  bool done_ = false;
  HWND handle_ = nullptr;
  intptr_t number_ = -1;
  WindowRecord* record_ = nullptr;
};

void post(int32_t code, intptr_t object, intptr_t number, int32_t type = 0) {
  Event_Post(code, object, number, type, 0, nullptr, 0);
}

BOOL CALLBACK sendSysColorChange(HWND child, LPARAM) {
  SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
  return TRUE;
}

void postDisplayChanged(intptr_t number) {
  // One is enough however many changes came before the program looked.
  Event_Purge(EVENT_DISPLAY_CHANGED, 0, number, 0);
  post(EVENT_DISPLAY_CHANGED, 0, number);
}

typedef BOOL(WINAPI* AdjustForDpiFn)(RECT*, DWORD, BOOL, DWORD, UINT);
FARPROC g_adjustForDpi;
bool g_lookedForAdjustForDpi;

// The outer size whose client area is the window's design size at `dpi`, with the frame as
// Windows draws it at that resolution (where it can say; else the frame at the system's).
SIZE outerSizeAt(HWND window, const WindowRecord* record, int32_t dpi) {
  AdjustForDpiFn adjustForDpi = (AdjustForDpiFn)(void*)System_User32Function(
      "AdjustWindowRectExForDpi", &g_adjustForDpi, &g_lookedForAdjustForDpi);
  RECT r = {0, 0, Scaling_ToPixels(record->innerWidth, dpi),
            Scaling_ToPixels(record->innerHeight, dpi)};
  DWORD style = (DWORD)GetWindowLongPtrW(window, GWL_STYLE);
  DWORD exStyle = (DWORD)GetWindowLongPtrW(window, GWL_EXSTYLE);
  if (!adjustForDpi || !adjustForDpi(&r, style, FALSE, exStyle, (UINT)dpi))
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

// The gadgets and their font follow the resolution and the message font, and the program is
// told to redraw its pictures.
void followDisplay(HWND window, intptr_t number) {
  Gadget_Rescale(window);
  postDisplayChanged(number);
}

// The window moved to a monitor of another resolution: it takes that resolution and the
// rectangle Windows suggests. Its gadgets and their font follow; other windows stay as they are.
LRESULT onDpiChanged(HWND window, Owner& owner, WPARAM wParam, const RECT* suggested) {
  if (!owner.own()) return NOT_HANDLED;
  Scaling_SetWindow(window, Resolution{(int32_t)LOWORD(wParam), (int32_t)HIWORD(wParam)});
  if (suggested)
    SetWindowPos(window, nullptr, suggested->left, suggested->top,
                 suggested->right - suggested->left, suggested->bottom - suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  followDisplay(window, owner.number());
  return 0;
}

// The window was sized at the desktop's resolution before it existed, which is its resolution
// until it knows its monitor's; on a monitor of another one (the program started on a second
// screen) it takes that monitor's, as later moves do.
void adoptResolution(HWND window, WindowRecord* record) {
  Resolution desktop = Scaling_Desktop();
  Scaling_SetWindow(window, desktop);
  int32_t dpi = Scaling_WindowDpi(window);
  if (dpi <= 0 || (dpi == desktop.x && dpi == desktop.y)) return;
  if (!Scaling_SetWindow(window, Resolution{dpi, dpi})) return;  // scaling is off
  SIZE outer = outerSizeAt(window, record, dpi);
  SetWindowPos(window, nullptr, 0, 0, outer.cx, outer.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Settings whose change alters what the program draws: the message font and other metrics,
// high contrast, the resolution set for the session.
bool affectsDisplay(WPARAM action, LPARAM area) {
  const UINT kLogicalDpiOverride = 0x009F;
  if (action == SPI_SETNONCLIENTMETRICS || action == SPI_SETHIGHCONTRAST ||
      action == SPI_SETICONTITLELOGFONT || action == kLogicalDpiOverride)
    return true;
  const Char16* name = (const Char16*)area;
  return action == 0 && name && lstrcmpiW(name, L"WindowMetrics") == 0;
}

void postSized(intptr_t number) {
  // Only the newest size of a window is worth reporting.
  Event_Purge(EVENT_WINDOW_SIZED, 0, number, 0);
  post(EVENT_WINDOW_SIZED, 0, number);
}

LRESULT onSize(HWND window, HWND owner, WindowRecord* record, intptr_t number, WPARAM wParam) {
  if (window != owner) return 1;
  if (!record || !record->created) return NOT_HANDLED;
  switch (wParam) {
    case SIZE_RESTORED:
      if (record->minMaxState == 1) {
        post(EVENT_WINDOW_RESTORED, 0, number);
        record->minMaxState = 0;
      }
      postSized(number);
      break;
    case SIZE_MINIMIZED:
      record->minMaxState = 1;
      post(EVENT_WINDOW_MINIMIZED, 0, number);
      break;
    case SIZE_MAXIMIZED:
      record->minMaxState = 1;
      post(EVENT_WINDOW_MAXIMIZED, 0, number);
      post(EVENT_WINDOW_SIZED, 0, number);
      break;
    default: postSized(number); break;
  }
  return 0;
}

LRESULT onCommand(HWND window, intptr_t number, WPARAM wParam, LPARAM lParam) {
  HWND control = (HWND)lParam;
  if (control) {
    if (Gadget_ParentMessage(control, window, WM_COMMAND, wParam, lParam) != NOT_HANDLED) return 0;
    intptr_t id = GetWindowLongPtrW(control, GWLP_ID);
    if (id == WINDOW_MENU_CONTROL_ID) post(EVENT_MENU_ITEM, LOWORD(wParam), number);
    else post(EVENT_GADGET, id, number, HIWORD(wParam));
  } else if (HIWORD(wParam) == 0) {
    post(EVENT_MENU_ITEM, (intptr_t)wParam, number);  // a menu
  } else if (LOWORD(wParam) == TAB_NEXT_COMMAND) {    // an accelerator
    Focus_Tab(false);
  } else if (LOWORD(wParam) == TAB_PREVIOUS_COMMAND) {
    Focus_Tab(true);
  } else {
    post(EVENT_MENU_ITEM, LOWORD(wParam), number);
  }
  return 0;
}

LRESULT onMove(Owner& owner) {
  if (owner.own() && owner.record()->created)
    post(EVENT_WINDOW_MOVED, owner.number(), owner.number());
  return 0;
}

LRESULT onActivate(HWND window, Owner& owner, WPARAM wParam) {
  if (LOWORD(wParam)) {
    HWND focus = (HWND)GetPropW(window, kFocusProperty);
    // The child may have gone since the window was deactivated.
    if (focus && IsWindow(focus)) SetFocus(focus);
    post(EVENT_WINDOW_ACTIVATED, 0, owner.number());
  } else {
    SetPropW(window, kFocusProperty, (HANDLE)GetFocus());
    Focus_Cues(window, false);
    post(EVENT_WINDOW_DEACTIVATED, 0, owner.number());
  }
  return 1;
}

LRESULT onClose(Owner& owner) {
  // Closing is the program's decision: the window stays.
  if (owner.own()) post(EVENT_CLOSE_WINDOW, owner.number(), owner.number());
  return 0;
}

LRESULT onSysColorChange(HWND window, Owner& owner) {
  if (owner.record()) EnumChildWindows(window, sendSysColorChange, 0);
  if (owner.own()) postDisplayChanged(owner.number());
  return NOT_HANDLED;
}

// The message font may have changed: the window's gadgets take it again. Every top-level window
// gets the message itself.
LRESULT onSettingChange(HWND window, Owner& owner, UINT message, WPARAM wParam, LPARAM lParam) {
  if (owner.own() && (message == WM_THEMECHANGED || affectsDisplay(wParam, lParam)))
    followDisplay(window, owner.number());
  return NOT_HANDLED;
}

// The client stays exactly the design size at the new resolution, not the old client scaled
// with its rounding.
LRESULT onGetDpiScaledSize(HWND window, Owner& owner, WPARAM dpi, LPARAM size) {
  if (!owner.own() || !size) return NOT_HANDLED;
  *(SIZE*)size = outerSizeAt(window, owner.record(), (int32_t)dpi);
  return TRUE;
}

LRESULT onGetMinMaxInfo(HWND window, Owner& owner, LPARAM info) {
  if (!owner.record()) return NOT_HANDLED;
  if (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)
    ((MINMAXINFO*)info)->ptMinTrackSize.x = 1;
  return 0;
}

LRESULT onNotify(HWND window, WPARAM wParam, LPARAM lParam) {
  const NMHDR* header = (const NMHDR*)lParam;
  if (!header) return NOT_HANDLED;
  return Gadget_ParentMessage(header->hwndFrom, window, WM_NOTIFY, wParam, lParam);
}

// An item the program added to the system menu (below the system's own commands, 0xF000 and
// up) reaches it as a menu item.
LRESULT onSysCommand(Owner& owner, WPARAM command) {
  if (!owner.own() || (command & 0xFFF0) >= 0xF000) return NOT_HANDLED;
  post(EVENT_MENU_ITEM, (intptr_t)(command & 0xFFF0), owner.number());
  return 0;
}

LRESULT onTimer(Owner& owner, WPARAM timer) {
  if (!owner.record()) return NOT_HANDLED;
  post(EVENT_TIMER, (intptr_t)timer, owner.number());
  return 0;
}

// Scrolling, colour requests and the gadget message go to the gadget that sent them.
LRESULT toGadget(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!lParam) return NOT_HANDLED;
  return Gadget_ParentMessage((HWND)lParam, window, message, wParam, lParam);
}

LRESULT onTray(HWND window, Owner& owner, WPARAM icon, LPARAM mouse) {
  int32_t type = -1;
  switch (mouse) {
    case WM_LBUTTONDOWN: type = 0; break;
    case WM_RBUTTONDOWN: type = 1; break;
    case WM_LBUTTONDBLCLK: type = 2; break;
    case WM_RBUTTONDBLCLK: type = 3; break;
  }
  if (type >= 0) {
    post(EVENT_TRAY_ICON, (intptr_t)icon, owner.number(), type);
    // Wakes a pump that is waiting, so the event is handed out at once.
    PostMessageW(window, WM_NULL, 0, 0);
  }
  return 0;
}

void freeAccelerators(WindowRecord* record) {
  if (!record->accelEntries) return;
  HeapFree(g_programHeap, 0, record->accelEntries);
  if (record->accelTable) DestroyAcceleratorTable(record->accelTable);
  record->accelEntries = nullptr;
  record->accelTable = nullptr;
}

// The window's last message: its properties, record, class and events go.
LRESULT onNcDestroy(HWND window) {
  intptr_t id = (intptr_t)GetPropW(window, kWindowIdProperty);
  if (!id) return 1;
  intptr_t own = id - 1;
  Event_UnbindWindow(own);
  RemovePropW(window, kFocusProperty);
  RemovePropW(window, kWindowIdProperty);
  Scaling_ForgetWindow(window);
  if (RemovePropW(window, kDropAcceptProperty)) RevokeDragDrop(window);
  WindowRecord* mine = windows ? (WindowRecord*)Registry_Get(windows, own) : nullptr;
  if (mine && mine->windowHandle == window) {
    freeAccelerators(mine);
    Char16 className[40];
    formatClassName(className, own);
    // Fails while the platform still counts this window; Window_Free tries again.
    UnregisterClassW(className, g_instance);
    Registry_Release(windows, own);
  }
  Event_PurgeWindow(own);
  Account_Deleted(ACCOUNT_WINDOW);
  return 1;
}

// What the window makes of a message; NOT_HANDLED leaves it to the default processing.
LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Owner owner(window);
  switch (message) {
    case WM_MOVE: return onMove(owner);
    case WM_SIZE: return onSize(window, owner.handle(), owner.record(), owner.number(), wParam);
    case WM_ACTIVATE: return onActivate(window, owner, wParam);
    case WM_CLOSE: return onClose(owner);
    case WM_ERASEBKGND: post(EVENT_REPAINT, 0, owner.number()); return NOT_HANDLED;
    case WM_SYSCOLORCHANGE: return onSysColorChange(window, owner);
    case WM_SETTINGCHANGE:
    case WM_THEMECHANGED: return onSettingChange(window, owner, message, wParam, lParam);
    case WM_DPICHANGED: return onDpiChanged(window, owner, wParam, (const RECT*)lParam);
    case WM_DISPLAYCHANGE:  // the screen's size: a window laid out on it is due again
      if (owner.own()) postDisplayChanged(owner.number());
      return NOT_HANDLED;
    case kGetDpiScaledSize: return onGetDpiScaledSize(window, owner, wParam, lParam);
    case WM_GETMINMAXINFO: return onGetMinMaxInfo(window, owner, lParam);
    case WM_NOTIFY: return onNotify(window, wParam, lParam);
    case WM_COMMAND: return onCommand(window, owner.number(), wParam, lParam);
    case WM_TIMER: return onTimer(owner, wParam);
    case WM_SYSCOMMAND: return onSysCommand(owner, wParam);
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WINDOW_GADGET_MESSAGE: return toGadget(window, message, wParam, lParam);
    case WM_LBUTTONUP: post(EVENT_LEFT_CLICK, 0, owner.number()); return 0;
    case WM_LBUTTONDBLCLK: post(EVENT_LEFT_DOUBLE_CLICK, 0, owner.number()); return 0;
    case WM_RBUTTONUP: post(EVENT_RIGHT_CLICK, 0, owner.number()); return 0;
    case WINDOW_TRAY_MESSAGE: return onTray(window, owner, wParam, lParam);
    case WM_NCDESTROY: return onNcDestroy(window);
  }
  return NOT_HANDLED;
}

// Fills the two accelerator entries and makes the table. Without memory the window simply has
// no Tab navigation.
void makeAccelerators(WindowRecord* record) {
  record->accelCount = 2;
  ACCEL* entries = (ACCEL*)HeapAlloc(g_programHeap, HEAP_ZERO_MEMORY, 2 * sizeof(ACCEL));
  if (!entries) return;
  entries[0].fVirt = FVIRTKEY | FNOINVERT;
  entries[0].key = VK_TAB;
  entries[0].cmd = TAB_NEXT_COMMAND;
  entries[1].fVirt = FVIRTKEY | FNOINVERT | FSHIFT;
  entries[1].key = VK_TAB;
  entries[1].cmd = TAB_PREVIOUS_COMMAND;
  HACCEL table = CreateAcceleratorTableW(entries, 2);
  if (!table) {
    HeapFree(g_programHeap, 0, entries);
    return;
  }
  record->accelEntries = entries;
  record->accelTable = table;
}

}  // namespace

int Window_AddShortcut(intptr_t number, uint8_t modifiers, uint16_t key, uint16_t command) {
  WindowRecord* record = window_detail::record(number);
  if (!record || !record->windowHandle || !record->accelEntries) return 0;
  int32_t count = record->accelCount + 1;
  ACCEL* entries =
      (ACCEL*)HeapReAlloc(g_programHeap, 0, record->accelEntries, count * sizeof(ACCEL));
  if (!entries) return 0;
  record->accelEntries = entries;
  entries[count - 1].fVirt = (BYTE)(FVIRTKEY | FNOINVERT | modifiers);
  entries[count - 1].key = key;
  entries[count - 1].cmd = command;
  HACCEL table = CreateAcceleratorTableW(entries, count);
  if (!table) return 0;  // the old table stays in force
  if (record->accelTable) DestroyAcceleratorTable(record->accelTable);
  record->accelTable = table;
  record->accelCount = count;
  return 1;
}

void Window_FitClient(intptr_t number) {
  WindowRecord* record = window_detail::record(number);
  if (!record || !record->windowHandle) return;
  HWND window = record->windowHandle;
  int32_t dpi = Scaling_Of(window).x;
  // The frame as it is drawn now, whatever resolution the system draws frames at.
  RECT outer, client;
  if (!GetWindowRect(window, &outer) || !GetClientRect(window, &client)) return;
  int32_t width =
      outer.right - outer.left - client.right + Scaling_ToPixels(record->innerWidth, dpi);
  int32_t height =
      outer.bottom - outer.top - client.bottom + Scaling_ToPixels(record->innerHeight, dpi);
  SetWindowPos(window, nullptr, 0, 0, width, height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

int Window_RemoveShortcut(intptr_t number, uint16_t command) {
  WindowRecord* record = window_detail::record(number);
  if (!record || !record->windowHandle || !record->accelEntries) return 0;
  int32_t count = 0;
  for (int32_t i = 0; i < record->accelCount; i++)
    if (record->accelEntries[i].cmd != command)
      record->accelEntries[count++] = record->accelEntries[i];
  if (count == record->accelCount) return 1;
  record->accelCount = count;
  // Tab and Shift+Tab always remain: the table is never empty. Without a new one the old stays
  // in force until the next key added makes it.
  HACCEL table = CreateAcceleratorTableW(record->accelEntries, count);
  if (!table) return 0;
  if (record->accelTable) DestroyAcceleratorTable(record->accelTable);
  record->accelTable = table;
  return 1;
}

int Window_AddMenuItem(intptr_t number, uint16_t command, const Char16* text) {
  WindowRecord* record = window_detail::record(number);
  HMENU menu =
      record && record->windowHandle ? GetSystemMenu(record->windowHandle, FALSE) : nullptr;
  if (!menu || (command & 0xF) || command >= 0xF000) return 0;
  return AppendMenuW(menu, MF_SEPARATOR, 0, nullptr) && AppendMenuW(menu, MF_STRING, command, text);
}

namespace {

int showCommand(uint32_t style, bool noActivate) {
  if (style & WS_MAXIMIZE) return noActivate ? SW_SHOWNA : SW_SHOWMAXIMIZED;
  if (style & WS_MINIMIZE) return noActivate ? SW_SHOWMINNOACTIVE : SW_SHOWMINIMIZED;
  return noActivate ? SW_SHOWNOACTIVATE : SW_SHOWNORMAL;
}

}  // namespace

int32_t window_detail::frameOffset() {
  if (!composition.loaded) {
    composition.loaded = true;
    composition.library = System_LoadLibrary(TEXT16("dwmapi.dll"));  // stays loaded
    if (composition.library) {
      composition.isCompositionEnabled = (HRESULT(WINAPI*)(BOOL*))(void*)GetProcAddress(
          composition.library, "DwmIsCompositionEnabled");
      composition.getWindowAttribute = GetProcAddress(composition.library, "DwmGetWindowAttribute");
      BOOL enabled = FALSE;
      if (composition.isCompositionEnabled && SUCCEEDED(composition.isCompositionEnabled(&enabled)))
        composition.enabled = enabled;
    }
  }
  return composition.enabled ? 5 : 0;
}

ObjectRegistry* window_detail::registry() { return windows; }

WindowRecord* window_detail::record(intptr_t number) {
  return windows ? (WindowRecord*)Registry_Get(windows, number) : nullptr;
}

intptr_t window_detail::numberOf(HWND window) {
  intptr_t id = window ? (intptr_t)GetPropW(window, kWindowIdProperty) : 0;
  return id ? id - 1 : -1;
}

HWND Window_Handle(intptr_t number) {
  WindowRecord* record = window_detail::record(number);
  return record ? record->windowHandle : nullptr;
}

HACCEL Window_Accelerators(HWND active) {
  if (Focus_KeepsKeys(active)) return nullptr;
  if (!active || !GetPropW(active, kWindowIdProperty)) return nullptr;
  DWORD process = 0;
  if (!GetWindowThreadProcessId(active, &process) || process != GetCurrentProcessId())
    return nullptr;
  WindowRecord* record = window_detail::record(window_detail::numberOf(active));
  return record ? record->accelTable : nullptr;
}

intptr_t Window_Open(intptr_t number, int32_t x, int32_t y, int32_t innerWidth, int32_t innerHeight,
                     const Char16* title, uint32_t flags) {
  return Window_OpenWithParent(number, x, y, innerWidth, innerHeight, title, flags, nullptr);
}

intptr_t Window_OpenWithParent(intptr_t number, int32_t x, int32_t y, int32_t innerWidth,
                               int32_t innerHeight, const Char16* title, uint32_t flags,
                               HWND parent) {
  if (!windows) return 0;
  // A window already under this number is destroyed here, before anything new is made.
  WindowRecord* record = (WindowRecord*)Registry_Allocate(windows, number);
  if (!record) return 0;
  bool dynamic = number == OBJECT_DYNAMIC;
  if (dynamic) number = (intptr_t)record;

  Char16 className[40];
  formatClassName(className, number);
  if (!title) title = TEXT16("");

  WNDCLASSW wc = {};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = Window_Procedure;
  wc.hInstance = g_instance;
  wc.hIcon = appIcon;
  wc.hCursor = arrowCursor;
  wc.hbrBackground = (HBRUSH)(intptr_t)(COLOR_BTNFACE + 1);
  wc.lpszClassName = className;
  RegisterClassW(&wc);  // may exist already; CreateWindowExW tells

  uint32_t style = flags;
  bool makeCurrent = (style & WINDOW_KEEP_GADGET_LIST) == 0;
  style &= ~WINDOW_KEEP_GADGET_LIST;
  if ((style & 0xEFFFFFFC) == 0) style |= WS_CAPTION;  // only centring or hidden was asked for
  bool show = true;
  if (style & WINDOW_HIDDEN) {
    style &= ~WINDOW_HIDDEN;
    show = false;
  }
  bool noActivate = (style & WINDOW_SHOW_NO_ACTIVATE) != 0;
  uint32_t exStyle = 0;
  if (style & WINDOW_TOOL_FRAME) {
    style = (style & 0xDEFCFFFF) | WS_CAPTION;
    exStyle = WS_EX_TOOLWINDOW;
  }

  // The outer size that gives exactly the asked client area with this frame. A window that does
  // not exist yet has no monitor: it is sized at the desktop's resolution, then adopts its own.
  Resolution desktop = Scaling_Desktop();
  RECT rect = {0, 0, Scaling_ToPixels(innerWidth, desktop.x),
               Scaling_ToPixels(innerHeight, desktop.y)};
  AdjustWindowRectEx(&rect, style & ~7u, FALSE, exStyle);
  int32_t outerWidth = rect.right - rect.left;
  int32_t outerHeight = rect.bottom - rect.top;

  bool centring = (flags & (WINDOW_SCREEN_CENTERED | WINDOW_OWNER_CENTERED)) != 0;
  if (x == WINDOW_DEFAULT_POSITION || (y == WINDOW_DEFAULT_POSITION && !centring)) {
    x = CW_USEDEFAULT;
    y = CW_USEDEFAULT;
  } else {
    if ((style & (WS_CAPTION | WS_THICKFRAME)) == (WS_CAPTION | WS_THICKFRAME))
      x -= Scaling_ToDesign(window_detail::frameOffset(), desktop.x);
    x = Scaling_ToPixels(x, desktop.x);
    y = Scaling_ToPixels(y, desktop.y);
  }

  HWND window = CreateWindowExW(exStyle, className, title, style & ~kRuntimeStyleBits, x, y,
                                outerWidth, outerHeight, parent, nullptr, g_instance, nullptr);
  if (!window) {
    UnregisterClassW(className, g_instance);
    Registry_Release(windows, number);
    return 0;
  }
  Account_Created(ACCOUNT_WINDOW);
  record->windowHandle = window;
  record->created = 0;
  SetPropW(window, kWindowIdProperty, (HANDLE)(number + 1));
  if (flags & (WINDOW_SCREEN_CENTERED | WINDOW_OWNER_CENTERED))
    Window_Center(window, flags, parent);

  if (show) ShowWindow(window, showCommand(style, noActivate));
  // Showing runs the window's procedure; should something have destroyed the window meanwhile,
  // its record is gone and must not be written.
  if ((WindowRecord*)Registry_Get(windows, number) != record || record->windowHandle != window)
    return 0;

  record->minMaxState = (style & kStyleMinMax) ? 1 : 0;
  record->innerWidth = innerWidth;
  record->innerHeight = innerHeight;
  adoptResolution(window, record);
  makeAccelerators(record);
  if (makeCurrent) GadgetList_Use(window);
  record->created = 1;
  return dynamic ? number : (intptr_t)window;
}

void Window_Center(HWND window, uint32_t flags, HWND parent) {
  bool screen = (flags & WINDOW_SCREEN_CENTERED) != 0;
  if (!screen && !(flags & WINDOW_OWNER_CENTERED)) return;
  if (!screen && !parent) return;
  RECT r;
  if (!GetWindowRect(window, &r)) return;
  int32_t ow = r.right - r.left, oh = r.bottom - r.top;
  int32_t x, y;
  if (screen) {
    int32_t sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    // The whole screen, not the work area; a window larger than the screen goes to 0.
    x = (sw - (sw < ow ? sw : ow)) / 2;
    y = (sh - (sh < oh ? sh : oh)) / 2;
  } else {
    RECT p;
    if (!GetWindowRect(parent, &p)) return;
    x = p.left + ((p.right - p.left) - ow) / 2;
    y = p.top + ((p.bottom - p.top) - oh) / 2;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
  }
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window_Free(intptr_t number) {
  if (!windows) return;
  if (number == OBJECT_ALL) {
    Registry_FreeAll(windows);
    return;
  }
  WindowRecord* record = (WindowRecord*)Registry_Get(windows, number);
  if (!record) return;
  HWND window = record->windowHandle;
  Event_UnbindWindow(number);
  // Activation goes back to the owner, not to some other program's window.
  HWND owner = GetWindow(window, GW_OWNER);
  if (owner) SetActiveWindow(owner);
  DestroyWindow(window);
  // WM_NCDESTROY has released the record. If the window could not be destroyed (it belongs to
  // another thread, say), release it here all the same, so that a free-all walk moves on.
  record = (WindowRecord*)Registry_Get(windows, number);
  if (record && record->windowHandle == window) {
    freeAccelerators(record);
    RemovePropW(window, kWindowIdProperty);
    Registry_Release(windows, number);
  }
  // Once the window is gone the platform lets its class go too.
  Char16 className[40];
  formatClassName(className, number);
  UnregisterClassW(className, g_instance);
  Event_PurgeWindow(number);
}

LRESULT CALLBACK Window_Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = handleMessage(window, message, wParam, lParam);
  HWND mdiClient = (HWND)GetPropW(window, kMdiGadgetProperty);
  if (mdiClient && message != WM_SIZE) {
    if (result == NOT_HANDLED) return DefFrameProcW(window, mdiClient, message, wParam, lParam);
    if (message == WM_SETFOCUS || message == WM_MENUCHAR || (message == WM_COMMAND && !lParam))
      DefFrameProcW(window, mdiClient, message, wParam, lParam);
    return result;
  }
  SetLastError(0);
  if (result == NOT_HANDLED) return DefWindowProcW(window, message, wParam, lParam);
  return result;
}

void WindowLib_Start() {
  // The registry lives in the private heap, so every start makes a fresh one.
  windows = Registry_Create((int32_t)sizeof(WindowRecord), 16, Window_Free);
  appIcon = LoadIconW(g_instance, MAKEINTRESOURCEW(1));
  arrowCursor = LoadCursorW(nullptr, IDC_ARROW);
}

void WindowLib_End() {
  if (windows) Registry_FreeAll(windows);
  windows = nullptr;
  if (appIcon) DestroyIcon(appIcon);
  appIcon = nullptr;
}
