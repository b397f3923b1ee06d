// release-probe: what Windows itself reads from an installed program, for the release test.
//
//   release-probe shortcut FILE.lnk   prints "target=PATH" and "workdir=PATH" (IShellLinkW)
//   release-probe version FILE.exe    prints "fixed=A.B.C.D", "product=A.B.C.D" and one
//                                     "Name=value" line per string of the version resource,
//                                     found through the resource's first translation entry
//   release-probe manifest FILE.exe   prints the program's manifest (resource 1 of RT_MANIFEST)
//                                     as the loader finds it
//
// Output is UTF-8, one item a line. Exit 0, 1 when the file cannot be read, 2 for a usage error.
#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void print(const char* name, const wchar_t* value) {
  int n = WideCharToMultiByte(CP_UTF8, 0, value, -1, nullptr, 0, nullptr, nullptr);
  std::string text(n > 0 ? n : 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, value, -1, &text[0], n, nullptr, nullptr);
  std::printf("%s=%s\n", name, text.c_str());
}

int shortcut(const wchar_t* file) {
  if (FAILED(CoInitialize(nullptr))) return 1;
  IShellLinkW* link = nullptr;
  IPersistFile* persist = nullptr;
  int rc = 1;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 (void**)&link)) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&persist)) &&
      SUCCEEDED(persist->Load(file, STGM_READ))) {
    wchar_t target[MAX_PATH] = L"", folder[MAX_PATH] = L"";
    if (SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
        SUCCEEDED(link->GetWorkingDirectory(folder, MAX_PATH))) {
      print("target", target);
      print("workdir", folder);
      rc = 0;
    }
  }
  if (persist) persist->Release();
  if (link) link->Release();
  CoUninitialize();
  return rc;
}

int version(const wchar_t* file) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(file, &ignored);
  if (size == 0) return 1;
  std::vector<char> data(size);
  if (!GetFileVersionInfoW(file, 0, size, data.data())) return 1;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\", (void**)&fixed, &length) || length < sizeof *fixed)
    return 1;
  std::printf("fixed=%u.%u.%u.%u\nproduct=%u.%u.%u.%u\n", HIWORD(fixed->dwFileVersionMS),
              LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
              LOWORD(fixed->dwFileVersionLS), HIWORD(fixed->dwProductVersionMS),
              LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS),
              LOWORD(fixed->dwProductVersionLS));
  WORD* translation = nullptr;
  if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", (void**)&translation, &length) ||
      length < 4)
    return 1;
  wchar_t block[32];
  wsprintfW(block, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
  for (const char* name : {"ProductName", "ProductVersion", "FileVersion", "FileDescription",
                           "OriginalFilename", "LegalCopyright"}) {
    std::wstring path = block;
    for (const char* c = name; *c; ++c) path += (wchar_t)*c;
    wchar_t* value = nullptr;
    if (VerQueryValueW(data.data(), path.c_str(), (void**)&value, &length) && length > 0)
      print(name, value);
  }
  return 0;
}

int manifest(const wchar_t* file) {
  HMODULE module =
      LoadLibraryExW(file, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) return 1;
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (bytes) std::fwrite(bytes, 1, SizeofResource(module, found), stdout);
  FreeLibrary(module);
  return bytes ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && lstrcmpW(argv[1], L"shortcut") == 0) return shortcut(argv[2]);
  if (argc == 3 && lstrcmpW(argv[1], L"version") == 0) return version(argv[2]);
  if (argc == 3 && lstrcmpW(argv[1], L"manifest") == 0) return manifest(argv[2]);
  std::fprintf(stderr,
               "usage: release-probe shortcut FILE.lnk | version FILE.exe | manifest FILE.exe\n");
  return 2;
}
