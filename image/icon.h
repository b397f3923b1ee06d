// Icon files: the directory choice (platform-free) and the platform icon made from the
// chosen image.
#pragma once

#include "runtime/platform.h"

// The image chosen from an icon file's directory. Every field comes from the directory entry;
// the chosen image's bytes lie wholly inside the data.
struct IconChoice {
  uint32_t index;     // entry number
  uint32_t width;     // entry width byte, 0 standing for 256
  uint32_t height;    // entry height byte, 0 standing for 256
  uint32_t bitCount;  // entry bit count
  uint32_t offset;    // image offset from the start of the file
  uint32_t bytes;     // image size
  bool png;           // the image is PNG-compressed (no BITMAPINFOHEADER in front)
};

// Recognises an icon file and chooses its image: entry 0 unless a later entry of the same
// width and height bytes has a strictly greater bit count (the first such wins on ties).
// 0 when the data is no icon file, has no entries, its directory does not fit in the data,
// or the chosen image does not lie inside the data (or is too short to hold its header).
int IconDirectory_Choose(const uint8_t* data, uint32_t size, IconChoice* choice);

// A platform icon from the chosen image of an icon file, or 0 (always 0 in native builds,
// which have no icons).
HICON Icon_FromMemory(const uint8_t* data, uint32_t size);
