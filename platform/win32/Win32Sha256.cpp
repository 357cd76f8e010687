#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it builds on.
#include <bcrypt.h>

#include <stdexcept>

#include "platform/Sha256.h"

namespace quillstone {
namespace {

void Check(NTSTATUS status, const char* step) {
  if (!BCRYPT_SUCCESS(status)) {
    throw std::runtime_error(std::string("SHA-256: ") + step + " failed (NTSTATUS " +
                             std::to_string(static_cast<unsigned long>(status)) + ")");
  }
}

// Closes what CNG handed out, on every way out.
struct Algorithm {
  BCRYPT_ALG_HANDLE handle = nullptr;
  ~Algorithm() {
    if (handle) BCryptCloseAlgorithmProvider(handle, 0);
  }
};
struct Hash {
  BCRYPT_HASH_HANDLE handle = nullptr;
  ~Hash() {
    if (handle) BCryptDestroyHash(handle);
  }
};

}  // namespace

// The hash object in steps rather than the one-call BCryptHash: its length is a ULONG, and a
// file of 4 GiB or more must still hash right.
std::string Sha256Hex(std::string_view data) {
  Algorithm algorithm;
  Check(BCryptOpenAlgorithmProvider(&algorithm.handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0),
        "BCryptOpenAlgorithmProvider");
  Hash hash;
  Check(BCryptCreateHash(algorithm.handle, &hash.handle, nullptr, 0, nullptr, 0, 0),
        "BCryptCreateHash");
  constexpr std::size_t kMostAtOnce = 0x40000000;
  do {
    const std::size_t chunk = data.size() < kMostAtOnce ? data.size() : kMostAtOnce;
    // CNG takes the input as non-const bytes, but only reads them.
    Check(BCryptHashData(hash.handle, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())),
                         static_cast<ULONG>(chunk), 0),
          "BCryptHashData");
    data.remove_prefix(chunk);
  } while (!data.empty());
  unsigned char digest[32];
  Check(BCryptFinishHash(hash.handle, digest, sizeof digest, 0), "BCryptFinishHash");
  return detail::HexOfDigest(digest);
}

}  // namespace quillstone
