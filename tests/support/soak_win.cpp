// See soak_win.h.
#include "tests/support/soak_win.h"

#include "tests/support/pictures.h"

namespace soak {

namespace {

const int kBallCount = 50;
const int kStarCount = 12;

// RGBA with a clear corner, or opaque RGB.
Bytes picture(uint32_t rgb, bool alpha = true) {
  testpics::PngSpec s;
  s.width = 100;
  s.height = 100;
  s.colourType = alpha ? 6 : 2;
  for (int y = 0; y < s.height; y++) {
    Bytes row;
    for (int x = 0; x < s.width; x++) {
      row.insert(row.end(), {(uint8_t)(rgb >> 16), (uint8_t)(rgb >> 8), (uint8_t)rgb});
      if (alpha) row.push_back(x + y < 20 ? 0 : 255);
    }
    s.rows.push_back(row);
  }
  return testpics::encodePng(s);
}

}  // namespace

bool writePictureSet(const std::string& folder) {
  CreateDirectoryA((folder + "GFX").c_str(), nullptr);
  bool ok = true;
  for (const char* group : {"Balls", "Stars"}) {
    std::string dir = folder + "GFX\\" + group + "\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    int count = group[0] == 'B' ? kBallCount : kStarCount;
    for (int i = 0; i < count; i++)
      ok = ok && testpics::writeFile(dir + std::to_string(i) + ".png",
                                     picture(0x101010u * (uint32_t)(i + 1)));
    // Each group's placeholder a colour of its own, so that a card shows whose it is on; the
    // balls' one opaque, the stars' one with a clear corner.
    bool balls = group[0] == 'B';
    ok = ok && testpics::writeFile(dir + "vide.png",
                                   picture(balls ? kBallPlaceholder : kStarPlaceholder, !balls));
  }
  return ok;
}

size_t committedPrivateBytes() {
  size_t total = 0;
  MEMORY_BASIC_INFORMATION region;
  const char* at = nullptr;
  while (VirtualQuery(at, &region, sizeof region) == sizeof region) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    const char* next = (const char*)region.BaseAddress + region.RegionSize;
    if (next <= at) break;
    at = next;
  }
  return total;
}

size_t busyBytes(HANDLE heap) {
  size_t total = 0;
  if (!heap || !HeapLock(heap)) return 0;
  PROCESS_HEAP_ENTRY entry = {};
  while (HeapWalk(heap, &entry))
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
  HeapUnlock(heap);
  return total;
}

}  // namespace soak
