// A slot's picture at the window's resolution. A picture file's pixels are design units (a
// 100 x 100 picture fills a 100-unit slot), so above 100 % the picture is resampled once, as it
// is loaded, to the slot's size in pixels. Sharper files may stand beside the plain one, drawn
// for a display scale and named as Windows names scaled resources: "12.scale-200.png" is the
// picture of 12 drawn at twice the size. The best file for the scale is tried first; one that
// cannot be read gives way to the next, then to the plain file.
//
// Resampling costs a millisecond or two a picture, more than the rest of its slot's draw, so a
// resampled picture is kept under its file's name and a later draw of the same value copies it.
// A kept picture stands only while its file keeps the size and the time of last writing it was
// read with, and only at the resolution it was made for: a picture changed on disk shows at the
// next draw, and every picture comes from its file's own pixels. At 96 dpi the files are shown
// as they are and nothing is kept.
#include "app/slot_picture.h"

#include "image/image.h"
#include "runtime/registry.h"
#include "runtime/tempstring.h"

namespace {

const int32_t kQualifiers[] = {125, 150, 200, 300, 400};
const int32_t kQualifierCount = 5;
// The pictures made at their size, kept and on show together: beyond it pictures are not kept.
// Every value at 200 % (62 pictures of 200 x 200), about 50 at 300 %; at a room's 452 x 452 on
// a 3840 x 2160 screen, about 14.
const int32_t kKeptBytesMax = 24 << 20;
// What is on show comes out of the same budget: the seven slots' pictures and the two
// placeholders, and the seven gadgets' copies for drawing, each about the size of the last made.
const int32_t kOnShow = 16;

struct KeptPicture {
  intptr_t image;  // a dynamic image, the picture at the slot's size
  int32_t dpi;
  int32_t bytes;
  DWORD sizeHigh, sizeLow;
  FILETIME written;
};

HashMap* g_kept;      // by file name
int32_t g_keptBytes;  // their pixels' bytes

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

bool sameFile(const KeptPicture& kept, const WIN32_FILE_ATTRIBUTE_DATA& file, int32_t dpi) {
  return kept.dpi == dpi && kept.sizeHigh == file.nFileSizeHigh &&
         kept.sizeLow == file.nFileSizeLow &&
         CompareFileTime(&kept.written, &file.ftLastWriteTime) == 0;
}

// Keeps image `number`, just resampled from file `name`, in place of what that name kept.
void keep(intptr_t number, const Char16* name, const WIN32_FILE_ATTRIBUTE_DATA& file, int32_t dpi) {
  if (!g_kept && !Map_Create(sizeof(KeptPicture), 0, nullptr, &g_kept, 64)) return;
  if (KeptPicture* old = (KeptPicture*)Map_Find(g_kept, name)) {
    Image_Free(old->image);
    g_keptBytes -= old->bytes;
    Map_DeleteCurrent(g_kept);
  }
  // A resampled picture is stored bottom up: its height is positive.
  int64_t size = (int64_t)Image_Width(number) * Image_Height(number) * 4;
  if (size * (1 + kOnShow) > kKeptBytesMax - g_keptBytes) return;
  int32_t bytes = (int32_t)size;  // within the bound
  intptr_t image = Image_Copy(OBJECT_DYNAMIC, number);
  if (!image) return;
  KeptPicture* entry = (KeptPicture*)Map_Add(g_kept, name, 0);
  if (!entry) {
    Image_Free(image);
    return;
  }
  *entry = {image, dpi, bytes, file.nFileSizeHigh, file.nFileSizeLow, file.ftLastWriteTime};
  g_keptBytes += bytes;
}

// Image `number` from file `name`, drawn for `qualifier` percent, at its size at `dpi` (its
// pixels times dpi / 96 / qualifier): kept or read, resampled when its size differs. Its
// handle, or 0 when the file cannot be shown.
intptr_t loadAt(intptr_t number, const Char16* name, int32_t dpi, int32_t qualifier) {
  if (dpi == 96) return Image_LoadWithin(number, name, 0, SLOT_PICTURE_MAX_SIDE);
  WIN32_FILE_ATTRIBUTE_DATA file;
  if (!GetFileAttributesExW(name, GetFileExInfoStandard, &file)) return 0;
  KeptPicture* kept = (KeptPicture*)Map_Find(g_kept, name);
  intptr_t copied = kept && sameFile(*kept, file, dpi) ? Image_Copy(number, kept->image) : 0;
  if (copied) return copied;
  bool resampled = false;
  intptr_t loaded =
      Image_LoadScaled(number, name, SLOT_PICTURE_MAX_SIDE, dpi * 100, qualifier * 96, &resampled);
  if (resampled) keep(number, name, file, dpi);
  return loaded;
}

}  // namespace

void Slot_ForgetPictures() {
  Map_Rewind(g_kept);
  while (KeptPicture* picture = (KeptPicture*)Map_Next(g_kept)) Image_Free(picture->image);
  Map_Free(&g_kept);
  g_keptBytes = 0;
}

int32_t slot_picture_detail::keptCount() { return g_kept ? Map_Count(g_kept) : 0; }

int32_t slot_picture_detail::keptBytes() { return g_keptBytes; }

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

intptr_t Slot_LoadPicture(intptr_t number, const Char16* folder, const int32_t* value,
                          int32_t dpi) {
  int32_t order[6];
  int32_t count = Slot_ScaleOrder(MulDiv(dpi, 100, 96), order);
  for (int32_t i = 0; i < count; i++) {
    int32_t start = TempString_Area().end;
    const Char16* name = fileName(start, folder, value, order[i]);
    intptr_t loaded = loadAt(number, name, dpi, order[i]);
    TempString_Area().end = start;
    if (loaded) return loaded;
  }
  return 0;
}
