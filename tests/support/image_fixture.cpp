#include "tests/support/image_fixture.h"

void ImageLibraryTest::SetUp() {
  RuntimeCoreTest::SetUp();
  ImageDecoder_Start();
  BmpDecoder_Register();
  Image_Start();
  PngDecoder_Register();
}

void ImageLibraryTest::TearDown() {
  Image_End();
  RuntimeCoreTest::TearDown();
}

std::basic_string<Char16> path16(const std::string& path) {
  std::basic_string<Char16> out;
  for (char c : path) out.push_back((Char16)(unsigned char)c);
  return out;
}

uint32_t pixelAt(const BitmapView& view, int x, int y) {
  const uint8_t* row = BitmapView_Row(view, y);
  if (view.bitCount == 32) {
    const uint8_t* p = row + 4 * x;
    return (uint32_t)p[3] << 24 | (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
  }
  const uint8_t* p = row + 3 * x;
  return (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
}

BitmapView viewOf(intptr_t number) {
  BitmapView view = {};
  EXPECT_TRUE(Bitmap_Describe((HANDLE)Image_Handle(number), &view)) << "image " << number;
  return view;
}
