#pragma once

#include <optional>
#include <string>

// Which line a serial port name stands for, found the way the communication library finds it
// when it opens the port: its mapping file first, then the platform's convention.
namespace quillstone {

// The device path of `portName` ("COM7", "/dev/pts/3"), or nothing when the library would
// refuse the name. The mapping file is read at each call, as the library reads it at each
// serial opening.
std::optional<std::string> SerialPortPath(const std::string& portName);

}  // namespace quillstone
