#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

// Opening and closing the one device connection, its housekeeping, and the commands that
// bracket a configuration and restart the device. Conversion failures throw AppError.
namespace quillstone {

// A whole number is an optional '+' or '-' followed by one or more decimal digits, with a
// value that fits 32 signed bits; nothing else (no blanks, no hex). Otherwise throws
// AppError("'<text>' is not a valid integer value").
std::int32_t ToWholeNumber(const std::string& text);

// ToWholeNumber limited to 0..65535; outside it throws AppError("Range check error").
std::int32_t ToPortNumber(const std::string& text);

// Flushes the ARP cache, converts the port, calls the library with the TCP transport.
// Returns true when DeviceHandle is nonzero.
bool OpenNetworkConnection(WindowId owner, const std::string& address, const std::string& portText);

// Ends every "serwatch.dll" process, converts the baud rate and then the device number,
// calls the library with the serial transport. Returns true when DeviceHandle is nonzero.
bool OpenSerialConnection(const std::string& portName, const std::string& deviceNumberText,
                          const std::string& baudText);

void CloseConnection();
void BeginDeviceConfig();
void EndDeviceConfig();
void RestartDevice();

void FlushArpCache(WindowId owner);

// Terminates every process whose executable name matches (ASCII case-insensitive, the file
// name part first, then the whole name). Returns whether the last termination attempted
// succeeded; false when nothing matched.
bool KillProcessByName(const std::string& exeName);
bool KillProcessByName(ProcessTable& processes, const std::string& exeName);

// The serial watcher that would hold the port; ended before serial connections.
inline constexpr const char* kSerialWatcherName = "serwatch.dll";

}  // namespace quillstone
