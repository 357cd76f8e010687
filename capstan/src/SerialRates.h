#pragma once

#include <array>
#include <cstdint>

// The baud rates the library sets on every platform and line driver alike (on Linux other rates
// go through the kernel's arbitrary-rate interface, which a driver may or may not honour).
namespace quillstone::capstan {

inline constexpr std::array<std::int32_t, 30> kStandardBaudRates = {
    50,     75,     110,     134,     150,     200,     300,     600,     1200,    1800,
    2400,   4800,   9600,    19200,   38400,   57600,   115200,  230400,  460800,  500000,
    576000, 921600, 1000000, 1152000, 1500000, 2000000, 2500000, 3000000, 3500000, 4000000};

}  // namespace quillstone::capstan
