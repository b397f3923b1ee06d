// The temporary string area, number text and string variables, driven by a script read from
// the input and checked against a plain model after every step. Each step is one byte of
// operation followed by its operands:
//   0 append a text given in the input      1 append a number (8 bytes)
//   2 append a tail of the text built so far  3 assign the text to a string variable
//   4 assign a variable a tail of its own text 5 append a run of one character
//   6 start over (the text is handed back)    7 compare two texts, with and without case
// A step whose top bit is set runs with its first heap allocation failing: it may then add
// nothing or the mark of a lost piece (or keep a variable's old text), but must leave a
// terminated text; once marked, the text takes no piece until it starts over.
#include <string.h>

#include <string>

#include "runtime/memory.h"
#include "runtime/tempstring.h"

namespace {

struct Reader {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  bool more() const { return at < size; }
  uint8_t byte() { return at < size ? data[at++] : 0; }
  Char16 character() {
    Char16 c = (Char16)(byte() | byte() << 8);
    return c;
  }
  // A text of up to 255 characters; a zero in the input ends it early, as it would in memory.
  std::u16string text() {
    size_t n = byte();
    std::u16string s;
    for (size_t i = 0; i < n && more(); i++) {
      Char16 c = character();
      if (!c) break;
      s.push_back(c);
    }
    return s;
  }
};

std::u16string built(int32_t start) {
  const TempStringArea& area = TempString_Area();
  if (area.end < start) __builtin_trap();
  return std::u16string(TempString_Address(start), (size_t)(area.end - start) / 2);
}

void checkBuilt(int32_t start, const std::u16string& expected) {
  const TempStringArea& area = TempString_Area();
  if ((size_t)(area.end - start) != 2 * expected.size()) __builtin_trap();
  if (memcmp(TempString_Address(start), expected.data(), 2 * expected.size()) != 0)
    __builtin_trap();
  if (*TempString_Address(TempString_Area().end) != 0) __builtin_trap();
}

std::u16string variableText(const Char16* variable) {
  return variable ? std::u16string(variable) : std::u16string();
}

int sign(int v) { return (v > 0) - (v < 0); }

int referenceCompare(const std::u16string& a, const std::u16string& b, bool noCase) {
  auto lower = [noCase](Char16 c) {
    return (noCase && c >= 'A' && c <= 'Z') ? (Char16)(c + 32) : c;
  };
  for (size_t i = 0;; i++) {
    int ca = i < a.size() ? lower(a[i]) : 0;
    int cb = i < b.size() ? lower(b[i]) : 0;
    if (ca != cb || ca == 0) return sign(ca - cb);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TempString_Start();
  Reader in{data, size};
  // The area may already hold an earlier text: build after a short prefix, as callers do.
  TempString_Append(u"prefix");
  const int32_t start = TempString_Area().end;
  std::u16string expected;
  Char16* variable = nullptr;
  std::u16string variableExpected;
  int steps = 0;
  bool marked = false;  // the text lost a piece and takes no more

  while (in.more() && steps++ < 64) {
    uint8_t op = in.byte();
    bool failing = op & 0x80;
    if (failing) Host_FailAllocation(1);
    // Appending tails doubles the text: past a bound every step starts over instead, so that
    // an input stays quick to run.
    if (expected.size() > 40000) op = (uint8_t)((op & 0x80) | 6);
    std::u16string before = expected;
    std::u16string variableBefore = variableExpected;
    const bool addsToText = (op & 7) <= 2 || (op & 7) == 5;
    switch (op & 7) {
      case 0: {
        std::u16string s = in.text();
        TempString_Append(s.c_str());
        expected += s;
        break;
      }
      case 1: {
        uint64_t v = 0;
        for (int i = 0; i < 8; i++) v |= (uint64_t)in.byte() << (8 * i);
        Number_AppendText((int64_t)v, TempString_Area().end);
        std::string digits = std::to_string((int64_t)v);
        expected += std::u16string(digits.begin(), digits.end());
        break;
      }
      case 2: {
        size_t from = expected.empty() ? 0 : in.byte() % (expected.size() + 1);
        TempString_Append(TempString_Address(start + 2 * (int32_t)from));
        expected += expected.substr(from);
        break;
      }
      case 3: {
        // The variable takes the built text, which is terminated where the area ends.
        String_Assign(&variable, TempString_Address(start));
        variableExpected = expected;
        break;
      }
      case 4: {
        size_t n = variableExpected.size();
        size_t from = n ? in.byte() % (n + 1) : 0;
        String_Assign(&variable, variable ? variable + from : nullptr);
        variableExpected = variable ? variableExpected.substr(from) : std::u16string();
        break;
      }
      case 5: {
        // Long enough, now and then, to pass the size above which the area shrinks back.
        // A count of 255 asks for a run past the size above which the area shrinks back (only
        // while the text is short, so that an input stays quick to run).
        size_t n = in.byte();
        n = (n == 255 && expected.size() < 100000) ? 530000 + in.byte() : n * 64 + in.byte();
        Char16 c = in.character();
        if (!c) c = 'z';
        std::u16string s(n, c);
        TempString_Append(s.c_str());
        expected += s;
        break;
      }
      case 6:
        TempString_Area().end = start;
        TempString_Append(nullptr);
        expected.clear();
        break;
      case 7: {
        std::u16string a = in.text(), b = in.text();
        if (sign(Text_Compare(a.c_str(), b.c_str())) != referenceCompare(a, b, false))
          __builtin_trap();
        if (sign(Text_CompareNoCase(a.c_str(), b.c_str())) != referenceCompare(a, b, true))
          __builtin_trap();
        if (Text_Length(a.c_str()) != a.size()) __builtin_trap();
        break;
      }
    }
    if (marked && addsToText) expected = before;
    if (failing) {
      Host_FailAllocation(0);
      // A failed step adds nothing or the mark; one that got its memory (or needed none) adds
      // it all.
      std::u16string actual = built(start);
      if (actual != expected && actual != before && actual != before + u"\u0001") __builtin_trap();
      expected = actual;
      // A variable whose new block cannot be had keeps its old text.
      if (variableText(variable) == variableBefore) variableExpected = variableBefore;
    }
    checkBuilt(start, expected);
    // Only a marked text refuses an empty reservation at its end.
    marked = TempString_Reserve(0, TempString_Area().end) == nullptr;
    if (variableText(variable) != variableExpected) __builtin_trap();
  }

  String_Assign(&variable, nullptr);
  TempString_End();
  return 0;
}
