// The modal message box, modal to every visible window of the calling thread.
#pragma once

#include "runtime/platform.h"

int Requester_Message(const Char16* title, const Char16* text, uint32_t flags);
