// Object accounting: the runtime's own count of the platform objects it creates and destroys
// (bitmaps, icons, fonts, device contexts, windows and controls). The platform's own counters
// are not to be relied on everywhere (Wine's GetGuiResources answers 0), so tests and the soak
// read these. Counting only: nothing here changes what the runtime does.
#pragma once

#include <stdint.h>

enum AccountKind {
  ACCOUNT_BITMAP,
  ACCOUNT_ICON,
  ACCOUNT_FONT,
  ACCOUNT_DC,
  ACCOUNT_WINDOW,   // top-level windows, the hidden event window among them
  ACCOUNT_CONTROL,  // gadget controls
  ACCOUNT_KINDS
};

void Account_Created(AccountKind kind);
void Account_Deleted(AccountKind kind);
int64_t Account_Live(AccountKind kind);  // created minus deleted
int64_t Account_Created_Total(AccountKind kind);
