// The runtime's start and end sequences: their routines run in one fixed order (the string
// area first, BMP registered before PNG, windows ended before images, the memory heap last),
// and the runtime starts, is used and ends twice in one process, each time on a program heap of
// its own, as the entry point makes and destroys it: every library must make its registries and
// state afresh at each start, not keep pointers into the heap that the first end destroyed.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "gui/events.h"
#include "gui/gadget.h"
#include "gui/window.h"
#include "image/alpha.h"
#include "image/image.h"
#include "runtime/accounting.h"
#include "runtime/font.h"
#include "runtime/memory.h"
#include "runtime/tempstring.h"
#include "startup/startup.h"
#include "sys/dir.h"
#include "tests/support/pictures.h"

namespace {

struct Named {
  const char* name;
  StartupRoutine routine;
};

const Named kStartOrder[] = {
    {"TempString_Start", TempString_Start},
    {"EventLib_Start", EventLib_Start},
    {"FontLib_Start", FontLib_Start},
    {"Memory_Start", Memory_Start},
    {"ImageDecoder_Start", ImageDecoder_Start},
    {"BmpDecoder_Register", BmpDecoder_Register},
    {"Image_Start", Image_Start},
    {"AlphaBlend_Start", AlphaBlend_Start},
    {"Scaling_Start", Scaling_Start},
    {"WindowLib_Start", WindowLib_Start},
    {"GadgetLib_Start", GadgetLib_Start},
    {"Controls_Start", Controls_Start},
    {"PngDecoder_Register", PngDecoder_Register},
};

const Named kEndOrder[] = {
    {"GadgetLib_End", GadgetLib_End},   {"WindowLib_End", WindowLib_End},
    {"AlphaBlend_End", AlphaBlend_End}, {"Image_End", Image_End},
    {"FontLib_End", FontLib_End},       {"Dir_End", Dir_End},
    {"EventLib_End", EventLib_End},     {"Memory_End", Memory_End},
};

template <int N>
void expect_order(StartupRoutines actual, const Named (&expected)[N]) {
  ASSERT_EQ(actual.count, N);
  for (int i = 0; i < N; ++i)
    EXPECT_EQ(actual.routines[i], expected[i].routine)
        << "routine " << i + 1 << " should be " << expected[i].name;
}

TEST(LifecycleOrderTest, StartRoutinesRunInTheirFixedOrder) {
  expect_order(Runtime_StartRoutines(), kStartOrder);
}

TEST(LifecycleOrderTest, EndRoutinesRunInTheirFixedOrder) {
  expect_order(Runtime_EndRoutines(), kEndOrder);
}

bool onProgramHeap(const void* block) { return block && HeapValidate(g_programHeap, 0, block); }

// A text that lives on the string heap of the current run, as the program's folder paths do.
Char16* stringVariable(const std::string& text) {
  std::basic_string<Char16> wide(text.begin(), text.end());
  Char16* variable = nullptr;
  String_Assign(&variable, wide.c_str());
  return variable;
}

// One run: start, a window with an image gadget and a button, a directory examination, an
// image loaded under a name built in the string area, a button press through the event queue,
// then the end sequence and the heaps gone.
void runOnce(const std::string& folder) {
  g_programHeap = HeapCreate(0, 4096, 0);
  ASSERT_NE(g_programHeap, nullptr);
  Runtime_Start();
  EXPECT_TRUE(onProgramHeap(gadget_detail::registry()));
  EXPECT_TRUE(onProgramHeap(FontLib_Registry()));

  Char16* path = stringVariable(folder);
  ASSERT_NE(Dir_Examine(0, path, TEXT16("*.png")), nullptr);
  EXPECT_TRUE(onProgramHeap(Dir_Registry()));
  Dir_Finish(0);

  int32_t start = TempString_Area().end;
  TempString_Append(path);
  TempString_Append(TEXT16("ball.png"));
  TempString_Area().end += 2;
  intptr_t loaded = Image_Load(1, TempString_Address(start), 0);
  TempString_Area().end = start;
  ASSERT_NE(loaded, 0);

  ASSERT_NE(Window_Open(0, 0, 0, 300, 140, TEXT16("Lifecycle"), WINDOW_SYSTEM_MENU), 0);
  ASSERT_NE(Gadget_Image(1, 0, 0, Image_Width(1), Image_Height(1), (HANDLE)Image_Handle(1)), 0);
  HWND button = (HWND)Gadget_Button(2, 0, 100, 120, 25, TEXT16("Lancer"));
  ASSERT_NE(button, nullptr);
  SendMessageW(button, BM_CLICK, 0, 0);
  bool pressed = false;
  for (int tries = 0; tries < 20 && !pressed; tries++)
    pressed = Event_WaitTimeout(50) == EVENT_GADGET && Event_Gadget() == 2;
  EXPECT_TRUE(pressed);

  ASSERT_NE(Memory_Allocate(16, 0), nullptr);
  Runtime_End();
  // Each end routine ran, not only the windows' and the images': the memory heap, the
  // directory registry and the alpha library are gone too.
  EXPECT_EQ(Memory_Allocate(16, 0), nullptr);
  EXPECT_EQ(Dir_Registry(), nullptr);
  EXPECT_EQ(AlphaBlend_Available(), 0);
  TempString_End();
  HeapDestroy(g_programHeap);
  g_programHeap = nullptr;
  for (AccountKind kind : {ACCOUNT_WINDOW, ACCOUNT_CONTROL, ACCOUNT_BITMAP})
    EXPECT_EQ(Account_Live(kind), 0) << "objects of kind " << kind << " outlive the end";
}

TEST(Lifecycle, TheRuntimeStartsAgainAfterItsEnd) {
  g_instance = GetModuleHandleW(nullptr);
  std::string folder = testpics::tempFolder("lifecycle");
  ASSERT_TRUE(
      testpics::writeFile(folder + "ball.png", testpics::samplePng(6, 8, false, false, 20, 10)));
  for (int run = 1; run <= 2; run++) {
    SCOPED_TRACE("run " + std::to_string(run));
    runOnce(folder);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
