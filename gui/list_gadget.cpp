// List gadget: a report list view (SysListView32) that holds no rows of its own. It is virtual
// (LVS_OWNERDATA): the control asks for the text of the rows it shows, and the gadget asks the
// program's text routine, so that a list of a million rows opens as fast as one of ten. The
// routine is the one place where the runtime calls the program back: the control needs its
// answer at once, while it paints. Asked for column -1, the routine gives the sentence an
// assistive technology reads for a whole row; the gadget hands it to the system's accessibility
// layer as the row's name (a dynamic annotation: a server the layer asks for each row).
#include "gui/gadget.h"

#include <commctrl.h>
#include <oleacc.h>

#include "gui/scaling.h"
#include "runtime/memory.h"
#include "runtime/system_library.h"

namespace {

const DWORD kListStyle =
    WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS;

GadgetKind g_kind;

// kindFields: the text routine, and the horizontal resolution the column widths are at.
GadgetListTextFn textOf(GadgetRecord* record) { return (GadgetListTextFn)record->kindFields[0]; }

LRESULT parentMessage(GadgetRecord* record, HWND, UINT message, WPARAM, LPARAM lParam) {
  NMLVDISPINFOW* info = (NMLVDISPINFOW*)lParam;
  if (message != WM_NOTIFY || info->hdr.code != LVN_GETDISPINFOW) return NOT_HANDLED;
  LVITEMW& item = info->item;
  if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
    item.pszText[0] = 0;
    if (textOf(record)) textOf(record)(item.iItem, item.iSubItem, item.pszText, item.cchTextMax);
  }
  return 0;
}

// The focused row, or -1.
intptr_t getState(GadgetRecord* record) {
  return SendMessageW(record->controlHandle, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED);
}

// Selects row `value` alone and gives it the focus mark (-1: no row).
void setState(GadgetRecord* record, intptr_t value) {
  LVITEMW item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(record->controlHandle, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&item);
  if (value < 0) return;
  item.state = item.stateMask;
  SendMessageW(record->controlHandle, LVM_SETITEMSTATE, (WPARAM)value, (LPARAM)&item);
  SendMessageW(record->controlHandle, LVM_ENSUREVISIBLE, (WPARAM)value, FALSE);
}

