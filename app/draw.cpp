// The draw: five balls out of 0..49 into slots 1-5, two stars out of 0..11 into slots 7 and 8.
// Its record goes to the journal before anything of it is shown, so that a draw on screen is
// always a draw in the file (unless the file cannot be written, which the user is told).
//
// A pool is refilled with its values in order before every shuffle, so each draw is
// independent of the previous one, and the values at its front are distinct by construction.
// Every file name is built in the temporary string area and released as soon as the picture
// is loaded. A slot always shows its drawn value: its picture, or a card with the value written
// on it when the picture cannot be shown. Each slot's text, which is what a screen reader
// reads, names the value too.
#include "app/draw.h"

#include "app/journal_file.h"
#include "app/slot_picture.h"
#include "gui/gadget.h"
#include "gui/scaling.h"
#include "gui/window.h"
#include "image/image.h"
#include "runtime/random.h"
#include "runtime/tempstring.h"

ProgramState g_program;

namespace {

struct Group {
  const Char16* label;  // a slot's accessible name is the label and the value
  Char16* const* path;
  int32_t* const* pool;
  int32_t poolSize;
  intptr_t placeholder;
  intptr_t firstSlot;  // gadget and image number of the group's first slot
  int32_t slotCount;
  int32_t firstX;
};

const Group kBalls = {
    TEXT16("Boule"), &g_program.ballsPath, &g_program.ballPool, 50, BALL_PLACEHOLDER, 1, 5, 0};
const Group kStars = {
    TEXT16("Étoile"), &g_program.starsPath, &g_program.starPool, 12, STAR_PLACEHOLDER, 7, 2, 550};

// "Boule 33", or "Boule à tirer" before the slot's first draw.
void nameSlot(intptr_t number, const Char16* label, const int32_t* value) {
  int32_t start = TempString_Area().end;
  TempString_Append(label);
  if (value) {
    TempString_Append(TEXT16(" "));
    Number_AppendText((int64_t)*value, TempString_Area().end);
  } else {
    TempString_Append(TEXT16(" à tirer"));
  }
  TempString_Area().end += 2;
  Gadget_SetText(number, TempString_Address(start));
  TempString_Area().end = start;
}

// The resolution of the program's window, which its pictures are loaded for.
int32_t windowDpi() { return Scaling_Of(Window_Handle(0)).x; }

// Creates gadget `number` at (x, 0) showing image `image`, sized to it. The image's handle,
// height and width are read in that order. Returns the creation's result.
intptr_t show_image(intptr_t number, int32_t x, intptr_t image, int32_t dpi) {
  HANDLE handle = (HANDLE)Image_Handle(image);
  int32_t height = Image_Height(image);
  int32_t width = Image_Width(image);
  // The picture is loaded at the window's resolution already: its size in design units, so
  // that the control is made at the size it keeps and covers no neighbour in between.
  return Gadget_Image(number, x, 0, Scaling_ToDesign(width, dpi), Scaling_ToDesign(height, dpi),
                      handle);
}

void show_value(const Group& group, int32_t slot, int32_t value, int32_t dpi) {
  intptr_t number = group.firstSlot + slot;
  int32_t x = group.firstX + SLOT_SPACING * slot;

  intptr_t loaded = Slot_LoadPicture(number, *group.path, &value, dpi);

  g_program.values[number] = value;
  g_program.drawn[number] = true;
  SlotContent& shows = g_program.slots[number];
  // Without its picture (a missing file leaves an earlier draw's picture in image `number`)
  // the slot shows a card with the value, never what it showed before.
  if ((loaded && show_image(number, x, number, dpi)) ||
      (Slot_MakeValueCard(number, group.placeholder, value, dpi) &&
       show_image(number, x, number, dpi))) {
    shows = SLOT_PICTURE;
    nameSlot(number, group.label, &value);
    return;
  }
  // Not even a card could be made: an empty slot rather than a wrong number.
  if (shows != SLOT_NONE) Gadget_Free(number);
  shows = SLOT_NONE;
}

// Refills and shuffles the group's pool; its first values are the draw. Null when the pool's
// allocation failed at start-up: there is nothing to draw from.
const int32_t* pick(const Group& group) {
  int32_t* pool = *group.pool;
  if (!pool) return nullptr;
  for (int32_t i = 0; i < group.poolSize; ++i) pool[i] = i;
  Array_Shuffle(pool);
  return pool;
}

void show(const Group& group, const int32_t* values, int32_t dpi) {
  if (!values) return;
  for (int32_t slot = 0; slot < group.slotCount; ++slot) show_value(group, slot, values[slot], dpi);
}

// Shows the placeholder image in slot `number` at (x, 0), or removes the slot when the
// placeholder is not loaded or the gadget cannot be made.
void show_placeholder(intptr_t number, int32_t x, intptr_t placeholder, int32_t dpi) {
  SlotContent& shows = g_program.slots[number];
  if (Image_Handle(placeholder) && show_image(number, x, placeholder, dpi)) {
    shows = SLOT_PLACEHOLDER;
    nameSlot(number, number < kStars.firstSlot ? kBalls.label : kStars.label, nullptr);
    return;
  }
  if (shows != SLOT_NONE) Gadget_Free(number);
  shows = SLOT_NONE;
}

}  // namespace

void Slots_Show() {
  static const Group* const kGroups[] = {&kBalls, &kStars};
  Slot_ForgetPictures();  // they were made for the display as it was
  int32_t dpi = windowDpi();
  for (const Group* group : kGroups) {
    // A placeholder that can no longer be read goes: never one sized for another resolution.
    if (!Slot_LoadPicture(group->placeholder, *group->path, nullptr, dpi))
      Image_Free(group->placeholder);
    for (int32_t slot = 0; slot < group->slotCount; ++slot) {
      intptr_t number = group->firstSlot + slot;
      int32_t x = group->firstX + SLOT_SPACING * slot;
      if (g_program.drawn[number]) show_value(*group, slot, g_program.values[number], dpi);
      else show_placeholder(number, x, group->placeholder, dpi);
    }
  }
}

void Draw_Run() {
  // Both pools are shuffled first, balls then stars, as the generator has always been asked.
  const int32_t* balls = pick(kBalls);
  const int32_t* stars = pick(kStars);
  JournalWrite write = {};
  if (balls && stars) JournalFile_Append(balls, stars, &write);
  int32_t dpi = windowDpi();
  show(kBalls, balls, dpi);
  show(kStars, stars, dpi);
  JournalFile_Finish(&write);
  JournalFile_Report(write);
}
