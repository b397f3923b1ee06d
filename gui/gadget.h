// Gadgets: numbered child controls of runtime windows.
//
// A gadget is a standard control (STATIC, Button) created in the current gadget list, the window
// that receives new gadgets, and tied to its number by GWL_ID and the "QZ_ID" property. Every
// gadget control has Gadget_Procedure in front of its own procedure; a kind's operations sit in
// one static GadgetKind table. Windows only.
#pragma once

#include "runtime/platform.h"
#include "runtime/registry.h"

// Returned by a runtime window or gadget procedure to hand a message on to default processing.
const LRESULT NOT_HANDLED = (LRESULT)(intptr_t)(int32_t)0xD0D0D0D1u;

const int32_t GADGET_KIND_BUTTON = 1;
const int32_t GADGET_KIND_STRING = 2;
const int32_t GADGET_KIND_IMAGE = 9;
const int32_t GADGET_KIND_TEXT = 10;
const int32_t GADGET_KIND_LIST = 12;

// Types of EVENT_GADGET posted by the image gadget. A button reports its notification code
// (BN_CLICKED, 0) through the window procedure.
enum : int32_t {
  GADGET_EVENT_LEFT_CLICK = 0,
  GADGET_EVENT_RIGHT_CLICK = 1,
  GADGET_EVENT_LEFT_DOUBLE_CLICK = 2,
  GADGET_EVENT_RIGHT_DOUBLE_CLICK = 3,
  GADGET_EVENT_DRAG_START = 14002,
};

// Image gadget flags.
const uint32_t IMAGE_BORDER_RAISED = 0x1;    // WS_DLGFRAME
const uint32_t IMAGE_BORDER_SUNKEN = 0x200;  // WS_EX_CLIENTEDGE; wins over the raised border

struct GadgetRecord;
struct GadgetKind;

typedef LRESULT (*GadgetParentMessageFn)(GadgetRecord* record, HWND parent, UINT message,
                                         WPARAM wParam, LPARAM lParam);
typedef void (*GadgetFreeFn)(GadgetRecord* record);
// The state is pointer-wide: the image gadget's state is its image handle.
typedef intptr_t (*GadgetGetStateFn)(GadgetRecord* record);
typedef void (*GadgetSetStateFn)(GadgetRecord* record, intptr_t value);
typedef void (*GadgetRequiredSizeFn)(GadgetRecord* record, int32_t* width, int32_t* height);
// True while the gadget's size is its content's (an image gadget with a picture): placed again
// at another resolution, it keeps its size, which whoever gave the content gives again.
typedef bool (*GadgetSizesItselfFn)(GadgetRecord* record);
// The gadget was placed again at its window's new resolution: what else of it depends on it.
typedef void (*GadgetRescaledFn)(GadgetRecord* record);

// One static table per kind, filled when the first gadget of the kind is created. An empty slot
// means the kind has no such operation. The unused slots belong to kinds this runtime lacks;
// they keep RequiredSize in its place (164 bytes on i686).
struct GadgetKind {
  int32_t kindId;
  int32_t tableSize;
  GadgetParentMessageFn ParentMessage;
  GadgetFreeFn FreeGadget;
  GadgetGetStateFn GetState;
  GadgetSetStateFn SetState;
  GadgetSizesItselfFn SizesItself;
  GadgetRescaledFn Rescaled;
  void* reserved[28];
  GadgetRequiredSizeFn RequiredSize;
  void* reservedAfter[4];
};

// The gadget registry's record. controlHandle is the live mark.
struct GadgetRecord {
  HWND controlHandle;
  GadgetKind* kind;
  WNDPROC previousProc;    // what Gadget_Procedure forwards to
  intptr_t kindFields[4];  // the kind's own fields (16 bytes on i686)
  // Where the gadget was asked for, in design units, kept by the framework at creation: placed
  // again from these when the window moves to a monitor of another resolution, so that no
  // rounding builds up.
  int32_t designX;
  int32_t designY;
  int32_t designWidth;
  int32_t designHeight;
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(GadgetKind) == 164, "gadget kind table layout");
static_assert(sizeof(GadgetRecord) == 44, "gadget record layout");
#endif

// Framework.
intptr_t Gadget_Register(intptr_t number, GadgetRecord* record, HWND control, GadgetKind* kind);
void Gadget_Free(intptr_t number);
LRESULT CALLBACK Gadget_Procedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
GadgetRecord* Gadget_FromControl(HWND control);
HWND Gadget_TopWindow(HWND control);
void Gadget_PostEvent(HWND control, int32_t type);
LRESULT Gadget_ParentMessage(HWND control, HWND parent, UINT message, WPARAM wParam, LPARAM lParam);
HWND GadgetList_Use(HWND window);
LRESULT CALLBACK GadgetList_Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Gives the gadget the keyboard focus.
void Gadget_SetActive(intptr_t number);
// Sets the gadget's text, which is also the name an assistive technology reads for it, and
// announces the change (EVENT_OBJECT_NAMECHANGE). An image gadget keeps the text without
// drawing it.
void Gadget_SetText(intptr_t number, const Char16* text);
// The gadget's text, at most CAPACITY characters with the terminator; its length (0 when there
// is no such gadget).
int32_t Gadget_GetText(intptr_t number, Char16* text, int32_t capacity);

