#pragma once

#include <cstdint>

// The process-wide state of the one device connection.
namespace quillstone {

// Reply code that alone means success.
inline constexpr std::uint16_t ReplyOk = 2000;

// Handle of the open connection; 0 means none. Each opening overwrites it, 0 included.
extern std::int32_t DeviceHandle;

// The command word passed with every library call: the command code on the way in, the
// device's reply code on the way out.
extern std::uint16_t CommandWord;

// Whether "~" options travel scrambled; set at the start of every batch.
extern bool ScrambleOptions;

}  // namespace quillstone
