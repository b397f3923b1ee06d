// The runtime's start and end sequences run their routines in one fixed order: the string
// area first, BMP registered before PNG, windows ended before images, the memory heap last.
#include <gtest/gtest.h>

#include "gui/events.h"
#include "gui/gadget.h"
#include "gui/window.h"
#include "image/image.h"
#include "runtime/font.h"
#include "runtime/memory.h"
#include "runtime/tempstring.h"
#include "startup/startup.h"
#include "sys/dir.h"

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

}  // namespace
