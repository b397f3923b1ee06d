// A slot's picture at the window's resolution. A picture file's pixels are design units (a
// 100 x 100 picture fills a 100-unit slot), so above 100 % the picture is resampled once, as it
// is loaded, to the slot's size in pixels. Sharper files may stand beside the plain one, drawn
// for a display scale and named as Windows names scaled resources: "12.scale-200.png" is the
// picture of 12 drawn at twice the size. The best file for the scale is tried first; one that
// cannot be read gives way to the next, then to the plain file.
//
// A name that is not there costs a failed open, which is dear (under Wine a look through the
// whole folder for a name in another case): five of them a slot at 150 %, where a set of
// plain files is the rule. So a group of loads made together (a draw's slots, every slot after
// a display change) lists the folder's scaled files once beforehand, and its loads try only
// the names the listing found, in the same order; a file listed but unreadable still gives way
// to the next. The listing lives only for that group of loads: a file added later is seen by
// the next one.
#include "app/draw.h"

#include "gui/scaling.h"
#include "image/image.h"
#include "runtime/tempstring.h"

namespace {

const int32_t kQualifiers[] = {125, 150, 200, 300, 400};
const int32_t kQualifierCount = 5;

// The scaled files of one folder: for values 0..kListedValues-1 and the placeholder (the last
// entry), bit i set when the folder holds the file for kQualifiers[i]. A value beyond them is
// not listed: all its names are tried.
const int32_t kListedValues = 64;
struct Listing {
  const Char16* folder;  // null: no listing, every name is tried
  uint8_t present[kListedValues + 1];
};
Listing listing;

// A lowercase ASCII letter for the comparisons of file names, which ignore case.
Char16 lower(Char16 c) { return c >= 'A' && c <= 'Z' ? (Char16)(c + 32) : c; }

// Reads the decimal number at `text` as fileName writes one (no sign, no leading zero); -1 if
// there is none or it is above `limit`.
int32_t number(const Char16** text, int32_t limit) {
  const Char16* at = *text;
  int32_t value = 0;
  int32_t digits = 0;
  for (; *at >= '0' && *at <= '9'; at++, digits++) {
    if (digits > 0 && value == 0) return -1;  // "07": not a name fileName writes
    value = value * 10 + (*at - '0');
    if (value > limit) return -1;
  }
  *text = at;
  return digits ? value : -1;
}

// True when `text` starts with the lowercase ASCII `word`, in any case; `text` then past it.
bool skip(const Char16** text, const char* word) {
  const Char16* at = *text;
  for (; *word; word++, at++)
    if (lower(*at) != *word) return false;
  *text = at;
  return true;
}

// The listing's entry and qualifier bit of a name "12.scale-200.png" or "vide.scale-150.png".
bool parseScaled(const Char16* name, int32_t* entry, uint8_t* bit) {
  int32_t value = skip(&name, "vide") ? kListedValues : number(&name, kListedValues - 1);
  if (value < 0 || !skip(&name, ".scale-")) return false;
  int32_t qualifier = number(&name, 400);
  if (!skip(&name, ".png") || *name) return false;
  for (int32_t i = 0; i < kQualifierCount; i++)
    if (kQualifiers[i] == qualifier) {
      *entry = value;
      *bit = (uint8_t)(1u << i);
      return true;
    }
  return false;
}

// False when the listing of `folder` shows that the file for `qualifier` is not there.
bool mayBeThere(const Char16* folder, const int32_t* value, int32_t qualifier) {
  if (qualifier == 100 || !listing.folder || lstrcmpiW(listing.folder, folder) != 0) return true;
  int32_t entry = value ? *value : kListedValues;
  if (entry < 0 || entry > kListedValues || (value && entry == kListedValues)) return true;
  for (int32_t i = 0; i < kQualifierCount; i++)
    if (kQualifiers[i] == qualifier) return (listing.present[entry] >> i & 1) != 0;
  return true;
}

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

void Slot_ListFolder(const Char16* folder) {
  listing.folder = nullptr;
  if (MulDiv(Scaling_Dpi(), 100, 96) <= 100) return;  // only the plain file is tried
  int32_t start = TempString_Area().end;
  TempString_Append(folder);
  TempString_Append(TEXT16("*.scale-*.png"));
  TempString_Area().end += 2;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(TempString_Address(start), &found);
  TempString_Area().end = start;
  for (uint8_t& bits : listing.present) bits = 0;
  if (search == INVALID_HANDLE_VALUE) {
    // None there is a listing; a folder that cannot be read is left to the loads themselves.
    if (GetLastError() == ERROR_FILE_NOT_FOUND) listing.folder = folder;
    return;
  }
  do {
    int32_t entry;
    uint8_t bit;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        parseScaled(found.cFileName, &entry, &bit))
      listing.present[entry] |= bit;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  listing.folder = folder;
}

void Slot_ForgetListing() { listing.folder = nullptr; }

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
    if (!mayBeThere(folder, value, order[i])) continue;
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
