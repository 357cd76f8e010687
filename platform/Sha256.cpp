#include "platform/Sha256.h"

namespace quillstone::detail {

std::string HexOfDigest(const unsigned char* digest) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(64);
  for (int i = 0; i < 32; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 0xF];
  }
  return hex;
}

}  // namespace quillstone::detail
