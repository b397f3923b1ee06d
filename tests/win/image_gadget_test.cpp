// Image gadget: sizing to the picture, painted pixels read back from the screen, the image
// messages, and the mouse: clicks, double-clicks and the drag threshold.
#include "gui/gadget.h"

#include <stdlib.h>

#include "gui/events.h"
#include "runtime/accounting.h"
#include "runtime/memory.h"
#include "tests/support/gadget_fixture.h"
#include "tests/support/import_patch_win.h"

using namespace gadgettest;

namespace {

uint32_t gradient(int x, int y) {
  return 0xFF000000u | (uint32_t)(x * 2) << 16 | (uint32_t)(y * 3) << 8 | 0x64;
}

// Left quarter clear, next quarter half-covered pure red, the rest opaque blue-ish.
uint32_t partlyClear(int x, int) {
  if (x < 10) return 0x00000000u;
  if (x < 20) return 0x80FF0000u;
  return 0xFF2040C0u;
}

uint32_t background() { return rgbOf(GetSysColor(COLOR_BTNFACE)); }

int channel(uint32_t c, int shift) { return (int)((c >> shift) & 0xFF); }

// Red at alpha 128 over the background, as AlphaBlend composes it.
void expectHalfRedOver(uint32_t actual, uint32_t under) {
  for (int shift : {16, 8, 0}) {
    int src = shift == 16 ? 127 : 0;
    int expected = src + channel(under, shift) * 127 / 255;
    EXPECT_NEAR(channel(actual, shift), expected, 3) << std::hex << "actual " << actual;
  }
}

// The device contexts and bitmaps made while watched.
std::vector<HGDIOBJ> made;
HDC(WINAPI* realCreateDC)(HDC);
HBITMAP(WINAPI* realCreateBitmap)(HDC, int, int);
HDC WINAPI watchedCreateDC(HDC dc) { return (HDC)made.emplace_back(realCreateDC(dc)); }
HBITMAP WINAPI watchedCreateBitmap(HDC dc, int width, int height) {
  return (HBITMAP)made.emplace_back(realCreateBitmap(dc, width, height));
}

class ImageGadget : public GadgetTest {
 protected:
  void TearDown() override {
    GadgetTest::TearDown();
    for (HGDIOBJ o : pictures) DeleteObject(o);
  }
  HBITMAP picture(int w, int h, int bits, uint32_t (*pixel)(int, int)) {
    HBITMAP b = makePicture(w, h, bits, pixel);
    pictures.push_back(b);
    return b;
  }
  std::vector<HGDIOBJ> pictures;
};

void expectRect(HWND control, int left, int top, int right, int bottom) {
  RECT r = rectInParent(control);
  EXPECT_EQ(r.left, left);
  EXPECT_EQ(r.top, top);
  EXPECT_EQ(r.right, right);
  EXPECT_EQ(r.bottom, bottom);
}

TEST_F(ImageGadget, TakesThePictureSizePlusFourWithABorder) {
  HBITMAP b = picture(90, 80, 24, gradient);
  HWND plain = (HWND)Gadget_Image(1, 0, 0, 100, 100, b);
  ASSERT_NE(plain, nullptr);
  expectRect(plain, 0, 0, 90, 80);
  LONG style = GetWindowLongW(plain, GWL_STYLE);
  EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | SS_NOTIFY), WS_CHILD | WS_VISIBLE | SS_NOTIFY);

  HWND sunken =
      (HWND)Gadget_ImageEx(2, 100, 0, 100, 100, b, IMAGE_BORDER_SUNKEN | IMAGE_BORDER_RAISED);
  expectRect(sunken, 100, 0, 194, 84);
  EXPECT_TRUE(GetWindowLongW(sunken, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  EXPECT_FALSE(GetWindowLongW(sunken, GWL_STYLE) & WS_DLGFRAME) << "sunken wins";
  EXPECT_EQ(printedPixel(sunken, 0, 0, 0xFF00FF), gradient(0, 0) & 0xFFFFFF);

  HWND raised = (HWND)Gadget_ImageEx(3, 200, 0, 100, 100, b, IMAGE_BORDER_RAISED | 0x8000);
  expectRect(raised, 200, 0, 294, 84);
  EXPECT_TRUE(GetWindowLongW(raised, GWL_STYLE) & WS_DLGFRAME);
  EXPECT_FALSE(GetWindowLongW(raised, GWL_STYLE) & 0x8000) << "other flag bits stay out";
  // Drawn at (-1, -1): client (0, 0) shows picture pixel (1, 1).
  EXPECT_EQ(printedPixel(raised, 0, 0, 0xFF00FF), gradient(1, 1) & 0xFFFFFF);
  EXPECT_EQ(printedPixel(raised, 5, 7, 0xFF00FF), gradient(6, 8) & 0xFFFFFF);
}

TEST_F(ImageGadget, OpaquePictureAppearsExactlyOnTheScreen) {
  HBITMAP b = picture(90, 80, 24, gradient);
  HWND control = (HWND)Gadget_Image(1, 30, 20, 100, 100, b);
  ASSERT_NE(control, nullptr);
  pump(100);
  for (POINT p : {POINT{0, 0}, POINT{89, 0}, POINT{0, 79}, POINT{89, 79}, POINT{45, 33}})
    EXPECT_EQ(screenPixel(window, 30 + p.x, 20 + p.y), gradient(p.x, p.y) & 0xFFFFFF)
        << p.x << "," << p.y;
  EXPECT_EQ(screenPixel(window, 29, 20), background());
  EXPECT_EQ(screenPixel(window, 120, 20), background());

  // Its text is a name for assistive technology, never painted over the picture.
  Gadget_SetText(1, L"WWWWWWWWWW");
  pump(100);
  wchar_t text[16] = {};
  GetWindowTextW(control, text, 16);
  EXPECT_STREQ(text, L"WWWWWWWWWW");
  int changed = 0;
  for (int y = 0; y < 20; y++)
    for (int x = 0; x < 80; x++)
      changed += screenPixel(window, 30 + x, 20 + y) != (gradient(x, y) & 0xFFFFFF);
  EXPECT_EQ(changed, 0);
}

TEST_F(ImageGadget, TransparentPixelsShowTheWindowBackgroundAlsoAfterAMove) {
  HBITMAP b = picture(40, 30, 32, partlyClear);
  HWND control = (HWND)Gadget_Image(1, 50, 40, 100, 100, b);
  ASSERT_NE(control, nullptr);
  expectRect(control, 50, 40, 90, 70);
  pump(100);
  // Painting makes its memory bitmap and device context and gives both back.
  int64_t dcs = Account_Live(ACCOUNT_DC), bitmaps = Account_Live(ACCOUNT_BITMAP);
  made.clear();
  realCreateDC = (decltype(realCreateDC))patchImport("CreateCompatibleDC", (void*)watchedCreateDC,
                                                     "gdi32.dll");
  realCreateBitmap = (decltype(realCreateBitmap))patchImport(
      "CreateCompatibleBitmap", (void*)watchedCreateBitmap, "gdi32.dll");
  RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  patchImport("CreateCompatibleDC", (void*)realCreateDC, "gdi32.dll");
  patchImport("CreateCompatibleBitmap", (void*)realCreateBitmap, "gdi32.dll");
  EXPECT_GE(made.size(), 2u);
  for (HGDIOBJ object : made) EXPECT_EQ(GetObjectType(object), 0u) << "not deleted";
  EXPECT_EQ(Account_Live(ACCOUNT_DC), dcs);
  EXPECT_EQ(Account_Live(ACCOUNT_BITMAP), bitmaps);
  uint32_t under = background();
  EXPECT_EQ(screenPixel(window, 50 + 3, 40 + 5), under);
  EXPECT_EQ(screenPixel(window, 50 + 30, 40 + 5), 0x2040C0u);
  uint32_t half = screenPixel(window, 50 + 15, 40 + 5);
  expectHalfRedOver(half, under);

  // Repainting on its own must not blend the picture over itself.
  EnableWindow(control, FALSE);
  EnableWindow(control, TRUE);
  pump(100);
  EXPECT_EQ(screenPixel(window, 50 + 15, 40 + 5), half);
  EXPECT_EQ(screenPixel(window, 50 + 3, 40 + 5), under);

  SetWindowPos(control, nullptr, 300, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  pump(100);
  EXPECT_EQ(screenPixel(window, 300 + 3, 60 + 5), under);
  EXPECT_EQ(screenPixel(window, 300 + 15, 60 + 5), half);
  EXPECT_EQ(screenPixel(window, 300 + 30, 60 + 5), 0x2040C0u);
  EXPECT_EQ(screenPixel(window, 50 + 30, 40 + 5), under) << "old place cleared";
}

TEST_F(ImageGadget, ReplacingShowsTheNewPictureAndDeletesTheOldCopy) {
  int64_t bitmaps = Account_Live(ACCOUNT_BITMAP);
  ASSERT_NE(Gadget_Image(1, 10, 10, 0, 0, picture(40, 30, 32, partlyClear)), 0);
  EXPECT_EQ(Account_Live(ACCOUNT_BITMAP), bitmaps + 1);
  HWND control = (HWND)Gadget_Image(1, 10, 10, 0, 0, picture(20, 20, 24, gradient));
  EXPECT_EQ(Account_Live(ACCOUNT_BITMAP), bitmaps) << "opaque picture: no copy";
  pump(100);
  EXPECT_EQ(screenPixel(window, 10 + 5, 10 + 5), gradient(5, 5) & 0xFFFFFF);
  EXPECT_EQ(screenPixel(window, 10 + 30, 10 + 5), background()) << "old picture gone";
  expectRect(control, 10, 10, 30, 30);
}

TEST_F(ImageGadget, ImageMessagesAndState) {
  HBITMAP b = picture(90, 80, 24, gradient);
  HWND control = (HWND)Gadget_Image(1, 10, 20, 100, 50, nullptr);
  ASSERT_NE(control, nullptr);
  expectRect(control, 10, 20, 110, 70);
  EXPECT_EQ(SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);

  Gadget_SetState(1, (intptr_t)b);
  EXPECT_EQ(Gadget_GetState(1), (intptr_t)b);
  EXPECT_EQ((HANDLE)SendMessageW(control, STM_GETICON, 0, 0), b);
  expectRect(control, 10, 20, 100, 100);
  int32_t w = 0, h = 0;
  EXPECT_EQ(Gadget_RequiredSize(1, &w, &h), 1);
  EXPECT_EQ(w, 90);
  EXPECT_EQ(h, 80);

  EXPECT_EQ(SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, 0), 0);
  EXPECT_EQ(SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
  expectRect(control, 10, 20, 100, 100);  // keeps its size, shows nothing
}

TEST_F(ImageGadget, IconsAndHandlesThatAreNoPicture) {
  HBITMAP colour = picture(24, 16, 24, gradient);
  HBITMAP mask = CreateBitmap(24, 16, 1, 1, nullptr);
  ICONINFO info = {TRUE, 0, 0, mask, colour};
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(mask);
  ASSERT_NE(icon, nullptr);
  HWND control = (HWND)Gadget_Image(1, 0, 0, 100, 100, icon);
  expectRect(control, 0, 0, 24, 16);
  pump(50);
  EXPECT_EQ(screenPixel(window, 3, 4), gradient(3, 4) & 0xFFFFFF);

  // Monochrome: AND and XOR masks in one bitmap of twice the height.
  BYTE andBits[32 * 32 / 8], xorBits[32 * 32 / 8] = {};
  memset(andBits, 0xFF, sizeof(andBits));
  HICON mono = CreateIcon(g_instance, 32, 32, 1, 1, andBits, xorBits);
  ASSERT_NE(mono, nullptr);
  control = (HWND)Gadget_Image(2, 100, 0, 100, 100, mono);
  expectRect(control, 100, 0, 132, 32);

  // A brush is neither: the control keeps the size it was given.
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  control = (HWND)Gadget_Image(3, 200, 0, 70, 60, brush);
  ASSERT_NE(control, nullptr);
  expectRect(control, 200, 0, 270, 60);
  EXPECT_EQ((HANDLE)SendMessageW(control, STM_GETIMAGE, 0, 0), brush);
  pump(50);

  Gadget_Free(OBJECT_ALL);
  DestroyIcon(icon);
  DestroyIcon(mono);
  DeleteObject(brush);
}

class ImageGadgetMouse : public ImageGadget {
 protected:
  void SetUp() override {
    ImageGadget::SetUp();
    control = (HWND)Gadget_Image(1, 10, 10, 0, 0, picture(40, 30, 24, gradient));
    ASSERT_NE(control, nullptr);
    // Far from the last click in time, so that no press pairs with an earlier one.
    Sleep(GetDoubleClickTime() + 50);
    mouseTo(window, 20, 20);
    takeEvents();
  }
  std::vector<int32_t> gadgetTypes() {
    std::vector<int32_t> types;
    for (const Event& e : takeGadgetEvents()) {
      EXPECT_EQ(e.object, 1);
      EXPECT_EQ(e.window, 0);
      types.push_back(e.type);
    }
    return types;
  }
  HWND control = nullptr;
};

TEST_F(ImageGadgetMouse, ClickAndDoubleClick) {
  mouseButton(MOUSEEVENTF_LEFTDOWN);
  mouseButton(MOUSEEVENTF_LEFTUP);
  EXPECT_EQ(gadgetTypes(), std::vector<int32_t>({GADGET_EVENT_LEFT_CLICK}));
  EXPECT_EQ(GetCapture(), nullptr);
  mouseButton(MOUSEEVENTF_LEFTDOWN);
  mouseButton(MOUSEEVENTF_LEFTUP);
  EXPECT_EQ(gadgetTypes(), std::vector<int32_t>({GADGET_EVENT_LEFT_DOUBLE_CLICK}));
}

TEST_F(ImageGadgetMouse, RightClickAndRightDoubleClick) {
  mouseButton(MOUSEEVENTF_RIGHTDOWN);
  mouseButton(MOUSEEVENTF_RIGHTUP);
  mouseButton(MOUSEEVENTF_RIGHTDOWN);
  mouseButton(MOUSEEVENTF_RIGHTUP);
  EXPECT_EQ(gadgetTypes(),
            std::vector<int32_t>({GADGET_EVENT_RIGHT_CLICK, GADGET_EVENT_RIGHT_DOUBLE_CLICK}));
  Sleep(GetDoubleClickTime() + 50);
  mouseButton(MOUSEEVENTF_RIGHTDOWN);
  mouseButton(MOUSEEVENTF_RIGHTUP);
  EXPECT_EQ(gadgetTypes(), std::vector<int32_t>({GADGET_EVENT_RIGHT_CLICK}));
}

TEST_F(ImageGadgetMouse, RightDoubleClickWhoseReleaseGoesElsewhereDoesNotSwallowTheNextClick) {
  // The double-click's release never reaches an image gadget: the gadget goes in between.
  SendMessageW(control, WM_RBUTTONDBLCLK, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(gadgetTypes(), std::vector<int32_t>({GADGET_EVENT_RIGHT_DOUBLE_CLICK}));
  control = (HWND)Gadget_Image(1, 10, 10, 0, 0, picture(40, 30, 24, gradient));
  Sleep(GetDoubleClickTime() + 50);
  mouseButton(MOUSEEVENTF_RIGHTDOWN);
  mouseButton(MOUSEEVENTF_RIGHTUP);
  EXPECT_EQ(gadgetTypes(), std::vector<int32_t>({GADGET_EVENT_RIGHT_CLICK}));
}

TEST_F(ImageGadgetMouse, DragStartsOnlyBeyondTheThreshold) {
  int cx = GetSystemMetrics(SM_CXDRAG), cy = GetSystemMetrics(SM_CYDRAG);
  struct Case {
    int dx, dy;
  } cases[] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy);
    Sleep(GetDoubleClickTime() + 50);
    mouseButton(MOUSEEVENTF_LEFTDOWN);  // at client (10, 10) of the gadget
    EXPECT_EQ(GetCapture(), control);
    EXPECT_EQ(gadgetTypes(), std::vector<int32_t>({GADGET_EVENT_LEFT_CLICK}));
    auto move = [&](int n) {
      PostMessageW(control, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10 + c.dx * n, 10 + c.dy * n));
      pump(10);
    };
    move(c.dx ? cx : cy);
    EXPECT_EQ(gadgetTypes(), std::vector<int32_t>()) << "exactly the threshold";
    move((c.dx ? cx : cy) + 1);
    EXPECT_EQ(gadgetTypes(), std::vector<int32_t>({GADGET_EVENT_DRAG_START}));
    EXPECT_EQ(GetCapture(), nullptr);
    move((c.dx ? cx : cy) + 5);
    EXPECT_EQ(gadgetTypes(), std::vector<int32_t>()) << "one per press";
    mouseButton(MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(gadgetTypes(), std::vector<int32_t>());
  }
}

TEST_F(ImageGadgetMouse, APressWhoseReleaseNeverArrivesStartsNoDragLater) {
  int away = 10 + GetSystemMetrics(SM_CXDRAG) + 5;
  enum Lost { CaptureTaken, CancelMode, ButtonSeenUp };
  for (Lost lost : {CaptureTaken, CancelMode, ButtonSeenUp}) {
    SCOPED_TRACE(testing::Message() << "way " << lost);
    Sleep(GetDoubleClickTime() + 50);
    mouseButton(MOUSEEVENTF_LEFTDOWN);
    EXPECT_EQ(gadgetTypes(), std::vector<int32_t>({GADGET_EVENT_LEFT_CLICK}));
    // The release goes elsewhere: the capture is taken or cancelled (a message box opened on
    // the click does that), or the next move simply comes with no button held.
    if (lost == CaptureTaken) SetCapture(window);
    if (lost == CancelMode) SendMessageW(control, WM_CANCELMODE, 0, 0);
    WPARAM held = lost == ButtonSeenUp ? 0 : MK_LBUTTON;
    PostMessageW(control, WM_MOUSEMOVE, held, MAKELPARAM(away, 10));
    pump(10);
    EXPECT_EQ(gadgetTypes(), std::vector<int32_t>());
    ReleaseCapture();
    mouseButton(MOUSEEVENTF_LEFTUP);
    takeEvents();
  }
}

}  // namespace
