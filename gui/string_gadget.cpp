// String gadget: a line the user types in, an "Edit" control with its sunken edge. It reports
// nothing; the program reads its text when it needs it.
#include "gui/gadget.h"

namespace {

GadgetKind g_kind;

}  // namespace

intptr_t Gadget_String(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                       const Char16* text) {
  if (!g_kind.kindId) {
    g_kind.kindId = GADGET_KIND_STRING;
    g_kind.tableSize = (int32_t)sizeof(GadgetKind);
  }
  gadget_detail::GadgetControl control = {
      L"Edit",          text ? text : L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
      WS_EX_CLIENTEDGE, nullptr,           nullptr,
      nullptr};
  return gadget_detail::create(number, &g_kind, &control, x, y, width, height);
}
