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

// The resolution of the program's window.
int32_t windowDpi() { return Scaling_Of(Window_Handle(0)).x; }

// The slots in the order a draw is revealed.
const intptr_t kOrder[7] = {1, 2, 3, 4, 5, 7, 8};

// The layout in force: the room's while full screen, else the window's own row at its
// resolution, slots 110 units apart along the top edge.
SlotLayout layout() {
  if (g_program.room.pictureDpi) return g_program.room;
  SlotLayout row = {windowDpi(), {}};
  for (intptr_t number : kOrder) {
    int32_t design = number < kStars.firstSlot
                         ? SLOT_SPACING * (int32_t)(number - 1)
                         : kStars.firstX + SLOT_SPACING * (int32_t)(number - 7);
    row.at[number] = POINT{Scaling_ToPixels(design, row.pictureDpi), 0};
  }
  return row;
}

// Creates gadget `number` at its place in the layout showing image `image`, sized to it. The
// image's handle, height and width are read in that order. Returns the creation's result.
intptr_t show_image(intptr_t number, const SlotLayout& l, intptr_t image) {
  HANDLE handle = (HANDLE)Image_Handle(image);
  int32_t height = Image_Height(image);
  int32_t width = Image_Width(image);
  // The picture is made at its size already: the control is asked for at that size in design
  // units, so that it covers no neighbour in between.
  int32_t dpi = windowDpi();
  POINT at = l.at[number];
  int32_t x = Scaling_ToDesign(at.x, dpi), y = Scaling_ToDesign(at.y, dpi);
  intptr_t made = Gadget_Image(number, x, y, Scaling_ToDesign(width, dpi),
                               Scaling_ToDesign(height, dpi), handle);
  // Design units cannot name every pixel above 96 dpi; the room's places are pixels.
  if (made && (Scaling_ToPixels(x, dpi) != at.x || Scaling_ToPixels(y, dpi) != at.y))
    SetWindowPos((HWND)made, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return made;
}

// Image NUMBER holds its drawn value made at the layout's resolution, ready to be revealed.
bool g_ready[9];

// Shows the drawn value in slot NUMBER: image NUMBER made for it (unless it is ready), then the
// gadget around it.
void show_value(const Group& group, intptr_t number, int32_t value, const SlotLayout& l) {
  int32_t dpi = l.pictureDpi;
  bool made = g_ready[number] || Slot_LoadPicture(number, *group.path, &value, dpi);
  g_ready[number] = false;

  g_program.values[number] = value;
  g_program.drawn[number] = true;
  SlotContent& shows = g_program.slots[number];
  // Without its picture (a missing file leaves an earlier draw's picture in image `number`)
  // the slot shows a card with the value, never what it showed before.
  if ((made && show_image(number, l, number)) ||
      (Slot_MakeValueCard(number, group.placeholder, value, dpi) &&
       show_image(number, l, number))) {
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

// Shows the placeholder image in slot `number`, or removes the slot when the placeholder is not
// loaded or the gadget cannot be made.
void show_placeholder(intptr_t number, intptr_t placeholder, const SlotLayout& l) {
  SlotContent& shows = g_program.slots[number];
  if (Image_Handle(placeholder) && show_image(number, l, placeholder)) {
    shows = SLOT_PLACEHOLDER;
    nameSlot(number, number < kStars.firstSlot ? kBalls.label : kStars.label, nullptr);
    return;
  }
  if (shows != SLOT_NONE) Gadget_Free(number);
  shows = SLOT_NONE;
}

const Group& groupOf(intptr_t number) { return number < kStars.firstSlot ? kBalls : kStars; }

// Slot NUMBER as the draw stands: its value once drawn and revealed, else its placeholder.
void showSlot(int32_t position, const SlotLayout& l) {
  intptr_t number = kOrder[position];
  const Group& group = groupOf(number);
  if (g_program.drawn[number] && position < 7 - g_program.hidden)
    show_value(group, number, g_program.values[number], l);
  else show_placeholder(number, group.placeholder, l);
}

// Every slot at the layout in force, each group's placeholder made first at its resolution.
void showAll() {
  SlotLayout l = layout();
  for (bool& ready : g_ready) ready = false;  // made for the layout as it was
  for (int32_t position = 0; position < 7; ++position) {
    const Group& group = groupOf(kOrder[position]);
    // A placeholder that can no longer be read goes: never one sized for another resolution.
    if (kOrder[position] == group.firstSlot &&
        !Slot_LoadPicture(group.placeholder, *group.path, nullptr, l.pictureDpi))
      Image_Free(group.placeholder);
    showSlot(position, l);
  }
}

// Keeps the draw's values; the slots show them unless they are to be revealed.
void remember(const int32_t* balls, const int32_t* stars) {
  for (int32_t position = 0; position < 7; ++position) {
    intptr_t number = kOrder[position];
    g_program.values[number] = position < 5 ? balls[position] : stars[position - 5];
    g_program.drawn[number] = true;
  }
}

// The draw's record number and date for the full-screen caption; the time it was drawn when
// it was not recorded.
void noteRecord(const JournalWrite& write) {
  g_program.record = write.number;
  if (write.number) g_program.drawnAt = write.date;
  else GetLocalTime(&g_program.drawnAt);
}

}  // namespace

void Slots_Show() {
  Slot_ForgetPictures();  // they were made for the display as it was
  showAll();
}

void Slots_Arrange() { showAll(); }

bool Slots_Reveal(int32_t count) {
  SlotLayout l = layout();
  for (; count > 0 && g_program.hidden > 0; --count) {
    g_program.hidden--;
    showSlot(6 - g_program.hidden, l);
  }
  return g_program.hidden > 0;
}

void Draw_Run() {
  // Both pools are shuffled first, balls then stars, as the generator has always been asked.
  const int32_t* balls = pick(kBalls);
  const int32_t* stars = pick(kStars);
  // Nothing to draw from (no memory at start-up): the slots stay as they are.
  if (!balls || !stars) return;
  JournalWrite write = {};
  JournalFile_Append(balls, stars, &write);
  noteRecord(write);
  remember(balls, stars);
  if (g_program.revealing) {
    // A draw shown in part is a draw recorded: on disk before its first value shows.
    JournalFile_Finish(&write);
    g_program.hidden = 7;
    showAll();
    // With every slot on its placeholder, no gadget shows an image about to be made again: the
    // values are made now, and revealing one only shows it.
    SlotLayout l = layout();
    for (intptr_t number : kOrder) {
      const Group& group = groupOf(number);
      int32_t value = g_program.values[number];
      g_ready[number] = Slot_LoadPicture(number, *group.path, &value, l.pictureDpi) ||
                        Slot_MakeValueCard(number, group.placeholder, value, l.pictureDpi);
    }
  } else {
    g_program.hidden = 0;
    SlotLayout l = layout();
    for (int32_t position = 0; position < 7; ++position) showSlot(position, l);
    JournalFile_Finish(&write);
  }
  JournalFile_Report(write);
}
