#pragma once

#include <string>
#include <string_view>

// SHA-256, as the audit record names its input files by: the system's own implementation
// (nettle on Linux, CNG on Windows), not one of ours.
namespace quillstone {

// Lower-case hex digest of `data`. Throws std::runtime_error if the system cannot hash.
std::string Sha256Hex(std::string_view data);

namespace detail {
// The 32 digest bytes as 64 lower-case hex digits.
std::string HexOfDigest(const unsigned char* digest);
}  // namespace detail

}  // namespace quillstone
