// The digest in lowercase hexadecimal, as the journal writes it; the same on every platform.
#include "journal/sha256.h"

bool Sha256_Hex(const void* data, size_t size, char hex[SHA256_HEX]) {
  static const char kDigits[] = "0123456789abcdef";
  uint8_t digest[SHA256_BYTES];
  if (!Sha256_Digest(data, size, digest)) return false;
  for (size_t i = 0; i < SHA256_BYTES; i++) {
    hex[2 * i] = kDigits[digest[i] >> 4];
    hex[2 * i + 1] = kDigits[digest[i] & 15];
  }
  return true;
}
