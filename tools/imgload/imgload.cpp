// imgload FILE [--out OUT.pam]
//
// Loads FILE with Image_Load, the call the program makes, and prints
//   format=F width=W height=H depth=D source_depth=S
// with W and H as Image_Width and Image_Height return them (a side of 40000 reads -25536).
// --out writes the bitmap as a PAM file (P7), top row first: RGB_ALPHA for 32-bit bitmaps
// (alpha as stored), RGB for 24-bit ones, and an icon's colour bitmap as RGB_ALPHA.
// Exit codes: 0 loaded, 1 not loaded (or the output could not be written), 2 usage error.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "image/bitmap.h"
#include "image/decoder.h"
#include "image/image.h"
#include "image/record.h"
#include "runtime/memory.h"

#ifdef _WIN32
#include <shellapi.h>
#endif

namespace {
typedef std::basic_string<Char16> Text16;

struct Args {
  Text16 file;
  std::string fileShown;
  std::string out;
};

// Pixels top row first, 4 bytes each (r, g, b, a) or 3 (r, g, b).
struct Picture {
  int width = 0, height = 0, channels = 0;
  std::vector<uint8_t> samples;
};

#ifndef _WIN32
Text16 fromUtf8(const std::string& s) {
  Text16 out;
  for (size_t i = 0; i < s.size();) {
    uint32_t c = (uint8_t)s[i];
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    c &= extra == 3 ? 0x07 : extra == 2 ? 0x0F : extra == 1 ? 0x1F : 0x7F;
    i++;
    for (int k = 0; k < extra && i < s.size(); k++, i++) c = c << 6 | ((uint8_t)s[i] & 0x3F);
    if (c >= 0x10000) {
      out.push_back((Char16)(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back((Char16)(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back((Char16)c);
    }
  }
  return out;
}
#endif

bool fromBitmap(HANDLE bitmap, Picture* picture) {
  BitmapView view;
  if (!Bitmap_Describe(bitmap, &view) || (view.bitCount != 24 && view.bitCount != 32)) return false;
  picture->width = view.width;
  picture->height = view.rows;
  picture->channels = view.bitCount == 32 ? 4 : 3;
  for (int y = 0; y < view.rows; y++) {
    const uint8_t* p = BitmapView_Row(view, y);
    for (int x = 0; x < view.width; x++, p += view.bitCount / 8) {
      picture->samples.push_back(p[2]);
      picture->samples.push_back(p[1]);
      picture->samples.push_back(p[0]);
      if (view.bitCount == 32) picture->samples.push_back(p[3]);
    }
  }
  return true;
}

#ifdef _WIN32
bool fromIcon(HICON icon, Picture* picture) {
  ICONINFO info;
  if (!GetIconInfo(icon, &info)) return false;
  bool ok = false;
  BITMAP bm;
  if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bm, &bm) == sizeof bm) {
    BITMAPINFO header = {};
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header.bmiHeader.biWidth = bm.bmWidth;
    header.bmiHeader.biHeight = -bm.bmHeight;  // top-down
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    std::vector<uint8_t> bgra((size_t)bm.bmWidth * bm.bmHeight * 4);
    HDC dc = CreateCompatibleDC(nullptr);
    ok = dc && GetDIBits(dc, info.hbmColor, 0, bm.bmHeight, bgra.data(), &header, DIB_RGB_COLORS) ==
                   bm.bmHeight;
    if (dc) DeleteDC(dc);
    if (ok) {
      picture->width = bm.bmWidth;
      picture->height = bm.bmHeight;
      picture->channels = 4;
      for (size_t i = 0; i < bgra.size(); i += 4) {
        picture->samples.push_back(bgra[i + 2]);
        picture->samples.push_back(bgra[i + 1]);
        picture->samples.push_back(bgra[i]);
        picture->samples.push_back(bgra[i + 3]);
      }
    }
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return ok;
}
#endif

bool writePam(const std::string& path, const Picture& picture) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  fprintf(f, "P7\nWIDTH %d\nHEIGHT %d\nDEPTH %d\nMAXVAL 255\nTUPLTYPE %s\nENDHDR\n", picture.width,
          picture.height, picture.channels, picture.channels == 4 ? "RGB_ALPHA" : "RGB");
  bool ok = picture.samples.empty() ||
            fwrite(picture.samples.data(), 1, picture.samples.size(), f) == picture.samples.size();
  return fclose(f) == 0 && ok;
}

const char* formatName(uint32_t format) {
  switch (format) {
    case FORMAT_PNG: return "PNG";
    case FORMAT_BMP: return "BMP";
    case FORMAT_ICON: return "ICON";
    default: return "?";
  }
}

int usage() {
  fprintf(stderr, "usage: imgload FILE [--out OUT.pam]\n");
  return 2;
}

// Arguments as the loader wants them: the file name in UTF-16.
bool parseArgs(int argc, char** argv, Args* args) {
#ifdef _WIN32
  (void)argv;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return false;
  std::vector<Text16> all;
  for (int i = 0; i < count; i++) all.push_back(wide[i]);
  LocalFree(wide);
  argc = count;
#endif
  bool haveFile = false;
  for (int i = 1; i < argc; i++) {
    std::string arg = argv[i];
    if (arg == "--out") {
      if (i + 1 >= argc || !args->out.empty()) return false;
      args->out = argv[++i];
    } else if (!haveFile && !arg.empty() && arg.rfind("--", 0) != 0) {
      haveFile = true;
      args->fileShown = arg;
#ifdef _WIN32
      args->file = all[i];
#else
      args->file = fromUtf8(arg);
#endif
    } else {
      return false;
    }
  }
  return haveFile;
}
}  // namespace

int main(int argc, char** argv) {
  Args args;
  if (!parseArgs(argc, argv, &args)) return usage();

  // The parts of the runtime's start sequence that loading needs, in their order.
  g_programHeap = HeapCreate(0, 4096, 0);
  if (!g_programHeap) {
    fprintf(stderr, "imgload: no memory\n");
    return 1;
  }
  ImageDecoder_Start();
  BmpDecoder_Register();
  Image_Start();
  PngDecoder_Register();

  int status = 0;
  if (!Image_Load(0, args.file.c_str(), 0)) {
    fprintf(stderr, "imgload: cannot load %s\n", args.fileShown.c_str());
    status = 1;
  } else {
    const ImageRecord* record = Image_Record(0);
    printf("format=%s width=%d height=%d depth=%d source_depth=%d\n", formatName(record->format),
           (int)Image_Width(0), (int)Image_Height(0), record->depth, record->sourceDepth);
    fflush(stdout);
    if (!args.out.empty()) {
      Picture picture;
      bool ok;
#ifdef _WIN32
      ok = record->format == FORMAT_ICON ? fromIcon((HICON)record->handle, &picture)
                                         : fromBitmap(record->handle, &picture);
#else
      ok = fromBitmap(record->handle, &picture);
#endif
      if (!ok || !writePam(args.out, picture)) {
        fprintf(stderr, "imgload: cannot write %s\n", args.out.c_str());
        status = 1;
      }
    }
  }
  Image_End();
  HeapDestroy(g_programHeap);
  return status;
}
