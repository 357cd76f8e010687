#pragma once

#include <cstdint>

namespace quillstone::testing {

// A loopback port nobody listens on: bound, read back, released. A connect to it is refused.
std::uint16_t ClosedLoopbackPort();

}  // namespace quillstone::testing
