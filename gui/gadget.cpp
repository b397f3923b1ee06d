// Gadget framework: the gadget registry, the procedure every gadget control runs first, the
// ties between a control and its number, the current gadget list with its per-window save
// record, the default gadget font, and the library's start and end.
//
// Replacement order matters: a kind makes its new control (identifier -1) before it asks the
// registry for the record, so a failed creation leaves an existing gadget of that number alone;
// when the number is in use the registry frees the old gadget, whose WM_NCDESTROY handling here
// purges its events and zero-fills the record that the new control then takes over.
#include "gui/gadget.h"

#include <commctrl.h>
#include <objbase.h>

#include "gui/event_queue.h"
#include "gui/scaling.h"
#include "runtime/accounting.h"
#include "runtime/memory.h"
#include "runtime/system_library.h"

namespace {

const Char16 kIdProperty[] = L"QZ_ID";
const Char16 kDropProperty[] = L"QZ_DropAccept";
const Char16 kWindowIdProperty[] = L"QZ_WindowID";
const int32_t kStackEntries = 10;
const DWORD kControlClasses = 0xB48;  // tab, hot key, date, extended combo box, IP address

struct GadgetState {
  HWND currentList;
  HWND* stack;
  int32_t depth;
  int32_t stackCapacity;
};

// One per window that has been a gadget list, kept as the window's "QZ_GadgetStack_%i" property.
struct GadgetListSave {
  HWND owner;
  HWND currentList;
  HWND* stack;
  int32_t depth;
  int32_t stackCapacity;
  WNDPROC previousProc;
  HFONT font;  // the window's gadget font, at its resolution; null: none could be made
};

ObjectRegistry* g_gadgets;
void* g_stateBlock;
CRITICAL_SECTION g_lock;
bool g_lockReady;

GadgetState* state() { return g_stateBlock ? (GadgetState*)LibState_Get(g_stateBlock) : nullptr; }

// The record under a gadget number, or null before the library starts or when there is none.
GadgetRecord* numbered(intptr_t number) {
  return g_gadgets ? (GadgetRecord*)Registry_Get(g_gadgets, number) : nullptr;
}

void* heapAllocZero(size_t bytes) { return HeapAlloc(g_programHeap, HEAP_ZERO_MEMORY, bytes); }

void heapFree(void* block) {
  if (block) HeapFree(g_programHeap, 0, block);
}

// A window's gadget font: the message font at its resolution.
HFONT messageFont(int32_t dpi) {
  LOGFONTW message;
  HFONT font = Gadget_MessageFont(dpi, &message) ? CreateFontIndirectW(&message) : nullptr;
  if (font) Account_Created(ACCOUNT_FONT);
  return font;
}

void deleteFont(HFONT font) {
  if (!font) return;
  DeleteObject(font);
  Account_Deleted(ACCOUNT_FONT);
}

void stateInit(void* block) {
  GadgetState* s = (GadgetState*)block;
  s->stack = (HWND*)heapAllocZero(sizeof(HWND) * kStackEntries);
  s->stackCapacity = s->stack ? kStackEntries : 0;
}

void stateDestroy(void* block) {
  GadgetState* s = (GadgetState*)block;
  heapFree(s->stack);
  s->stack = nullptr;
}

// The property name carries the module instance, so that two runtimes in one process (a program
// and a library built on the same runtime) keep separate save records.
void saveName(Char16* buffer) {
  wsprintfW(buffer, L"QZ_GadgetStack_%i", (int)(intptr_t)g_instance);
}

// The last window whose save record was read. GadgetList_Procedure runs for every message of
// its window, and each property read is a round trip to the window server under Wine; the
// record stays the same from GadgetList_Use until WM_NCDESTROY, which forgets it here.
HWND g_savedWindow;
GadgetListSave* g_savedRecord;

void forgetSave() {
  g_savedWindow = nullptr;
  g_savedRecord = nullptr;
}

GadgetListSave* saveOf(HWND window) {
  if (window && window == g_savedWindow) return g_savedRecord;
  Char16 name[40];
  saveName(name);
  GadgetListSave* save = (GadgetListSave*)GetPropW(window, name);
  if (save) {
    g_savedWindow = window;
    g_savedRecord = save;
  }
  return save;
}

HWND currentOf(const GadgetState* s) {
  return s->depth == 0 ? s->currentList : (s->stack ? s->stack[0] : nullptr);
}

intptr_t controlId(HWND control) { return (intptr_t)GetWindowLongPtrW(control, GWLP_ID); }

}  // namespace

