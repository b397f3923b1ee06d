// The temporary string area, number text and string variables, all on the string heap.
//
// Running out of memory: a reservation that cannot get its space returns null and keeps the
// area's block. A text that lost a piece must not reach its consumer as a shorter text that
// names something else ("7.png" in the current folder instead of "GFX\Balls\7.png"), so the
// area then writes a character that no file name may hold where the piece belonged, steps past
// it, and refuses every further piece until the caller sets the end back below it, as the call
// protocol does with its saved end. A string variable whose new block cannot be had keeps its
// old text. Nothing is ever written through a failed allocation, and a string heap that could
// not be created is never handed to the heap functions.
#include "runtime/tempstring.h"

#include <string.h>

namespace {

const int32_t kStartCapacity = 16;
const int32_t kGrowth = 16384;
const int32_t kBlockSlack = 10;
const int32_t kShrinkAbove = 0x100000;

TempStringArea area;
int32_t blockBytes;  // size of the area's block, so the terminator of a failed append fits

// When even the first 16 bytes cannot be had, the area still has somewhere to keep its
// terminator, and every text built in it comes out empty instead of being read from nowhere.
Char16 fallbackBlock[kStartCapacity / 2];

bool isFallback() { return area.base == fallbackBlock; }

// Stands where a piece of a text was dropped: a control character, which no file or folder
// name may contain and no consumer reads as syntax.
const Char16 kDroppedPiece = 1;
// 0, or the end just past the mark of a text that lost a piece: no piece is added while the
// end has not gone back below it.
int32_t brokenEnd;

bool textIsBroken() {
  if (brokenEnd && area.end < brokenEnd) brokenEnd = 0;  // the caller has restored its saved end
  return brokenEnd != 0;
}

// A piece could not be added: mark the text unusable. The area always keeps 4 bytes after the
// reserved characters, so the mark and its terminator fit behind the text built so far.
void dropPiece() {
  if (textIsBroken() || !area.base || area.end < 0 || area.end + 4 > blockBytes) return;
  Char16* at = TempString_Address(area.end);
  at[0] = kDroppedPiece;
  at[1] = 0;
  area.end += 2;
  brokenEnd = area.end;
}

void terminateAtEnd() {
  if (area.base && area.end >= 0 && area.end + 2 <= blockBytes) *TempString_Address(area.end) = 0;
}

// Moves the area to a block of `bytes` bytes; false, with the area untouched, if none.
bool resizeBlock(int32_t bytes) {
  if (!area.heap) return false;  // the fallback block is all there is
  Char16* block;
  if (isFallback()) {
    block = (Char16*)HeapAlloc(area.heap, 0, (size_t)bytes);
    if (block) memcpy(block, fallbackBlock, sizeof(fallbackBlock));
  } else {
    block = (Char16*)HeapReAlloc(area.heap, 0, area.base, (size_t)bytes);
  }
  if (!block) return false;
  area.base = block;
  blockBytes = bytes;
  return true;
}

// Copies n characters and terminates them; the source's own terminator may be read along,
// since copies move two characters per step.
void copyText(Char16* to, const Char16* from, size_t n) {
  memcpy(to, from, ((n + 1) / 2) * 2 * sizeof(Char16));
  to[n] = 0;
}

}  // namespace

TempStringArea& TempString_Area() { return area; }

void TempString_Start() {
  area.heap = HeapCreate(0, 4096, 0);
  area.base = area.heap ? (Char16*)HeapAlloc(area.heap, 0, kStartCapacity) : nullptr;
  if (!area.base) {
    area.base = fallbackBlock;
    memset(fallbackBlock, 0, sizeof(fallbackBlock));
  }
  blockBytes = kStartCapacity;
  brokenEnd = 0;
  area.end = 0;
  area.capacity = kStartCapacity;
}

void TempString_End() {
  if (area.heap) {
    if (!isFallback()) HeapFree(area.heap, 0, area.base);
    HeapDestroy(area.heap);
  }
  area = TempStringArea();
  blockBytes = 0;
  brokenEnd = 0;
}

