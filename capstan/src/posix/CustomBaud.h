#pragma once

#include <cstdint>

namespace quillstone::posixio {

// Sets a rate outside the termios speed table where the kernel allows it; false elsewhere or
// when the driver cannot come within a few percent of it.
bool SetCustomBaud(int fd, std::int32_t baud);

}  // namespace quillstone::posixio