// The accessibility layer's identifiers, spelt out: the import library resolves them wrongly on
// x86_64, and the program does not import oleacc.dll (COM loads it when a list is first made).
const GUID kPropServices = {
    0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
const GUID kIPropServices = {
    0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
const GUID kIPropServer = {
    0x76c0dbbb, 0x15e0, 0x4e7b, {0xb6, 0x1b, 0x20, 0xee, 0xea, 0x20, 0x01, 0xe0}};
const GUID kPropName = {
    0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};

typedef BSTR(WINAPI* SysAllocStringFn)(const OLECHAR*);
IAccPropServices* g_services;  // null where the system has no annotations
SysAllocStringFn g_allocString;

bool rowName(HWND list, intptr_t row, Char16* text, int32_t capacity) {
  GadgetRecord* record = Gadget_FromControl(list);
  text[0] = 0;
  if (!record || record->kind != &g_kind || !textOf(record) || row < 0) return false;
  textOf(record)(row, -1, text, capacity);
  return text[0] != 0;
}

// The server the accessibility layer asks for a row's name; one for every list, never freed.
struct RowNames : IAccPropServer {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
    *out = IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, kIPropServer) ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetPropValue(const BYTE* id, DWORD length, MSAAPROPID, VARIANT* value,
                                         BOOL* has) override {
    *has = FALSE;
    value->vt = VT_EMPTY;
    HWND list = nullptr;
    DWORD object = 0, child = CHILDID_SELF;
    Char16 text[256];
    if (FAILED(g_services->DecomposeHwndIdentityString(id, length, &list, &object, &child)) ||
        child == CHILDID_SELF || !rowName(list, (intptr_t)child - 1, text, 256))
      return S_OK;  // the layer's own name
    value->bstrVal = g_allocString(text);
    value->vt = value->bstrVal ? VT_BSTR : VT_EMPTY;
    *has = value->bstrVal != nullptr;
    return S_OK;
  }
};
RowNames g_rowNames;

void annotateRows(HWND list) {
  if (!g_services) {
    HMODULE oleaut = System_LoadLibrary(TEXT16("oleaut32.dll"));
    g_allocString =
        oleaut ? (SysAllocStringFn)(void*)GetProcAddress(oleaut, "SysAllocString") : nullptr;
    if (!g_allocString || FAILED(CoCreateInstance(kPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                                  kIPropServices, (void**)&g_services)))
      g_services = nullptr;
  }
  if (g_services)
    g_services->SetHwndPropServer(list, (DWORD)OBJID_CLIENT, CHILDID_SELF, &kPropName, 1,
                                  &g_rowNames, ANNO_CONTAINER);
}

void freeGadget(GadgetRecord* record) {
  if (g_services)
    g_services->ClearHwndProps(record->controlHandle, (DWORD)OBJID_CLIENT, CHILDID_SELF, &kPropName,
                               1);
}

// The columns keep their share of the list at the window's new resolution, widths the user
// gave them included.
void rescaled(GadgetRecord* record) {
  HWND list = record->controlHandle;
  int32_t from = (int32_t)record->kindFields[1], to = Scaling_Of(list).x;
  if (from <= 0 || to <= 0 || from == to) return;
  HWND header = (HWND)SendMessageW(list, LVM_GETHEADER, 0, 0);
  int32_t columns = header ? (int32_t)SendMessageW(header, HDM_GETITEMCOUNT, 0, 0) : 0;
  for (int32_t c = 0; c < columns; c++) {
    int32_t width = (int32_t)SendMessageW(list, LVM_GETCOLUMNWIDTH, (WPARAM)c, 0);
    SendMessageW(list, LVM_SETCOLUMNWIDTH, (WPARAM)c, MAKELPARAM(MulDiv(width, to, from), 0));
  }
  record->kindFields[1] = to;
}

void fillKind() {
  if (g_kind.kindId) return;
  g_kind.kindId = GADGET_KIND_LIST;
  g_kind.tableSize = (int32_t)sizeof(GadgetKind);
  g_kind.ParentMessage = parentMessage;
  g_kind.GetState = getState;
  g_kind.SetState = setState;
  g_kind.Rescaled = rescaled;
  g_kind.FreeGadget = freeGadget;
  INITCOMMONCONTROLSEX controls = {sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
}

HWND listControl(intptr_t number) {
  GadgetRecord* record = gadget_detail::registry()
                             ? (GadgetRecord*)Registry_Get(gadget_detail::registry(), number)
                             : nullptr;
  return record && record->kind == &g_kind ? record->controlHandle : nullptr;
}

}  // namespace

intptr_t Gadget_List(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                     GadgetListTextFn text) {
  fillKind();
  gadget_detail::GadgetControl control = {WC_LISTVIEWW, L"",     kListStyle, WS_EX_CLIENTEDGE,
                                          nullptr,      nullptr, nullptr};
  intptr_t result = gadget_detail::create(number, &g_kind, &control, x, y, width, height);
  if (!result) return 0;
  GadgetRecord* record = gadget_detail::recordOf(control.made);
  record->kindFields[0] = (intptr_t)text;
  record->kindFields[1] = Scaling_Of(control.made).x;
  SendMessageW(control.made, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
               LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  annotateRows(control.made);
  return result;
}

bool Gadget_ListRowName(intptr_t number, intptr_t row, Char16* text, int32_t capacity) {
  HWND control = listControl(number);
  if (!control || capacity < 1) return false;
  return rowName(control, row, text, capacity);
}

void Gadget_ListColumn(intptr_t number, int32_t column, const Char16* title, int32_t width) {
  HWND control = listControl(number);
  if (!control) return;
  LVCOLUMNW c = {};
  c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  c.pszText = (LPWSTR)title;
  c.cx = Scaling_ToPixels(width, Scaling_Of(control).x);
  c.iSubItem = column;
  SendMessageW(control, LVM_INSERTCOLUMNW, (WPARAM)column, (LPARAM)&c);
}

void Gadget_ListRows(intptr_t number, intptr_t rows, bool askAgain) {
  HWND control = listControl(number);
  // The list keeps its scroll position and selection.
  if (control)
    SendMessageW(control, LVM_SETITEMCOUNT, (WPARAM)rows, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  if (control && askAgain) InvalidateRect(control, nullptr, FALSE);
}

intptr_t Gadget_ListNextSelected(intptr_t number, intptr_t after) {
  HWND control = listControl(number);
  if (!control) return -1;
  return SendMessageW(control, LVM_GETNEXTITEM, (WPARAM)after, LVNI_SELECTED);
}

namespace {

// Selected rows as ranges [first, last], gathered before they move.
struct Ranges {
  intptr_t (*at)[2];
  size_t count, capacity;
  bool add(intptr_t row) {
    if (count && at[count - 1][1] == row - 1) {
      at[count - 1][1] = row;
      return true;
    }
    if (count == capacity) {
      size_t more = capacity ? 2 * capacity : 16;
      void* grown = at ? HeapReAlloc(g_programHeap, 0, at, more * sizeof *at)
                       : HeapAlloc(g_programHeap, 0, more * sizeof *at);
      if (!grown) return false;
      at = (intptr_t(*)[2])grown;
      capacity = more;
    }
    at[count][0] = at[count][1] = row;
    count++;
    return true;
  }
};

void setRowState(HWND list, intptr_t row, UINT state, UINT mask) {
  LVITEMW item = {};
  item.state = state;
  item.stateMask = mask;
  SendMessageW(list, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)&item);
}

}  // namespace

void Gadget_ListShift(intptr_t number, intptr_t by) {
  HWND list = listControl(number);
  if (!list || by == 0) return;
  intptr_t rows = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), before = rows - by;
  intptr_t focus = SendMessageW(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED);
  intptr_t mark = SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0);
  bool all = before > 0 && SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) >= before;
  Ranges selected = {};
  for (intptr_t row = -1; !all && (row = Gadget_ListNextSelected(number, row)) >= 0;)
    if (!selected.add(row)) break;
  setRowState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  // Every row was selected (Ctrl+A): all of them again but the new ones.
  if (all) setRowState(list, -1, LVIS_SELECTED, LVIS_SELECTED);
  for (intptr_t row = 0; all && row < by; row++) setRowState(list, row, 0, LVIS_SELECTED);
  for (size_t r = 0; r < selected.count; r++)
    for (intptr_t row = selected.at[r][0] + by; row <= selected.at[r][1] + by; row++)
      if (row >= 0 && row < rows) setRowState(list, row, LVIS_SELECTED, LVIS_SELECTED);
  if (selected.at) HeapFree(g_programHeap, 0, selected.at);
  if (focus >= 0 && focus + by >= 0) setRowState(list, focus + by, LVIS_FOCUSED, LVIS_FOCUSED);
  if (mark >= 0) SendMessageW(list, LVM_SETSELECTIONMARK, 0, mark + by >= 0 ? mark + by : -1);
}
