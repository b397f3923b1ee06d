// make-fuzz-corpus DIR: writes the seed pictures of every fuzz target under DIR/<target without
// fuzz_>/, with the same writers the tests use, and the text target's step scripts. Small files
// only.
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

#include "tests/support/pictures.h"

using namespace testpics;

namespace {
Bytes png(int type, int depth, bool interlace, bool trns) {
  return samplePng(type, depth, interlace, trns, 5, 4);
}

void put(const std::string& dir, const std::string& name, const Bytes& b) {
  mkdir(dir.c_str(), 0755);
  writeFile(dir + "/" + name, b);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make-fuzz-corpus DIR\n");
    return 2;
  }
  std::string root = argv[1];
  mkdir(root.c_str(), 0755);
  for (const PngKind& p : kPngKinds) {
    std::string name = "t" + std::to_string(p.type) + "d" + std::to_string(p.depth) +
                       (p.interlace ? "i" : "") + (p.trns ? "t" : "") + ".png";
    Bytes b = png(p.type, p.depth, p.interlace, p.trns);
    put(root + "/png", name, b);
    put(root + "/load", name, b);
  }
  Bytes rows(64, 0x5A);
  struct B {
    uint16_t bits;
    uint32_t compression;
  } bmps[] = {{1, 0}, {4, 0}, {8, 0}, {16, 0}, {16, 3}, {24, 0}, {32, 0}, {4, 2}};
  for (const B& b : bmps) {
    std::string name = "b" + std::to_string(b.bits) + "c" + std::to_string(b.compression) + ".bmp";
    put(root + "/bmp", name, sampleBmp(b.bits, b.compression, rows));
    put(root + "/load", name, sampleBmp(b.bits, b.compression, rows));
  }
  Bytes rle = {0x03, 0x01, 0x00, 0x03, 1,    2,    3,    0x00, 0x00, 0x00,
               0x02, 0x01, 0x01, 0x02, 0x02, 0x00, 0x00, 0x00, 0x01};
  put(root + "/bmp", "rle8.bmp", sampleBmp(8, 1, rle));
  put(root + "/load", "rle8.bmp", sampleBmp(8, 1, rle));
  Bytes ico = encodeIcon({{16, 16, 8, iconBitmapImage(16, 16, 8, 0xFF)},
                          {16, 16, 32, iconBitmapImage(16, 16, 32, 0x80FF0000)},
                          {32, 32, 32, iconBitmapImage(32, 32, 32, 0xFF00FF00)}});
  Bytes icoPng = encodeIcon({{0, 0, 32, png(6, 8, false, false)}});
  put(root + "/icon", "three.ico", ico);
  put(root + "/icon", "png.ico", icoPng);
  put(root + "/load", "three.ico", ico);

  // Step scripts for fuzz_text (its steps are described there): a text, a number, a tail of
  // the text, assignments, a long run past the shrinking size, a start-over, comparisons,
  // and the same with failing allocations.
  auto text = [](const char* s) {
    Bytes b{(uint8_t)strlen(s)};
    for (const char* c = s; *c; c++) b.insert(b.end(), {(uint8_t)*c, 0});
    return b;
  };
  auto number = [](int64_t v) {
    Bytes b{1};
    for (int i = 0; i < 8; i++) b.push_back((uint8_t)((uint64_t)v >> (8 * i)));
    return b;
  };
  auto join = [](std::initializer_list<Bytes> parts) {
    Bytes b;
    for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
    return b;
  };
  Bytes t0 = text("C:\\Pictures\\ball"), t1 = text("ABC"), t2 = text("abd");
  t0.insert(t0.begin(), 0);
  t1.insert(t1.begin(), 7);
  put(root + "/text", "append.bin", join({t0, number(42), number(-7), {2, 3}, {3}, {4, 2}}));
  put(root + "/text", "numbers.bin",
      join(
          {number(0), number(INT32_MIN), number(INT64_MIN), number(INT64_MAX), number(1LL << 40)}));
  put(root + "/text", "long.bin", join({{5, 255, 255, 'q', 0}, {6}, t0, {5, 0, 9, 'r', 0}}));
  put(root + "/text", "compare.bin", join({t1, t2, {7, 0, 0}}));
  Bytes failing = join({t0, number(123456789), {3}, {4, 1}});
  for (size_t i = 0; i < failing.size(); i++) {
    if (i == 0 || i == t0.size() || i == t0.size() + 9 || i == t0.size() + 10) failing[i] |= 0x80;
  }
  put(root + "/text", "failing.bin", failing);
  return 0;
}