namespace gadget_detail {

ObjectRegistry* registry() { return g_gadgets; }

HFONT fontOf(HWND control) {
  GadgetListSave* save = saveOf(Gadget_TopWindow(control));
  return save && save->font ? save->font : (HFONT)GetStockObject(DEFAULT_GUI_FONT);
}

GadgetRecord* recordOf(HWND control) {
  intptr_t id = control && g_gadgets ? controlId(control) : -1;
  if (id == -1) return nullptr;
  // Only Gadget_Register puts a control in a record, and it gives the control its identifier
  // and property in the same step; WM_NCDESTROY takes all three back.
  GadgetRecord* record = numbered(id);
  return record && record->controlHandle == control ? record : nullptr;
}

intptr_t create(intptr_t number, GadgetKind* kind, GadgetControl* control, int32_t x, int32_t y,
                int32_t width, int32_t height) {
  // The registry refuses numbers below -1; find that out before a control is made.
  if (!g_gadgets || number < OBJECT_DYNAMIC) return 0;
  const int32_t design[4] = {x, y, width, height};
  Scale_Rect(&x, &y, &width, &height);
  HWND made = CreateWindowExW(control->exStyle, control->className, control->text, control->style,
                              x, y, width, height, GadgetList_Use(nullptr), (HMENU)(intptr_t)-1,
                              g_instance, nullptr);
  if (!made) return 0;
  Account_Created(ACCOUNT_CONTROL);
  if (control->procedure)
    *control->previous =
        (WNDPROC)SetWindowLongPtrW(made, GWLP_WNDPROC, (LONG_PTR)control->procedure);
  // An existing gadget with this number is destroyed here, now that its successor exists.
  GadgetRecord* record = (GadgetRecord*)Registry_Allocate(g_gadgets, number);
  if (!record) {
    DestroyWindow(made);
    Account_Deleted(ACCOUNT_CONTROL);
    return 0;
  }
  intptr_t result = Gadget_Register(number, record, made, kind);
  record->designX = design[0];
  record->designY = design[1];
  record->designWidth = design[2];
  record->designHeight = design[3];
  control->made = made;
  return result;
}

}  // namespace gadget_detail

intptr_t Gadget_Register(intptr_t number, GadgetRecord* record, HWND control, GadgetKind* kind) {
  if (!record || !control) return 0;
  bool dynamic = number == OBJECT_DYNAMIC;
  if (dynamic) number = (intptr_t)record;
  record->controlHandle = control;
  record->kind = kind;
  record->previousProc =
      (WNDPROC)SetWindowLongPtrW(control, GWLP_WNDPROC, (LONG_PTR)Gadget_Procedure);
  SetWindowLongPtrW(control, GWLP_ID, (LONG_PTR)number);
  SetPropW(control, kIdProperty, (HANDLE)number);
  SendMessageW(control, WM_SETFONT, (WPARAM)gadget_detail::fontOf(control), TRUE);
  return dynamic ? number : (intptr_t)control;
}

void Gadget_Free(intptr_t number) {
  if (!g_gadgets) return;
  if (number == OBJECT_ALL) {
    Registry_FreeAll(g_gadgets);
    return;
  }
  GadgetRecord* record = (GadgetRecord*)Registry_Get(g_gadgets, number);
  // The rest happens at the control's WM_NCDESTROY, in Gadget_Procedure.
  if (record) DestroyWindow(record->controlHandle);
}