Char16* TempString_Reserve(int32_t n, int32_t offset) {
  if (!area.base || n < 0 || offset < 0 || textIsBroken()) return nullptr;
  int64_t need = (int64_t)offset + 2 * (int64_t)n;
  if (need >= area.capacity - 4) {
    int32_t capacity = need > INT32_MAX - kGrowth - kBlockSlack ? 0 : (int32_t)need + kGrowth;
    if (!capacity || !resizeBlock(capacity + kBlockSlack)) {
      dropPiece();
      return nullptr;
    }
    area.capacity = capacity;
  } else if (area.capacity > kShrinkAbove) {
    // A one-off long text does not keep its memory: shrink back, to no less than 1 MiB.
    int32_t capacity = need > kShrinkAbove ? (int32_t)need : kShrinkAbove;
    if (resizeBlock(capacity + kBlockSlack)) area.capacity = capacity;
    // A failed shrink keeps the larger block, which serves just as well.
  }
  area.end = (int32_t)need;
  return TempString_Address(offset);
}

void TempString_GiveBack(int32_t n) { area.end -= 2 * n; }

void TempString_Append(const Char16* text) {
  if (textIsBroken()) return;
  if (!text) {
    terminateAtEnd();
    return;
  }
  size_t n = Text_Length(text);
  if (n > (size_t)INT32_MAX / 2) {
    dropPiece();
    return;
  }
  // A text inside the area itself would move with it: keep it by offset.
  uintptr_t blockStart = (uintptr_t)area.base;
  bool inside =
      (uintptr_t)text >= blockStart && (uintptr_t)text < blockStart + (uintptr_t)blockBytes;
  uintptr_t textOffset = (uintptr_t)text - blockStart;
  int32_t start = area.end;
  Char16* to = TempString_Reserve((int32_t)n, start);
  if (!to) return;
  if (inside) text = (const Char16*)((const char*)area.base + textOffset);
  if (inside) {
    memmove(to, text, n * sizeof(Char16));
    to[n] = 0;
  } else {
    copyText(to, text, n);
  }
}

void Number_AppendText(int64_t value, int32_t offset) {
  Char16 digits[32];
  int count = 0;
  bool negative = value < 0;
  if (value >= INT32_MIN && value <= INT32_MAX) {
    Char16* to = TempString_Reserve(32, offset);
    if (!to) return;
    int32_t v = (int32_t)value;
    int written = 0;
    if (v == 0) {
      to[written++] = '0';
    } else {
      if (negative) to[written++] = '-';
      if (v == INT32_MIN) {
        // Its negation does not fit in 32 bits.
        static const char kMinDigits[] = "2147483648";
        for (const char* c = kMinDigits; *c; c++) to[written++] = (Char16)*c;
      } else {
        if (negative) v = -v;
        while (v) {
          digits[count++] = (Char16)('0' + v % 10);
          v /= 10;
        }
        while (count) to[written++] = digits[--count];
      }
    }
    TempString_GiveBack(32 - written);
    to[written] = 0;
    return;
  }

  Char16* to = TempString_Reserve(64, offset);
  if (!to) return;
  int written = 0;
  uint64_t magnitude = (uint64_t)value;
  if (negative) {
    to[written++] = '-';
    magnitude = 0 - magnitude;  // two's complement: the most negative value comes out right
  }
  while (magnitude) {
    digits[count++] = (Char16)('0' + magnitude % 10);
    magnitude /= 10;
  }
  while (count) to[written++] = digits[--count];
  to[written] = 0;
  TempString_GiveBack(64 - written);
}

void String_Assign(Char16** variable, const Char16* text) {
  if (!variable) return;
  if (!area.heap) {
    // No string heap: no variable can hold a text, and none holds a block to free.
    *variable = nullptr;
    return;
  }
  if (!text) {
    if (*variable) HeapFree(area.heap, 0, *variable);
    *variable = nullptr;
    return;
  }
  size_t n = Text_Length(text);
  if (n > (SIZE_MAX - kBlockSlack) / 2) return;
  size_t bytes = 2 * n + kBlockSlack;
  Char16* old = *variable;
  // Assigning a variable (a part of) its own text: bring the text to the front of the block
  // first, where a shrinking reallocation keeps it.
  if (old && (uintptr_t)text >= (uintptr_t)old &&
      (uintptr_t)text < (uintptr_t)old + HeapSize(area.heap, 0, old)) {
    memmove(old, text, (n + 1) * sizeof(Char16));
    Char16* block = (Char16*)HeapReAlloc(area.heap, 0, old, bytes);
    if (block) *variable = block;  // on failure the old, larger block holds the text already
    return;
  }
  Char16* block = old ? (Char16*)HeapReAlloc(area.heap, 0, old, bytes)
                      : (Char16*)HeapAlloc(area.heap, 0, bytes);
  if (!block) return;  // the variable keeps its old text
  copyText(block, text, n);
  *variable = block;
}
