// What a long run of draws needs, for the program's soak and for the floor's: the picture
// folder it draws from, and the memory figures it samples.
#pragma once

#include <windows.h>

#include <string>

namespace soak {

// GFX\Balls\0..49.png and vide.png, GFX\Stars\0..11.png and vide.png under `folder`: 100 x 100
// RGBA pictures of one colour each with a clear corner, as the demo pictures are sized.
bool writePictureSet(const std::string& folder);
// Committed private memory, summed over the address space (Wine leaves PrivateUsage at 0).
size_t committedPrivateBytes();
// The bytes of `heap`'s busy blocks.
size_t busyBytes(HANDLE heap);

}  // namespace soak