LRESULT CALLBACK Gadget_Procedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  intptr_t id = controlId(control);
  if (id == -1) return DefWindowProcW(control, message, wParam, lParam);
  GadgetRecord* record = numbered(id);
  // A record that belongs to another control (the number was taken over) is not ours to use.
  if (!record || record->controlHandle != control || !record->previousProc)
    return DefWindowProcW(control, message, wParam, lParam);

  LRESULT result = CallWindowProcW(record->previousProc, control, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    if (record->kind && record->kind->FreeGadget) record->kind->FreeGadget(record);
    RemovePropW(control, kIdProperty);
    if (RemovePropW(control, kDropProperty)) RevokeDragDrop(control);
    SetWindowLongPtrW(control, GWLP_ID, (LONG_PTR)-1);
    Event_Purge(EVENT_GADGET, id, -1, -1);
    Registry_Release(g_gadgets, id);
    Account_Deleted(ACCOUNT_CONTROL);
  }
  return result;
}

GadgetRecord* Gadget_FromControl(HWND control) {
  if (!control || !g_gadgets) return nullptr;
  intptr_t id = controlId(control);
  if (id == -1 || (intptr_t)GetPropW(control, kIdProperty) != id) return nullptr;
  GadgetRecord* record = (GadgetRecord*)Registry_Get(g_gadgets, id);
  // GetPropW answers 0 for a missing property, so a foreign control with identifier 0 would
  // otherwise pass for gadget 0.
  if (!record || record->controlHandle != control) return nullptr;
  return record;
}

HWND Gadget_TopWindow(HWND control) {
  HWND w = control;
  for (;;) {
    HWND parent = GetParent(w);
    if (!parent || GetPropW(w, kWindowIdProperty)) return w;
    w = parent;
  }
}

void Gadget_PostEvent(HWND control, int32_t type) {
  intptr_t id = controlId(control);
  if (id == -1) return;
  intptr_t windowNumber = (intptr_t)GetPropW(Gadget_TopWindow(control), kWindowIdProperty) - 1;
  Event_Post(EVENT_GADGET, id, windowNumber, type, 0, nullptr, 0);
}

LRESULT Gadget_ParentMessage(HWND control, HWND parent, UINT message, WPARAM wParam,
                             LPARAM lParam) {
  if (!control) return NOT_HANDLED;
  GadgetRecord* record = Gadget_FromControl(control);
  if (record && record->kind && record->kind->ParentMessage)
    return record->kind->ParentMessage(record, parent, message, wParam, lParam);
  return NOT_HANDLED;
}

void Gadget_SetActive(intptr_t number) {
  GadgetRecord* record = numbered(number);
  if (record) SetFocus(record->controlHandle);
}

void Gadget_SetText(intptr_t number, const Char16* text) {
  GadgetRecord* record = numbered(number);
  if (!record) return;
  SetWindowTextW(record->controlHandle, text ? text : L"");
  // The text is the control's accessible name: tell an assistive technology that listens.
  NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, record->controlHandle, OBJID_CLIENT, CHILDID_SELF);
}

int32_t Gadget_GetText(intptr_t number, Char16* text, int32_t capacity) {
  GadgetRecord* record = numbered(number);
  if (capacity > 0) text[0] = 0;
  if (!record || capacity <= 0) return 0;
  return GetWindowTextW(record->controlHandle, text, capacity);
}

intptr_t Gadget_GetState(intptr_t number) {
  GadgetRecord* record = numbered(number);
  if (!record || !record->kind || !record->kind->GetState) return 0;
  return record->kind->GetState(record);
}

