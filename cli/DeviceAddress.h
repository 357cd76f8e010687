#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillstone::cli {

inline constexpr std::int32_t kDefaultTcpPort = 4370;
inline constexpr std::int32_t kDefaultDeviceNumber = 1;
inline constexpr std::int32_t kDefaultBaud = 115200;

// Where one device is reached: "tcp:HOST[:PORT]" or "serial:PORT[,device=N][,baud=B]".
struct DeviceAddress {
  enum class Transport { kTcp, kSerial };
  Transport transport = Transport::kTcp;
  std::string host;  // TCP
  std::int32_t port = kDefaultTcpPort;
  std::string serialPort;  // as the library names it: COMn, or a path
  std::int32_t deviceNumber = kDefaultDeviceNumber;
  std::int32_t baud = kDefaultBaud;

  // The canonical form, the device's name in output and reports.
  std::string Name() const;
  // Serial devices on the same port share one line and take turns on it.
  std::string LineKey() const;
  // Two entries with the same identity are the same device, whatever their baud rates.
  std::string Identity() const;
};

// Throws InputError naming `where` and the column of the fault; the text starts at
// `firstColumn` of `where`.
DeviceAddress ParseDeviceAddress(std::string_view text, const std::string& where,
                                 int firstColumn = 1);

}  // namespace quillstone::cli
