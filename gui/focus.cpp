// Keyboard navigation (see focus.h). The pump asks Window_Accelerators for every keyboard message;
// the window procedure turns the two accelerator commands into Focus_Tab.
#include "gui/focus.h"

#include <richedit.h>

namespace {

bool keyDown(int key) { return (GetKeyState(key) & 0x8000) != 0; }

bool modifierDown() { return keyDown(VK_CONTROL) || keyDown(VK_SHIFT) || keyDown(VK_MENU); }

bool classIs(HWND window, const Char16* name, int bufferLength) {
  Char16 buffer[64];
  if (bufferLength > 64) bufferLength = 64;
  if (!GetClassNameW(window, buffer, bufferLength)) return false;
  return Text_Compare(buffer, name) == 0;
}

bool classBegins(const Char16* className, const Char16* prefix) {
  for (; *prefix; prefix++, className++)
    if (*className != *prefix) return false;
  return true;
}

bool isTabStop(HWND window) {
  return IsWindowEnabled(window) && IsWindowVisible(window) &&
         (GetWindowLongPtrW(window, GWL_STYLE) & WS_TABSTOP);
}

// One pass over the tab stops of a window in EnumChildWindows order (depth first).
struct TabWalk {
  HWND anchor;
  bool backward;
  bool takeNext;   // forward: the anchor was passed, the next tab stop gets the focus
  bool firstOnly;  // forward, second pass: the first tab stop gets the focus
  HWND previous;   // backward: the tab stop before the current one
  HWND target;
};

// The anchor marks its place in the walk even when it is no tab stop itself (the focus sits on
// a control without WS_TABSTOP), so that Tab moves on from it rather than doing nothing. The
// parts of the anchor are not tab stops to it: an extended combo box's own combo box is one,
// and Tab would otherwise go round inside the control.
BOOL CALLBACK visitTabStop(HWND child, LPARAM parameter) {
  TabWalk* walk = (TabWalk*)parameter;
  bool stop = isTabStop(child) && !(walk->anchor && IsChild(walk->anchor, child));
  if (walk->backward) {
    if (child == walk->anchor && walk->previous) {
      walk->target = walk->previous;
      return FALSE;
    }
    if (stop) walk->previous = child;
    return TRUE;
  }
  if (stop && (walk->firstOnly || walk->takeNext || !walk->anchor)) {
    walk->target = child;
    return FALSE;
  }
  if (child == walk->anchor) walk->takeNext = true;
  return TRUE;
}

}  // namespace

bool Focus_KeepsKeys(HWND active) {
  HWND focus = GetFocus();
  if (focus && keyDown(VK_TAB) && !modifierDown()) {
    // An editable rich-edit control takes Tab as text.
    Char16 className[16];
    if (GetClassNameW(focus, className, 16) &&
        (classBegins(className, TEXT16("RichE")) || classBegins(className, TEXT16("RICHE"))) &&
        !(SendMessageW(focus, EM_GETOPTIONS, 0, 0) & ECO_READONLY))
      return true;
  }
  if (active && IsWindow(active) && modifierDown()) Focus_Cues(active, true);
  // A shortcut-entry control takes every key combination as its value.
  return focus && GetPropW(focus, TEXT16("QZ_Hotkey"));
}

void Focus_Cues(HWND window, bool show) {
  LRESULT state = SendMessageW(window, WM_QUERYUISTATE, 0, 0);
  const LRESULT both = UISF_HIDEFOCUS | UISF_HIDEACCEL;
  if (show) {
    if (state & both) SendMessageW(window, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, both), 0);
  } else if ((state & both) != both) {
    SendMessageW(window, WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, both), 0);
  }
}

void Focus_Tab(bool backward) {
  HWND top = GetActiveWindow();
  HWND focus = GetFocus();
  if (!top) return;
  HWND anchor = (focus && IsChild(top, focus)) ? focus : nullptr;
  if (anchor) {
    // Focus inside a compound control counts as focus on the control; inside an MDI child
    // window, navigation stays within that child.
    for (HWND w = focus; w; w = GetParent(w)) {
      if (classIs(w, TEXT16("MDI_ChildClass"), 50)) {
        top = w;
        if (w == focus) anchor = nullptr;
      } else if (classIs(w, TEXT16("ComboBoxEx32"), 50)) {
        if (GetWindowLongPtrW(w, GWL_STYLE) & 1) anchor = w;
      } else if (classIs(w, TEXT16("SysIPAddress32"), 50)) {
        anchor = w;
      }
    }
  }

  TabWalk walk = {};
  walk.anchor = anchor;
  walk.backward = backward;
  EnumChildWindows(top, visitTabStop, (LPARAM)&walk);
  if (!walk.target) {
    if (backward) {
      // The anchor was the first tab stop, or there was none: the last one gets the focus.
      walk.target = walk.previous;
    } else if (walk.takeNext) {
      // The anchor was the last tab stop: wrap around to the first.
      walk.firstOnly = true;
      EnumChildWindows(top, visitTabStop, (LPARAM)&walk);
    }
  }
  if (walk.target) SetFocus(walk.target);
}
