// The runtime's start and end sequences. The order matters: the string area comes first
// because every other library may build texts in it; BMP is registered before PNG so that the
// BMP decoder is offered a file first; windows end before images so that no gadget still
// draws an image that is gone; the memory heap ends last, after every library that could
// hold a block of it.
#include "startup/startup.h"

#include "gui/events.h"
#include "gui/gadget.h"
#include "gui/window.h"
#include "image/image.h"
#include "runtime/font.h"
#include "runtime/memory.h"
#include "runtime/tempstring.h"
#include "sys/dir.h"

namespace {

const StartupRoutine kStart[] = {
    TempString_Start,
    // Array operations for described elements: no array here has an element description.
    // Map operations for described elements: no map here has an element description.
    EventLib_Start,
    FontLib_Start,
    Memory_Start,
    ImageDecoder_Start,
    BmpDecoder_Register,
    // List operations for described elements: no list here has an element description.
    Image_Start,
    AlphaBlend_Start,
    Scaling_Start,
    WindowLib_Start,
    GadgetLib_Start,
    Controls_Start,
    PngDecoder_Register,
};

const StartupRoutine kEnd[] = {
    GadgetLib_End, WindowLib_End, AlphaBlend_End, Image_End,
    FontLib_End,   Dir_End,       EventLib_End,   Memory_End,
};

constexpr int kStartCount = sizeof kStart / sizeof kStart[0];
constexpr int kEndCount = sizeof kEnd / sizeof kEnd[0];

void run(const StartupRoutine* routines, int count) {
  for (int i = 0; i < count; ++i) routines[i]();
}

}  // namespace

StartupRoutines Runtime_StartRoutines() { return {kStart, kStartCount}; }
StartupRoutines Runtime_EndRoutines() { return {kEnd, kEndCount}; }

void Runtime_Start() { run(kStart, kStartCount); }
void Runtime_End() { run(kEnd, kEndCount); }
