#pragma once

#include <cstdint>

namespace quillstone::posixio {

// Puts an open terminal into raw 8N1 mode without flow control or echo, at the given rate.
// False when the rate is not positive or the platform cannot set it.
bool ConfigureRawSerial(int fd, std::int32_t baud);

// Raw mode only, keeping the rate (pseudo-terminals ignore it).
bool MakeTerminalRaw(int fd);

}  // namespace quillstone::posixio
