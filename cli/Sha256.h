#pragma once

#include <string>
#include <string_view>

// SHA-256 of the input files for the audit record. Our own small implementation: no crypto
// library is packaged for both the Debian build and the mingw-w64 cross build.
namespace quillstone::cli {

// Lower-case hex digest of `data`.
std::string Sha256Hex(std::string_view data);

}  // namespace quillstone::cli
