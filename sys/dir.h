// Directory examination: an open search of one directory with a file-name pattern.
#pragma once

#include "runtime/platform.h"

void* Dir_Examine(intptr_t number, const Char16* path, const Char16* pattern);
void Dir_Finish(intptr_t number);
void Dir_End();