void Gadget_SetState(intptr_t number, intptr_t value) {
  GadgetRecord* record = numbered(number);
  if (!record || !record->kind || !record->kind->SetState) return;
  record->kind->SetState(record, value);
}

int Gadget_RequiredSize(intptr_t number, int32_t* width, int32_t* height) {
  int32_t w = 0, h = 0;
  GadgetRecord* record = numbered(number);
  int found = record && record->kind && record->kind->RequiredSize;
  if (found) record->kind->RequiredSize(record, &w, &h);
  if (width) *width = w;
  if (height) *height = h;
  return found;
}

namespace {

// A window's first use as a gadget list: its save record, its gadget font at its resolution, and
// GadgetList_Procedure in front of its procedure.
void startList(GadgetState* s, HWND window) {
  if (!s->stack) {
    s->stack = (HWND*)heapAllocZero(sizeof(HWND) * kStackEntries);
    s->stackCapacity = s->stack ? kStackEntries : 0;
  }
  s->depth = 0;
  s->currentList = window;
  GadgetListSave* save = (GadgetListSave*)heapAllocZero(sizeof(GadgetListSave));
  if (!save) return;
  Char16 name[40];
  saveName(name);
  save->owner = window;
  if (!SetPropW(window, name, (HANDLE)save)) {
    heapFree(save);
    return;
  }
  g_savedWindow = window;
  g_savedRecord = save;
  save->previousProc =
      (WNDPROC)SetWindowLongPtrW(window, GWLP_WNDPROC, (LONG_PTR)GadgetList_Procedure);
  save->font = messageFont(Scaling_Of(window).x);
}

}  // namespace

HWND GadgetList_Use(HWND window) {
  GadgetState* s = state();
  if (!s) return nullptr;
  HWND previous = currentOf(s);
  if (!window) return previous;

  if (previous) {
    GadgetListSave* save = saveOf(previous);
    if (save) {
      // The array now belongs to the save record; a missing record keeps it with the state.
      heapFree(save->stack);
      save->currentList = s->currentList;
      save->stack = s->stack;
      save->depth = s->depth;
      save->stackCapacity = s->stackCapacity;
      s->stack = nullptr;
      s->stackCapacity = 0;
    }
  }

  GadgetListSave* save = saveOf(window);
  if (save) {
    heapFree(s->stack);
    s->currentList = save->currentList;
    s->stack = save->stack;
    s->depth = save->depth;
    s->stackCapacity = save->stackCapacity;
    save->stack = nullptr;
    save->stackCapacity = 0;
  } else {
    startList(s, window);
  }
  // New gadgets are placed at the resolution of the window they go into.
  Scaling_Target(currentOf(s));
  return previous;
}

LRESULT CALLBACK GadgetList_Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  GadgetListSave* save = saveOf(window);
  if (!save) return DefWindowProcW(window, message, wParam, lParam);
  WNDPROC previousProc = save->previousProc;
  if (message == WM_NCDESTROY) {
    GadgetState* s = state();
    if (s && currentOf(s) == window) {
      s->currentList = nullptr;
      s->depth = 0;
      Scaling_Target(nullptr);
    }
    // The window's gadgets are gone already: children are destroyed before their parent.
    deleteFont(save->font);
    Char16 name[40];
    saveName(name);
    RemovePropW(window, name);
    forgetSave();
    heapFree(save->stack);
    heapFree(save);
  }
  if (!previousProc) return DefWindowProcW(window, message, wParam, lParam);
  return CallWindowProcW(previousProc, window, message, wParam, lParam);
}

