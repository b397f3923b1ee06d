// The temporary string area, number text and string variables, all on the string heap.
//
// Running out of memory: a reservation that cannot get its space returns null and leaves the
// area as it was (same block, same end). The appending operations then add nothing but still
// leave a terminator at the end, so the text built so far is a valid, shortened text. A string
// variable whose new block cannot be had keeps its old text. Nothing is ever written through
// a failed allocation.
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

void terminateAtEnd() {
  if (area.base && area.end >= 0 && area.end + 2 <= blockBytes) *TempString_Address(area.end) = 0;
}

// Moves the area to a block of `bytes` bytes; false, with the area untouched, if none.
bool resizeBlock(int32_t bytes) {
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
}

Char16* TempString_Reserve(int32_t n, int32_t offset) {
  if (!area.base || n < 0 || offset < 0) return nullptr;
  int64_t need = (int64_t)offset + 2 * (int64_t)n;
  if (need >= area.capacity - 4) {
    if (need > INT32_MAX - kGrowth - kBlockSlack) return nullptr;
    int32_t capacity = (int32_t)need + kGrowth;
    if (!resizeBlock(capacity + kBlockSlack)) return nullptr;
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
  if (!text) {
    terminateAtEnd();
    return;
  }
  size_t n = Text_Length(text);
  if (n > (size_t)INT32_MAX / 2) {
    terminateAtEnd();
    return;
  }
  // A text inside the area itself would move with it: keep it by offset.
  uintptr_t blockStart = (uintptr_t)area.base;
  bool inside = (uintptr_t)text >= blockStart && (uintptr_t)text < blockStart + (uintptr_t)blockBytes;
  uintptr_t textOffset = (uintptr_t)text - blockStart;
  int32_t start = area.end;
  Char16* to = TempString_Reserve((int32_t)n, start);
  if (!to) {
    terminateAtEnd();
    return;
  }
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
    if (!to) {
      terminateAtEnd();
      return;
    }
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
  if (!to) {
    terminateAtEnd();
    return;
  }
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
  Char16* block = old ? (Char16*)HeapReAlloc(area.heap, 0, old, bytes) : (Char16*)HeapAlloc(area.heap, 0, bytes);
  if (!block) return;  // the variable keeps its old text
  copyText(block, text, n);
  *variable = block;
}
