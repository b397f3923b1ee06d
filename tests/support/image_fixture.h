// The image library stood up as the runtime's start sequence does it (decoder table, BMP,
// image registry, PNG), on top of the program heap; ended and the heap dropped after each test.
#pragma once

#include <string>

#include "image/image.h"
#include "runtime/platform.h"
#include "tests/support/pictures.h"
#include "tests/support/runtime_fixture.h"

class ImageLibraryTest : public RuntimeCoreTest {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// A narrow path as the loader's UTF-16 file name (ASCII paths only).
std::basic_string<Char16> path16(const std::string& path);

#include "image/bitmap.h"

// The pixel at column x of picture row y (0 = top) of a described bitmap: 0xRRGGBB for
// 24-bit bitmaps, 0xAARRGGBB for 32-bit ones.
uint32_t pixelAt(const BitmapView& view, int x, int y);
// The described bitmap of image `number`; fails the test if there is none.
BitmapView viewOf(intptr_t number);
