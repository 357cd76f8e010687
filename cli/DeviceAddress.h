#pragma once

#include <cstdint>
#include <functional>
#include <optional>
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
  std::string host;  // TCP: dotted IPv4, a host name resolved already
  std::int32_t port = kDefaultTcpPort;
  std::string serialPort;  // as the library names it: COMn, or a path
  std::string serialLine;  // the device path the library opens for serialPort
  std::int32_t deviceNumber = kDefaultDeviceNumber;
  std::int32_t baud = kDefaultBaud;

  // The canonical form, the device's name in output and reports.
  std::string Name() const;
  // Serial devices on the same port share one line and take turns on it.
  std::string LineKey() const;
  // Two entries with the same identity are the same device, whatever their baud rates.
  std::string Identity() const;
};

// What the input check asks of the system, before any device is contacted: the IPv4 address
// of a host name, the device path of a serial port name. Nothing: it has none.
struct AddressResolver {
  std::function<std::optional<std::string>(const std::string& host)> hostAddress;
  std::function<std::optional<std::string>(const std::string& port)> serialLine;
};

// The system's name service (IPv4 only) and the communication library's port mapping.
AddressResolver SystemAddressResolver();

// The same answers, each name asked of `resolver` once however often it comes.
AddressResolver RememberingResolver(AddressResolver resolver);

// Throws InputError naming `where` and the column of the fault; the text starts at
// `firstColumn` of `where`. A host is dotted IPv4 as the library takes it, or a host name that
// resolves to IPv4; a serial port a name the library can open.
DeviceAddress ParseDeviceAddress(std::string_view text, const std::string& where,
                                 int firstColumn = 1,
                                 const AddressResolver& resolver = SystemAddressResolver());

}  // namespace quillstone::cli
