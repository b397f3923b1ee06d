// Damaged and hostile picture files, made from good ones, for the bad-picture tests (unit and
// soak). PNG files are edited chunk by chunk, with the CRC made right again unless the case
// is the CRC itself.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "tests/support/pictures.h"

namespace badpics {

struct Chunk {
  size_t offset;  // of its length field
  uint32_t length;
  std::string type;
};
std::vector<Chunk> chunksOf(const Bytes& png);
// The file with the CRC of the chunk at `offset` recomputed.
void fixCrc(Bytes& png, size_t offset);
// The file with its IHDR width and height replaced (CRC made right).
Bytes withSize(const Bytes& png, uint32_t width, uint32_t height);
// The file with a chunk of `type` and `data` inserted after IHDR; `goodCrc` false spoils its CRC.
Bytes withChunkAfterHeader(const Bytes& png, const std::string& type, const Bytes& data,
                           bool goodCrc);
// The file with one byte of the first chunk of `type` flipped, CRC left as it was.
Bytes withBadCrc(const Bytes& png, const std::string& type);

// A small good RGB PNG (5 x 4) and an RGBA one of any width, one row high.
Bytes goodPng();
Bytes wideRgbaPng(int width);

struct Case {
  std::string name;
  Bytes bytes;
  bool loads;  // the loader accepts it (natively; an icon named .png loads only on Windows)
};
// Every file-content case of the matrix that a folder of pictures can hold.
std::vector<Case> folderCases();

}  // namespace badpics
