// What a long run of draws needs, for the program's soak and for the floor's: the picture
// folder it draws from, and the memory figures it samples.
#pragma once

#include <windows.h>

#include <string>

namespace soak {

// The placeholders' colours (0xRRGGBB): light, and different from each other.
const unsigned kBallPlaceholder = 0xC0C0C0;
const unsigned kStarPlaceholder = 0xA0C8F0;

// GFX\Balls\0..49.png and vide.png, GFX\Stars\0..11.png and vide.png under `folder`: 100 x 100
// RGBA pictures of one colour each with a clear corner, as the demo pictures are sized (the
// balls' vide.png opaque RGB).
bool writePictureSet(const std::string& folder);
// Committed private memory, summed over the address space (Wine leaves PrivateUsage at 0).
size_t committedPrivateBytes();
// The bytes of `heap`'s busy blocks.
size_t busyBytes(HANDLE heap);

}  // namespace soak
