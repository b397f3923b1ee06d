// The temporary string area (one growable buffer in which joined texts are built and handed
// over by address) and string variables (longer-lived texts on the string heap).
//
// Call protocol for a joined text passed to an operation:
//   int32_t start = TempString_Area().end;
//   TempString_Append(path); Number_AppendText(value, TempString_Area().end); ...
//   TempString_Area().end += 2;                       // the terminator belongs to the text
//   Char16* text = TempString_Address(start);         // only now: appends may move the area
//   Consumer(text);
//   TempString_Area().end = start;
// A piece that cannot get its memory leaves a mark (character 1, which no file name may hold)
// in its place, and the text takes no further piece until the end is set back below the mark:
// a name that lost a piece names nothing.
#pragma once

#include "runtime/platform.h"

struct TempStringArea {
  HANDLE heap;       // the string heap
  Char16* base;      // start of the area's block; moves when the block is reallocated
  int32_t end;       // byte offset where the next text is written
  int32_t capacity;  // usable bytes; the block is capacity + 10 bytes after any reallocation
};

TempStringArea& TempString_Area();
inline Char16* TempString_Address(int32_t offset) {
  return (Char16*)((char*)TempString_Area().base + offset);
}

void TempString_Start();
void TempString_End();
Char16* TempString_Reserve(int32_t n, int32_t offset);
void TempString_GiveBack(int32_t n);
void TempString_Append(const Char16* text);
void Number_AppendText(int64_t value, int32_t offset);

// A string variable is null (the empty text) or a block on the string heap.
void String_Assign(Char16** variable, const Char16* text);
