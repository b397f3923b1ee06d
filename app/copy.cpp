// Ctrl+C: the draw on show as one line of text on the clipboard, the five balls then the two
// stars in the slots' order, separated by tabs, so that a spreadsheet spreads them over seven
// cells and a ticket form's fields can be filled from it.
#include "app/draw.h"

#include "gui/window.h"
#include "runtime/tempstring.h"

namespace {

const intptr_t kSlots[] = {1, 2, 3, 4, 5, 7, 8};

}  // namespace

void Clipboard_SetText(HWND owner, const Char16* text, size_t bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!block) return;
  void* memory = GlobalLock(block);
  if (memory) {
    memcpy(memory, text, bytes);
    GlobalUnlock(block);
  }
  if (memory && OpenClipboard(owner)) {
    EmptyClipboard();
    bool taken = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
    CloseClipboard();
    if (taken) return;
  }
  GlobalFree(block);
}

void Draw_Copy() {
  // Before the first draw there is nothing to copy, and what the clipboard holds stays; a draw
  // being revealed is not given away before the room has seen it.
  if (g_program.hidden) return;
  for (intptr_t slot : kSlots)
    if (!g_program.drawn[slot]) return;
  int32_t start = TempString_Area().end;
  for (intptr_t slot : kSlots) {
    if (slot != kSlots[0]) TempString_Append(TEXT16("\t"));
    Number_AppendText((int64_t)g_program.values[slot], TempString_Area().end);
  }
  TempString_Area().end += 2;
  size_t bytes = (size_t)(TempString_Area().end - start);
  Clipboard_SetText(Window_Handle(0), TempString_Address(start), bytes);
  TempString_Area().end = start;
}
