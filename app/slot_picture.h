// A slot's picture at its window's resolution (slot_picture.cpp) and, when the picture cannot be
// shown, the value card (slot_card.cpp).
#pragma once

#include "runtime/platform.h"

// The largest picture a slot shows, a side: the window is 760 x 140, and a larger picture
// would only cost memory (twice its pixels, with the blending copy) and time to decode.
const int32_t SLOT_PICTURE_MAX_SIDE = 1024;

// Loads the picture of `value` ("N.png"), or the placeholder ("vide.png") when value is null,
// from `folder` into image `number`, at the size it is shown at `dpi`: above 96 from the best of
// the files drawn for a scale ("N.scale-200.png"), resampled from that file's own pixels. The
// image's handle, or 0 when no candidate file could be shown (image `number` may then hold
// anything: the caller replaces it).
intptr_t Slot_LoadPicture(intptr_t number, const Char16* folder, const int32_t* value, int32_t dpi);
// Forgets every picture kept at its resampled size (the resolution changed).
void Slot_ForgetPictures();
// The scale qualifiers tried at a display scale in percent, best first, the plain file (100)
// last; their count.
int32_t Slot_ScaleOrder(int32_t scale, int32_t order[6]);

// Makes image `number` a card showing `value` on the placeholder image (a plain card without
// one) at `dpi`; its handle, or 0 when it cannot be made.
intptr_t Slot_MakeValueCard(intptr_t number, intptr_t placeholder, int32_t value, int32_t dpi);

namespace slot_picture_detail {
// The pictures kept at their resampled size, and their pixels' bytes.
int32_t keptCount();
int32_t keptBytes();
}  // namespace slot_picture_detail
