// The modal message box, modal to every visible window of the calling thread.
//
// Beyond the platform's own modality (the box disables its owner), the requester disables
// every other visible top-level window of the calling thread while the box is shown and takes
// the thread's topmost windows out of the topmost band so that none covers the box; afterwards
// each window is put back exactly as it was found.
#pragma once

#include "runtime/platform.h"

// One window that the requester set aside: the payload of a node on one process-wide chain,
// newest first. Each record belongs to the thread that made it; only that thread restores it.
struct SuspendedWindow {
  uint32_t threadId;     // GetCurrentThreadId of the thread that made the record
  HWND window;           // the top-level window
  uint8_t wasTopmost;    // it had WS_EX_TOPMOST when recorded
  uint8_t disabledHere;  // the requester disabled it (it was enabled and not in the foreground)
  uint16_t nesting;      // 1 for a requester of its thread, 2 for one shown while that is up...
};

// Shows MessageBoxW(owner, text, title, flags) between DisableWindows and RestoreWindows and
// returns MessageBoxW's result unchanged (IDOK, IDCANCEL, ..., 0 when the box failed).
int Requester_Message(const Char16* title, const Char16* text, uint32_t flags);
// The foreground window if it belongs to the calling process, else null (the box then has no
// owner).
HWND Requester_OwnerWindow();
// Records the calling thread's visible top-level windows, disables those that are enabled and
// not in the foreground, and moves the topmost ones into the normal band.
void Requester_DisableWindows();
// Undoes the calling thread's latest Requester_DisableWindows and removes its records; a
// requester shown while another of the thread is up thus leaves the outer one's windows alone.
void Requester_RestoreWindows();

// The head of the process-wide chain of SuspendedWindow records (null when none is held).
// For tests: read it only while no other thread shows a requester.
SuspendedWindow* Requester_SuspendedHead();
