#include "cli/DeviceAddress.h"

#include <charconv>
#include <limits>

#include "cli/InputError.h"

namespace quillstone::cli {
namespace {

constexpr std::string_view kTcpPrefix = "tcp:";
constexpr std::string_view kSerialPrefix = "serial:";

struct Parser {
  std::string_view text;
  const std::string& where;
  int firstColumn;

  [[noreturn]] void Fail(std::size_t offset, const std::string& problem) const {
    throw InputError(where, firstColumn + static_cast<int>(offset),
                     "device '" + std::string(text) + "': " + problem);
  }

  std::int32_t Number(std::size_t offset, std::string_view digits, std::int64_t lowest,
                      std::int64_t highest, const char* what) const {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc{} || end != digits.data() + digits.size() ||
        value < lowest || value > highest) {
      Fail(offset, std::string(what) + " must be a number from " + std::to_string(lowest) + " to " +
                       std::to_string(highest));
    }
    return static_cast<std::int32_t>(value);
  }

  DeviceAddress Tcp() const {
    DeviceAddress address;
    const std::size_t hostBegin = kTcpPrefix.size();
    const std::size_t colon = text.find(':', hostBegin);
    address.host = std::string(text.substr(hostBegin, colon - hostBegin));
    if (address.host.empty()) Fail(hostBegin, "expected a host after \"tcp:\"");
    if (colon != std::string_view::npos) {
      address.port = Number(colon + 1, text.substr(colon + 1), 1, 65535, "the port");
    }
    return address;
  }

  DeviceAddress Serial() const {
    DeviceAddress address;
    address.transport = DeviceAddress::Transport::kSerial;
    std::size_t begin = kSerialPrefix.size();
    std::size_t comma = text.find(',', begin);
    address.serialPort = std::string(text.substr(begin, comma - begin));
    if (address.serialPort.empty()) Fail(begin, "expected a port after \"serial:\"");
    while (comma != std::string_view::npos) {
      begin = comma + 1;
      comma = text.find(',', begin);
      const std::string_view setting = text.substr(begin, comma - begin);
      const std::size_t equals = setting.find('=');
      const std::string_view key = setting.substr(0, equals);
      const std::string_view value =
          equals == std::string_view::npos ? std::string_view{} : setting.substr(equals + 1);
      const std::size_t valueOffset = begin + key.size() + 1;
      if (key == "device") {
        address.deviceNumber = Number(valueOffset, value, 0, 65535, "the device number");
      } else if (key == "baud") {
        address.baud = Number(valueOffset, value, 1, std::numeric_limits<std::int32_t>::max(),
                              "the baud rate");
      } else {
        Fail(begin, "expected device=N or baud=B, got '" + std::string(setting) + "'");
      }
    }
    return address;
  }
};

}  // namespace

std::string DeviceAddress::Name() const {
  if (transport == Transport::kTcp) return "tcp:" + host + ":" + std::to_string(port);
  return "serial:" + serialPort + ",device=" + std::to_string(deviceNumber) +
         ",baud=" + std::to_string(baud);
}

std::string DeviceAddress::LineKey() const {
  if (transport == Transport::kTcp) return Name();
  // COM port names are not case-sensitive; paths are, but no two paths differ only so.
  std::string key = "serial:";
  for (const char c : serialPort) key += (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
  return key;
}

std::string DeviceAddress::Identity() const {
  if (transport == Transport::kTcp) return Name();
  return LineKey() + ",device=" + std::to_string(deviceNumber);
}

DeviceAddress ParseDeviceAddress(std::string_view text, const std::string& where, int firstColumn) {
  const Parser parser{text, where, firstColumn};
  if (text.starts_with(kTcpPrefix)) return parser.Tcp();
  if (text.starts_with(kSerialPrefix)) return parser.Serial();
  parser.Fail(0, "expected tcp:HOST[:PORT] or serial:PORT[,device=N][,baud=B]");
}

}  // namespace quillstone::cli
