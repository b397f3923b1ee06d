// Button gadget: the program's draw button, a real click, check box state and the required size.
#include "gui/gadget.h"

#include <commctrl.h>

#include "gui/events.h"
#include "tests/support/gadget_fixture.h"

using namespace gadgettest;

namespace {

class ButtonGadget : public GadgetTest {};

// Text extent in the control's own font, measured here independently of the gadget.
SIZE extent(HWND control, const Char16* text) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, (HGDIOBJ)SendMessageW(control, WM_GETFONT, 0, 0));
  SIZE size = {0, 0};
  GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return size;
}

TEST_F(ButtonGadget, DrawButtonIsAVisibleTabStopPushButtonOfTheGivenSize) {
  HWND button = (HWND)Gadget_Button(9, 5, 110, 750, 25, L"Lancer un tirage");
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(GetParent(button), window);
  RECT r = rectInParent(button);
  EXPECT_EQ(r.left, 5);
  EXPECT_EQ(r.top, 110);
  EXPECT_EQ(r.right - r.left, 750);
  EXPECT_EQ(r.bottom - r.top, 25);
  LONG style = GetWindowLongW(button, GWL_STYLE);
  EXPECT_EQ((DWORD)style & 0xFFFF0000u, 0x50030000u);
  EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON);
  EXPECT_EQ(GetWindowLongW(button, GWL_EXSTYLE) & ~WS_EX_NOPARENTNOTIFY, 0);
  EXPECT_TRUE(IsWindowVisible(button));
  Char16 text[64] = {}, className[16] = {};
  GetWindowTextW(button, text, 64);
  EXPECT_STREQ(text, L"Lancer un tirage");
  GetClassNameW(button, className, 16);
  EXPECT_STREQ(className, L"Button");
  EXPECT_EQ(GetWindowLongPtrW(button, GWLP_ID), 9);
  // Only the version 6 button that the manifest asks for knows BCM_GETIDEALSIZE.
  SIZE ideal = {0, 0};
  EXPECT_TRUE(SendMessageW(button, BCM_GETIDEALSIZE, 0, (LPARAM)&ideal));
  EXPECT_EQ(Gadget_GetState(9), 0) << "a push button is never ticked";
}

TEST_F(ButtonGadget, OneRealClickPostsExactlyOneEvent) {
  HWND button = (HWND)Gadget_Button(9, 5, 110, 750, 25, L"Lancer un tirage");
  ASSERT_NE(button, nullptr);
  pump(50);
  Sleep(GetDoubleClickTime() + 50);
  click(window, 300, 120);
  pump(50);
  std::vector<Event> events = takeGadgetEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].object, 9);
  EXPECT_EQ(events[0].window, 0);
  EXPECT_EQ(events[0].type, BN_CLICKED);

  click(window, 300, 60);  // beside the button
  EXPECT_TRUE(takeGadgetEvents().empty());
}

TEST_F(ButtonGadget, NumbersBeyondSixteenBitsComeBackWhole) {
  HWND button = (HWND)Gadget_Button(70000, 0, 0, 50, 20, L"big");
  ASSERT_NE(button, nullptr);
  SendMessageW(button, BM_CLICK, 0, 0);
  std::vector<Event> events = takeGadgetEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].object, 70000);
}

TEST_F(ButtonGadget, NoTextGivesAnEmptyCaption) {
  HWND button = (HWND)Gadget_Button(1, 0, 0, 50, 20, nullptr);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(GetWindowTextLengthW(button), 0);
}

TEST_F(ButtonGadget, RequiredSizeIsTheLiteralTextExtentPlusMargins) {
  int margin = 2 * GetSystemMetrics(SM_CXEDGE) + 10;
  int edges = 2 * GetSystemMetrics(SM_CYEDGE);
  HWND empty = (HWND)Gadget_Button(1, 0, 0, 50, 20, L"");
  int32_t w = -1, h = -1;
  ButtonGadget_RequiredSize(Gadget_FromControl(empty), &w, &h);
  EXPECT_EQ(w, margin);
  EXPECT_EQ(h, 24) << "at least 24 for a font this size";

  HWND named = (HWND)Gadget_Button(2, 0, 30, 50, 20, L"Lancer un &tirage");
  EXPECT_EQ(Gadget_RequiredSize(2, &w, &h), 1);
  SIZE literal = extent(named, L"Lancer un &tirage");
  EXPECT_GT(literal.cx, extent(named, L"Lancer un tirage").cx) << "the ampersand counts";
  EXPECT_EQ(w, literal.cx + margin);
  EXPECT_EQ(h, literal.cy + edges > 24 ? literal.cy + edges : 24);
}

TEST_F(ButtonGadget, CheckBoxStateFollowsTheTick) {
  HWND box = (HWND)Gadget_ButtonEx(1, 0, 0, 100, 20, L"box", BS_AUTOCHECKBOX);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(GetWindowLongW(box, GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX);
  EXPECT_EQ(Gadget_GetState(1), 0);
  SendMessageW(box, BM_CLICK, 0, 0);  // the tick is what counts here, not the mouse
  EXPECT_EQ(Gadget_GetState(1), 1);
  std::vector<Event> events = takeGadgetEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].object, 1);
}

}  // namespace
