// SHA-256 over Debian's nettle, for the builds that run on Linux. Compiled only outside Windows.
#ifndef _WIN32

#include <nettle/sha2.h>

#include "journal/sha256.h"

static_assert(SHA256_DIGEST_SIZE == SHA256_BYTES, "nettle's digest is the one of the header");

bool Sha256_Digest(const void* data, size_t size, uint8_t digest[SHA256_BYTES]) {
  sha256_ctx context;
  sha256_init(&context);
  sha256_update(&context, size, static_cast<const uint8_t*>(data));
  sha256_digest(&context, SHA256_BYTES, digest);
  return true;
}

#endif
