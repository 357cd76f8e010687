#include "devicelink/DeviceConnection.h"

#include <cstdint>
#include <string_view>

#include "devicelink/DeviceApi.h"
#include "devicelink/LinkConnection.h"
#include "platform/AppError.h"
#include "platform/Text.h"

namespace quillstone {
namespace {

constexpr std::int32_t kHighestPortNumber = 65535;

std::string_view FileNamePart(std::string_view path) {
  const std::size_t separator = path.find_last_of("/\\");
  return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

}  // namespace

std::int32_t ToWholeNumber(const std::string& text) {
  std::size_t pos = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++pos;
  const std::int64_t limit = negative ? -std::int64_t{INT32_MIN} : INT32_MAX;
  std::int64_t magnitude = 0;
  bool valid = pos < text.size();
  for (; valid && pos < text.size(); ++pos) {
    const char c = text[pos];
    valid = c >= '0' && c <= '9';
    if (valid) magnitude = magnitude * 10 + (c - '0');
    valid = valid && magnitude <= limit;
  }
  if (!valid) throw AppError("'" + text + "' is not a valid integer value");
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::int32_t ToPortNumber(const std::string& text) {
  const std::int32_t number = ToWholeNumber(text);
  if (number < 0 || number > kHighestPortNumber) throw AppError("Range check error");
  return number;
}

bool OpenNetworkConnection(WindowId owner, const std::string& address,
                           const std::string& portText) {
  FlushArpCache(owner);
  const std::int32_t port = ToPortNumber(portText);
  return LinkConnection::ForProcess().OpenNetwork(address, port);
}

bool OpenSerialConnection(const std::string& portName, const std::string& deviceNumberText,
                          const std::string& baudText) {
  KillProcessByName(kSerialWatcherName);
  const std::int32_t baud = ToWholeNumber(baudText);
  const std::int32_t deviceNumber = ToPortNumber(deviceNumberText);
  return LinkConnection::ForProcess().OpenSerial(portName, deviceNumber, baud);
}

void CloseConnection() {
  LinkConnection::ForProcess().Close();
}

void BeginDeviceConfig() {
  LinkConnection::ForProcess().BeginDeviceConfig();
}

void EndDeviceConfig() {
  LinkConnection::ForProcess().EndDeviceConfig();
}

void RestartDevice() {
  LinkConnection::ForProcess().RestartDevice();
}

void FlushArpCache(WindowId owner) {
  CurrentLinkServices().arp->StartFlush(owner);
}

bool KillProcessByName(const std::string& exeName) {
  return KillProcessByName(*CurrentLinkServices().processes, exeName);
}

bool KillProcessByName(ProcessTable& processes, const std::string& exeName) {
  bool lastTerminated = false;
  for (const ProcessEntry& process : processes.Snapshot()) {
    if (EqualsIgnoringAsciiCase(FileNamePart(process.exeName), exeName) ||
        EqualsIgnoringAsciiCase(process.exeName, exeName)) {
      lastTerminated = processes.Terminate(process.id);
    }
  }
  return lastTerminated;
}

}  // namespace quillstone
