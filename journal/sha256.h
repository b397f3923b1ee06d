// SHA-256 from the platform's own implementation: Debian's nettle natively, the system's
// bcrypt.dll on Windows. The journal's fingerprints are its only use.
#pragma once

#include <stddef.h>
#include <stdint.h>

const size_t SHA256_BYTES = 32;
const size_t SHA256_HEX = 2 * SHA256_BYTES;  // characters of a digest in hexadecimal

// The digest of SIZE bytes at DATA. False when the platform's hash cannot be had (on Windows, a
// system without a usable bcrypt.dll); DIGEST is then undefined.
bool Sha256_Digest(const void* data, size_t size, uint8_t digest[SHA256_BYTES]);

// The digest as SHA256_HEX lowercase hexadecimal digits, not terminated; false as above.
bool Sha256_Hex(const void* data, size_t size, char hex[SHA256_HEX]);
