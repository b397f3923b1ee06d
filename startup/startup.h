// The runtime's start and end sequences: every library starts and ends in one fixed order.
// They name every library of the stack (runtime, image, gui, sys), so they live above all of
// them. The entry point calls them, and so do the soak test and the draw benchmark, which stand
// the program up as the entry point does.
#pragma once

void Runtime_Start();
void Runtime_End();

// The routines each sequence runs, in their order, so that a test can read the order the
// sequences really follow.
using StartupRoutine = void (*)();
struct StartupRoutines {
  const StartupRoutine* routines;
  int count;
};
StartupRoutines Runtime_StartRoutines();
StartupRoutines Runtime_EndRoutines();
