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

// Why `portName` can not be a line to a device, as far as the system tells without opening it:
// "serial port /dev/ttyS9 does not exist", "... is not a serial line" (a file or a folder by
// that name); empty when it may be one (then the device is what did not answer).
std::string SerialLineFault(const std::string& portName);

}  // namespace quillstone
