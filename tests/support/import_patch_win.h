// Redirects one of this program's imports from a system library, so that a test sees exactly what
// the code under test asked of the platform.
#pragma once

// Points this program's import of module!`name` at `replacement`; returns the old target, or
// null when the program does not import that function.
void* patchImport(const char* name, void* replacement, const char* module = "kernel32.dll");
