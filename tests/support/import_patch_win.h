// Redirects one of this program's imports from kernel32, so that a test sees exactly what the
// code under test asked of the platform.
#pragma once

// Points this program's import of kernel32!`name` at `replacement`; returns the old target, or
// null when the program does not import that function.
void* patchImport(const char* name, void* replacement);
