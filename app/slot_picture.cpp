// A slot's picture at the window's resolution. A picture file's pixels are design units (a
// 100 x 100 picture fills a 100-unit slot), so above 100 % the picture is resampled once, as it
// is loaded, to the slot's size in pixels. Sharper files may stand beside the plain one, drawn
// for a display scale and named as Windows names scaled resources: "12.scale-200.png" is the
// picture of 12 drawn at twice the size. The best file for the scale is tried first; one that
// cannot be read gives way to the next, then to the plain file.
#include "app/draw.h"

#include "gui/scaling.h"
#include "image/image.h"
#include "runtime/tempstring.h"

namespace {

const int32_t kQualifiers[] = {125, 150, 200, 300, 400};
const int32_t kQualifierCount = 5;

// "GFX\Balls\12.scale-200.png", or "...\vide.png", in the string area from `start`.
const Char16* fileName(int32_t start, const Char16* folder, const int32_t* value,
                       int32_t qualifier) {
  TempString_Append(folder);
  if (value) Number_AppendText((int64_t)*value, TempString_Area().end);
  else TempString_Append(TEXT16("vide"));
  if (qualifier != 100) {
    TempString_Append(TEXT16(".scale-"));
    Number_AppendText((int64_t)qualifier, TempString_Area().end);
  }
  TempString_Append(TEXT16(".png"));
  TempString_Area().end += 2;  // the terminator belongs to the name
  return TempString_Address(start);
}

// A file drawn for `qualifier` percent shown at `dpi`: its pixels times dpi / 96 / qualifier.
int32_t shownSize(int32_t pixels, int32_t dpi, int32_t qualifier) {
  return MulDiv(pixels, dpi * 100, qualifier * 96);
}

}  // namespace

int32_t Slot_ScaleOrder(int32_t scale, int32_t order[6]) {
  int32_t count = 0;
  if (scale > 100) {
    // The smallest drawn at or above the scale is shrunk least; failing those, the largest.
    for (int32_t i = 0; i < kQualifierCount; i++)
      if (kQualifiers[i] >= scale) order[count++] = kQualifiers[i];
    for (int32_t i = kQualifierCount - 1; i >= 0; i--)
      if (kQualifiers[i] < scale) order[count++] = kQualifiers[i];
  }
  order[count++] = 100;
  return count;
}

intptr_t Slot_LoadPicture(intptr_t number, const Char16* folder, const int32_t* value) {
  int32_t dpi = Scaling_Dpi();
  int32_t order[6];
  int32_t count = Slot_ScaleOrder(MulDiv(dpi, 100, 96), order);
  for (int32_t i = 0; i < count; i++) {
    int32_t start = TempString_Area().end;
    const Char16* name = fileName(start, folder, value, order[i]);
    intptr_t loaded = Image_LoadWithin(number, name, 0, SLOT_PICTURE_MAX_SIDE);
    TempString_Area().end = start;
    if (!loaded) continue;
    int32_t width = Image_Width(number);
    int32_t height = Image_Height(number);
    if (height < 0) height = -height;  // a top-down BMP
    int32_t shownWidth = shownSize(width, dpi, order[i]);
    int32_t shownHeight = shownSize(height, dpi, order[i]);
    if (shownWidth == width && shownHeight == height) return loaded;
    if (shownWidth > 0 && shownHeight > 0 && Image_Resize(number, shownWidth, shownHeight))
      return Image_Handle(number);
  }
  return 0;
}
