// Tirage Vorellis: the program's entry point, start-up, event loop and exit sequence.
//
// Start-up order matters: the program heap exists before Runtime_Start because every runtime
// library allocates from it, and the window is open before the balls folder is checked so that
// the message box has the program's window behind it. Every way out goes through
// exit_program(), which ends the runtime libraries, releases the string area and the program
// heap, and ends the process with exit code 0.
#include "app/draw.h"
#include "app/full_screen.h"
#include "app/history.h"

#include "gui/events.h"
#include "gui/gadget.h"
#include "gui/window.h"
#include "image/image.h"
#include "runtime/memory.h"
#include "runtime/system_library.h"
#include "runtime/tempstring.h"
#include "startup/startup.h"
#include "sys/dir.h"
#include "sys/requester.h"

namespace {

const Char16 kTitle[] = TEXT16("Tirage Vorellis");

[[noreturn]] void exit_program() {
  Runtime_End();
  TempString_End();
  HeapDestroy(g_programHeap);
  ExitProcess(0);
}

void start_up() {
  // Before anything else: a corrupted heap ends the process instead of being used further, and
  // no library is looked up in the program's own folder or the current one.
  HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
  System_RestrictLibrarySearch();
  g_instance = GetModuleHandleW(nullptr);
  g_programHeap = HeapCreate(0, 4096, 0);
  // Every runtime library allocates from this heap; without it there is nothing to run.
  if (!g_programHeap) ExitProcess(0);
  Runtime_Start();

  String_Assign(&g_program.ballsPath, TEXT16("GFX\\Balls\\"));
  String_Assign(&g_program.starsPath, TEXT16("GFX\\Stars\\"));
  Array_Allocate(4, 50, 21, nullptr, &g_program.ballPool);
  Array_Allocate(4, 12, 21, nullptr, &g_program.starPool);

  // Without its window the program could never be closed, since the close request comes from
  // the window: end at once instead of waiting for an event that cannot come.
  if (!Window_Open(0, 0, 0, 760, 140, kTitle, WINDOW_SYSTEM_MENU | WINDOW_SCREEN_CENTERED))
    exit_program();

  // A folder path that could not be stored (no memory at start-up) would read as the current
  // folder, and every draw would ask for "7.png" there: take it as a folder that cannot be listed.
  bool pathsStored = g_program.ballsPath && g_program.starsPath;
  g_program.folderCheck =
      pathsStored ? (intptr_t)Dir_Examine(0, g_program.ballsPath, TEXT16("*.png*")) : 0;
  if (!g_program.folderCheck) {
    Requester_Message(kTitle, TEXT16("Information. Dossier GFX non trouver."), 0);
    exit_program();
  }
  Dir_Finish(0);

  Slots_Show();
  Gadget_Button(DRAW_BUTTON, 5, 110, 750, 25, TEXT16("Lancer un tirage"));
  // The keyboard works from the first moment: Space presses the button that has the focus,
  // Enter draws as a dialog's default button does, Ctrl+C copies the draw.
  Gadget_SetActive(DRAW_BUTTON);
  Window_AddShortcut(0, 0, VK_RETURN, SHORTCUT_DRAW);
  Window_AddShortcut(0, FCONTROL, 'C', SHORTCUT_COPY);
  History_Install();
  FullScreen_Install();
}

// A press: a draw, then the history window shows it if it is open; during a reveal, the rest
// of the draw being revealed, never another draw.
void press() {
  if (Reveal_Busy()) {
    Reveal_Finish();
    return;
  }
  Draw_Run();
  FullScreen_Drawn();
  History_Refresh();
}

// In full screen a click anywhere draws: on the room's background or on a picture.
bool clickedInRoom() {
  if (!FullScreen_On() || Event_Window() != 0) return false;
  if (g_program.event == EVENT_LEFT_CLICK) return true;
  if (g_program.event != EVENT_GADGET) return false;
  intptr_t gadget = Event_Gadget();
  return gadget >= 1 && gadget <= 8 && Event_Type() == GADGET_EVENT_LEFT_CLICK;
}

// What the main window's display asks: the window's row again, or the room again.
void displayChanged() {
  if (FullScreen_On()) FullScreen_Follow(true);
  else Slots_Show();
}

// The main window's close box ends the program; the history window's closes that window.
bool closing() {
  if (g_program.event != EVENT_CLOSE_WINDOW) return false;
  if (Event_Window() == 0) return true;
  History_Close();
  return false;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  start_up();
  do {
    g_program.event = Event_Wait();
    if (g_program.event == EVENT_GADGET && Event_Gadget() == DRAW_BUTTON) press();
    if (g_program.event == EVENT_GADGET) History_Gadget(Event_Gadget());
    if (clickedInRoom()) press();
    if (g_program.event == EVENT_DISPLAY_CHANGED && Event_Window() == 0) displayChanged();
    if (g_program.event == EVENT_WINDOW_MOVED && Event_Window() == 0) FullScreen_Follow(false);
    if (g_program.event == EVENT_MENU_ITEM) {
      intptr_t command = Event_Menu();
      if (command == SHORTCUT_DRAW || command == FULL_SCREEN_PRESS) press();
      if (command == SHORTCUT_COPY) Draw_Copy();
      if (!FullScreen_Command(command)) History_Command(command);
    }
  } while (!closing());
  exit_program();
}
