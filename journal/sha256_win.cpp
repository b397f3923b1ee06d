// SHA-256 over the system's own bcrypt.dll. A library the program imports is looked for beside
// the program first, so bcrypt.dll is not imported: it is loaded at run time from the system
// folder only (System_LoadLibrary), and a bcrypt.dll planted beside the program is never run.
// Opening the algorithm provider is the costly step: it is opened once for the process and kept,
// and the handle may be shared by threads. Windows builds only.
#include "journal/sha256.h"
#include "runtime/system_library.h"  // before bcrypt.h, which needs windows.h

#include <bcrypt.h>

namespace {

typedef NTSTATUS(WINAPI* OpenProviderFn)(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR, ULONG);
typedef NTSTATUS(WINAPI* CreateHashFn)(BCRYPT_ALG_HANDLE, BCRYPT_HASH_HANDLE*, PUCHAR, ULONG,
                                       PUCHAR, ULONG, ULONG);
typedef NTSTATUS(WINAPI* HashDataFn)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
typedef NTSTATUS(WINAPI* FinishHashFn)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
typedef NTSTATUS(WINAPI* DestroyHashFn)(BCRYPT_HASH_HANDLE);

struct Provider {
  BCRYPT_ALG_HANDLE algorithm;  // null when bcrypt.dll or its SHA-256 cannot be had
  CreateHashFn createHash;
  HashDataFn hashData;
  FinishHashFn finishHash;
  DestroyHashFn destroyHash;
};

Provider open_provider() {
  Provider p = {};
  HMODULE bcrypt = System_LoadLibrary(TEXT16("bcrypt.dll"));
  if (!bcrypt) return p;
  OpenProviderFn open =
      (OpenProviderFn)(void*)GetProcAddress(bcrypt, "BCryptOpenAlgorithmProvider");
  p.createHash = (CreateHashFn)(void*)GetProcAddress(bcrypt, "BCryptCreateHash");
  p.hashData = (HashDataFn)(void*)GetProcAddress(bcrypt, "BCryptHashData");
  p.finishHash = (FinishHashFn)(void*)GetProcAddress(bcrypt, "BCryptFinishHash");
  p.destroyHash = (DestroyHashFn)(void*)GetProcAddress(bcrypt, "BCryptDestroyHash");
  if (!open || !p.createHash || !p.hashData || !p.finishHash || !p.destroyHash ||
      !BCRYPT_SUCCESS(open(&p.algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
    p.algorithm = nullptr;
  // The library stays loaded with the provider, for the whole process.
  return p;
}

// Opened once, by whichever thread comes first; the others wait for it. (Not a local static:
// its guard would pull the C++ library's thread support into the program, some 90 KB.)
Provider g_provider;
LONG g_state;  // 0 not opened, 1 opening, 2 ready

const Provider& provider() {
  if (InterlockedCompareExchange(&g_state, 1, 0) == 0) {
    g_provider = open_provider();
    InterlockedExchange(&g_state, 2);
  }
  while (InterlockedCompareExchange(&g_state, 2, 2) != 2) Sleep(0);
  return g_provider;
}

}  // namespace

bool Sha256_Digest(const void* data, size_t size, uint8_t digest[SHA256_BYTES]) {
  const Provider& p = provider();
  BCRYPT_HASH_HANDLE hash = nullptr;
  // Since Windows 7 the hash object's memory may be left to bcrypt itself.
  if (!p.algorithm || !BCRYPT_SUCCESS(p.createHash(p.algorithm, &hash, nullptr, 0, nullptr, 0, 0)))
    return false;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  bool hashed = true;
  while (hashed && size > 0) {  // a ULONG at a time, for a 64-bit size
    ULONG piece = size > 0x40000000 ? 0x40000000 : (ULONG)size;
    hashed = BCRYPT_SUCCESS(p.hashData(hash, (PUCHAR)bytes, piece, 0));
    bytes += piece;
    size -= piece;
  }
  hashed = hashed && BCRYPT_SUCCESS(p.finishHash(hash, digest, SHA256_BYTES, 0));
  p.destroyHash(hash);
  return hashed;
}
