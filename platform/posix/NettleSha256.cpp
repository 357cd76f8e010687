#include <nettle/sha2.h>

#include "platform/Sha256.h"

namespace quillstone {

std::string Sha256Hex(std::string_view data) {
  sha256_ctx context;
  sha256_init(&context);
  sha256_update(&context, data.size(), reinterpret_cast<const std::uint8_t*>(data.data()));
  unsigned char digest[SHA256_DIGEST_SIZE];
  sha256_digest(&context, SHA256_DIGEST_SIZE, digest);
  return detail::HexOfDigest(digest);
}

}  // namespace quillstone