// State access through the kind table: 0 (and no change) when the gadget does not exist or its
// kind has no such operation.
intptr_t Gadget_GetState(intptr_t number);
void Gadget_SetState(intptr_t number, intptr_t value);
// The gadget's preferred size; 0 when there is no such gadget or its kind cannot tell.
int Gadget_RequiredSize(intptr_t number, int32_t* width, int32_t* height);

// Image gadget: a STATIC control that shows a bitmap or an icon, sized to the picture.
intptr_t Gadget_Image(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                      HANDLE image);
intptr_t Gadget_ImageEx(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                        HANDLE image, uint32_t flags);
LRESULT CALLBACK ImageGadget_Procedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
void ImageGadget_RedrawUnder(HWND control, GadgetRecord* record);

// Button gadget: a "Button" control; flags are Win32 button styles passed straight through.
intptr_t Gadget_Button(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                       const Char16* text);
intptr_t Gadget_ButtonEx(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                         const Char16* text, uint32_t flags);
void ButtonGadget_RequiredSize(GadgetRecord* record, int32_t* width, int32_t* height);

// Text gadget: one line of text (a STATIC control).
intptr_t Gadget_Text(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                     const Char16* text);

// String gadget: one line the user types in (an "Edit" control); Gadget_GetText reads it. A
// text gadget made just before it names it for a screen reader.
intptr_t Gadget_String(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                       const Char16* text);

// List gadget: a virtual report list. `text` fills in the text of a row's column, at most
// `capacity` characters with the terminator, whenever the list shows it; column -1 is the
// sentence an assistive technology reads for the whole row (none: the system's own). Its state is
// the focused row; setting it selects that row alone (-1: none).
typedef void (*GadgetListTextFn)(intptr_t row, int32_t column, Char16* text, int32_t capacity);
intptr_t Gadget_List(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                     GadgetListTextFn text);
// Adds column `column`, `width` design units wide at the list's resolution.
void Gadget_ListColumn(intptr_t number, int32_t column, const Char16* title, int32_t width);
// The number of rows. With `askAgain` the rows shown are asked for again (rows were added
// before them, say); without, only rows that come into view are.
void Gadget_ListRows(intptr_t number, intptr_t rows, bool askAgain);
// The sentence an assistive technology reads for row `row` (the text routine's column -1);
// false when the routine gives none.
bool Gadget_ListRowName(intptr_t number, intptr_t row, Char16* text, int32_t capacity);
// The next selected row after `after` (-1: the first), or -1.
intptr_t Gadget_ListNextSelected(intptr_t number, intptr_t after);
// BY rows were added before every row (removed, when negative), after Gadget_ListRows gave the
// new count: the selected rows, the focus and the selection's anchor move BY rows with them, so
// that they stay on the same items.
void Gadget_ListShift(intptr_t number, intptr_t by);

// A window's resolution changed (or the system's message font did): every gadget of `window`
// is placed again from its design rectangle at the window's resolution, and the window's gadget
// font is made again for it and given to its gadgets that used the old one. Other windows and
// their gadgets are left as they are.
void Gadget_Rescale(HWND window);
// The system's message font for `dpi` (SystemParametersInfoForDpi where the system has it, else
// the system's own scaled to it); false when it cannot be read.
bool Gadget_MessageFont(int32_t dpi, LOGFONTW* font);

void GadgetLib_Start();
void GadgetLib_End();
void Controls_Start();

namespace gadget_detail {
ObjectRegistry* registry();
// The gadget font of the window a control is in (a stock font when the window has none).
HFONT fontOf(HWND control);
// What a kind's creation asks of the framework: a control of this class, text and style. With
// `procedure`, the control runs it first (its class procedure goes to *previous).
struct GadgetControl {
  const Char16* className;
  const Char16* text;
  DWORD style;
  DWORD exStyle;
  WNDPROC procedure;
  WNDPROC* previous;
  HWND made;  // out: the control, once registered
};
// Makes the control in the current gadget list at the design rectangle scaled to that window's
// resolution, registers it under `number` (an existing gadget of that number goes once its
// successor exists) and keeps the design rectangle. Gadget_Register's result, 0 on failure with
// nothing left made.
intptr_t create(intptr_t number, GadgetKind* kind, GadgetControl* control, int32_t x, int32_t y,
                int32_t width, int32_t height);
// The record of a registered gadget control, for the kinds' own procedures, which run on every
// message: found from the identifier, vouched for by the record's control handle, without the
// property read of Gadget_FromControl (a round trip to the window server under Wine).
GadgetRecord* recordOf(HWND control);
}  // namespace gadget_detail