namespace {

typedef BOOL(WINAPI* SystemParametersForDpiFn)(UINT, UINT, void*, UINT, UINT);

FARPROC g_parametersForDpi;
bool g_lookedForParametersForDpi;

struct RescaleWalk {
  Resolution at;
  HFONT oldFont;
  HFONT newFont;  // null when no font could be made: the gadgets keep theirs
};

// A gadget is placed again from its design rectangle, and takes the new font if it had the
// window's old one.
BOOL CALLBACK rescaleGadget(HWND child, LPARAM walkParam) {
  const RescaleWalk* walk = (const RescaleWalk*)walkParam;
  GadgetRecord* record = gadget_detail::recordOf(child);
  if (!record) return TRUE;
  int32_t x = record->designX, y = record->designY;
  int32_t width = record->designWidth, height = record->designHeight;
  Scaling_RectToPixels(walk->at, &x, &y, &width, &height);
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  // Whoever gave such a gadget its size gives it again at the new resolution.
  if (record->kind && record->kind->SizesItself && record->kind->SizesItself(record))
    flags |= SWP_NOSIZE;
  SetWindowPos(child, nullptr, x, y, width, height, flags);
  if (walk->newFont && (HFONT)SendMessageW(child, WM_GETFONT, 0, 0) == walk->oldFont)
    SendMessageW(child, WM_SETFONT, (WPARAM)walk->newFont, TRUE);
  if (record->kind && record->kind->Rescaled) record->kind->Rescaled(record);
  return TRUE;
}

}  // namespace

bool Gadget_MessageFont(int32_t dpi, LOGFONTW* font) {
  NONCLIENTMETRICSW metrics;
  ZeroMemory(&metrics, sizeof(metrics));
  metrics.cbSize = sizeof(metrics);
  SystemParametersForDpiFn forDpi = (SystemParametersForDpiFn)(void*)System_User32Function(
      "SystemParametersInfoForDpi", &g_parametersForDpi, &g_lookedForParametersForDpi);
  if (forDpi && dpi > 0 &&
      forDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, (UINT)dpi)) {
    *font = metrics.lfMessageFont;
    return true;
  }
  // cbSize 500 is the structure without iPaddedBorderWidth, which systems before Vista reject;
  // the message font is the same either way. It comes at the system's resolution.
  ZeroMemory(&metrics, sizeof(metrics));
  metrics.cbSize = 500;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 500, &metrics, 0)) return false;
  *font = metrics.lfMessageFont;
  HDC screen = GetDC(nullptr);
  int32_t systemDpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  if (dpi > 0 && systemDpi > 0) font->lfHeight = MulDiv(font->lfHeight, dpi, systemDpi);
  return true;
}

void Gadget_Rescale(HWND window) {
  GadgetListSave* save = saveOf(window);
  RescaleWalk walk = {Scaling_Of(window), save ? save->font : nullptr, nullptr};
  if (save) walk.newFont = messageFont(walk.at.x);
  EnumChildWindows(window, rescaleGadget, (LPARAM)&walk);
  if (!walk.newFont) return;
  // No gadget of the window uses its old font any more.
  save->font = walk.newFont;
  deleteFont(walk.oldFont);
}

void GadgetLib_Start() {
  if (!g_lockReady) {
    InitializeCriticalSection(&g_lock);
    g_lockReady = true;
  }
  forgetSave();
  // The registry and the state block live on the program heap, which a restart of the runtime
  // has destroyed and made anew: every start makes its own. (They cannot be dropped at the
  // end, since the gadgets go with their windows after GadgetLib_End.)
  g_gadgets = Registry_Create(sizeof(GadgetRecord), 50, Gadget_Free);
  g_stateBlock = LibState_Alloc(sizeof(GadgetState), stateInit, stateDestroy);
  INITCOMMONCONTROLSEX controls = {sizeof(INITCOMMONCONTROLSEX), kControlClasses};
  InitCommonControlsEx(&controls);
}

void GadgetLib_End() {
  // The gadgets, and each window's gadget font, go with their windows in WindowLib_End.
}

void Controls_Start() {
  INITCOMMONCONTROLSEX controls = {sizeof(INITCOMMONCONTROLSEX), kControlClasses};
  InitCommonControlsEx(&controls);
  CoInitialize(nullptr);
}
