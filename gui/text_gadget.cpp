// Text gadget: a line of text, a STATIC control that also names what follows it for a screen
// reader. It takes no focus and reports nothing.
#include "gui/gadget.h"

namespace {

GadgetKind g_kind;

}  // namespace

intptr_t Gadget_Text(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                     const Char16* text) {
  if (!g_kind.kindId) {
    g_kind.kindId = GADGET_KIND_TEXT;
    g_kind.tableSize = (int32_t)sizeof(GadgetKind);
  }
  gadget_detail::GadgetControl control = {
      L"STATIC", text ? text : L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
      0,         nullptr,           nullptr,
      nullptr};
  return gadget_detail::create(number, &g_kind, &control, x, y, width, height);
}
