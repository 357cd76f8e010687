#include "cli/DeviceAddress.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <map>
#include <memory>

#include "capstan/src/Protocol.h"
#include "capstan/src/SerialRates.h"
#include "cli/InputError.h"
#include "devicelink/SerialPortPath.h"
#include "platform/Text.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace quillstone::cli {
namespace {

constexpr std::string_view kTcpPrefix = "tcp:";
constexpr std::string_view kSerialPrefix = "serial:";

constexpr std::size_t kLongestHostName = 253;
constexpr std::size_t kLongestLabel = 63;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsHostNameCharacter(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '.';
}

// Four numbers 0 to 255 without leading zeros, as the library's address conversion takes them.
bool IsDottedIpv4(std::string_view text) {
  int parts = 0;
  std::size_t pos = 0;
  for (;;) {
    std::size_t end = pos;
    while (end < text.size() && IsDigit(text[end])) ++end;
    const std::string_view digits = text.substr(pos, end - pos);
    if (digits.empty() || digits.size() > 3 || (digits.size() > 1 && digits.front() == '0')) {
      return false;
    }
    int value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (value > 255) return false;
    ++parts;
    if (end == text.size()) return parts == 4;
    if (text[end] != '.' || parts == 4) return false;
    pos = end + 1;
  }
}

bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// What the system's name service would read as an IPv4 address rather than look up: parts of
// decimal, octal ("0177") or hex ("0x7f") numbers, one to four of them ("127.1", "0x7f000001"),
// with or without a trailing dot. Such a host is an address, and only the dotted-decimal form
// is one the library takes.
bool IsAddressForm(std::string_view host) {
  if (host.ends_with('.')) host.remove_suffix(1);
  if (host.empty()) return false;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t dot = std::min(host.find('.', begin), host.size());
    std::string_view part = host.substr(begin, dot - begin);
    if (part.size() >= 2 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X')) {
      part.remove_prefix(2);
      if (!std::all_of(part.begin(), part.end(), IsHexDigit)) return false;
    } else if (part.empty() || !std::all_of(part.begin(), part.end(), IsDigit)) {
      return false;
    }
    if (dot == host.size()) return true;
    begin = dot + 1;
  }
}

std::optional<std::string> SystemHostAddress(const std::string& host) {
#ifdef _WIN32
  // Winsock needs starting once per process; the communication library starts its own.
  static const bool started = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) return std::nullopt;
#endif
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
    return std::nullopt;
  }
  std::optional<std::string> address;
  char text[INET_ADDRSTRLEN] = {};
  const auto* peer = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  if (found->ai_family == AF_INET && ::inet_ntop(AF_INET, &peer->sin_addr, text, sizeof text)) {
    address = text;
  }
  ::freeaddrinfo(found);
  return address;
}

using Lookup = std::function<std::optional<std::string>(const std::string&)>;

Lookup Remembering(Lookup lookup) {
  auto answers = std::make_shared<std::map<std::string, std::optional<std::string>>>();
  return [lookup = std::move(lookup), answers](const std::string& name) {
    const auto known = answers->find(name);
    if (known != answers->end()) return known->second;
    return answers->emplace(name, lookup(name)).first->second;
  };
}

struct Parser {
  std::string_view text;
  const std::string& where;
  int firstColumn;
  const AddressResolver& resolver;

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

  // Only the rates the library sets on every platform and driver: a rate outside them is far
  // more often a typing error (11520) than a line that needs it.
  void CheckBaudRate(std::size_t offset, std::int32_t baud) const {
    const auto& rates = capstan::kStandardBaudRates;
    if (std::find(rates.begin(), rates.end(), baud) != rates.end()) return;
    std::string list;
    for (const std::int32_t rate : rates) list += (list.empty() ? "" : ", ") + std::to_string(rate);
    Fail(offset, "the baud rate " + std::to_string(baud) +
                     " is not one the device library sets on every line; use one of " + list);
  }

  // Only the syntax, so that a name that can never resolve is refused before any query.
  void CheckHostName(std::size_t hostBegin, std::string_view host) const {
    const std::string quoted = SingleQuoted(host);
    for (std::size_t i = 0; i < host.size(); ++i) {
      if (!IsHostNameCharacter(host[i])) {
        Fail(hostBegin + i, quoted +
                                " is not a host name: it may hold letters, digits, '-' and '.' "
                                "only; or give a dotted IPv4 address such as 127.0.0.1");
      }
    }
    if (host.size() > kLongestHostName) {
      Fail(hostBegin, quoted + " is not a host name: longer than 253 characters");
    }
    std::size_t labelBegin = 0;
    for (;;) {
      const std::size_t dot = std::min(host.find('.', labelBegin), host.size());
      const std::string_view label = host.substr(labelBegin, dot - labelBegin);
      // One trailing dot names the root, as in "host.example.".
      const bool trailingDot = label.empty() && labelBegin == host.size() && labelBegin > 0;
      if (!trailingDot) {
        if (label.empty() || label.size() > kLongestLabel || label.front() == '-' ||
            label.back() == '-') {
          Fail(hostBegin + labelBegin,
               quoted +
                   " is not a host name: each part between dots needs 1 to 63 letters, "
                   "digits or '-', and neither starts nor ends with '-'");
        }
      }
      if (dot >= host.size()) return;
      labelBegin = dot + 1;
    }
  }

  DeviceAddress Tcp() const {
    DeviceAddress address;
    const std::size_t hostBegin = kTcpPrefix.size();
    const std::size_t colon = text.find(':', hostBegin);
    const std::string_view host = text.substr(hostBegin, colon - hostBegin);
    if (host.empty()) Fail(hostBegin, "expected a host after \"tcp:\"");
    const bool numeric =
        IsAddressForm(host) || host.find_first_not_of("0123456789.") == std::string_view::npos;
    if (numeric && !IsDottedIpv4(host)) {
      Fail(hostBegin, "'" + std::string(host) +
                          "' is not an IPv4 address the device library takes: write four "
                          "numbers from 0 to 255 without leading zeros, such as 127.0.0.1");
    }
    if (!numeric) CheckHostName(hostBegin, host);
    if (colon != std::string_view::npos) {
      address.port = Number(colon + 1, text.substr(colon + 1), 1, 65535, "the port");
    }
    address.host = std::string(host);
    if (!numeric) {
      const auto resolved = resolver.hostAddress(address.host);
      if (!resolved) {
        Fail(hostBegin, "host name '" + address.host + "' does not resolve to an IPv4 address");
      }
      address.host = *resolved;
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
        // A frame carries 16 bits of it, and no device on a line answers the wildcard number.
        address.deviceNumber =
            Number(valueOffset, value, wire::kAnyDevice + 1,
                   std::numeric_limits<std::uint16_t>::max(), "the device number");
      } else if (key == "baud") {
        address.baud = Number(valueOffset, value, 1, std::numeric_limits<std::int32_t>::max(),
                              "the baud rate");
        CheckBaudRate(valueOffset, address.baud);
      } else {
        Fail(begin, "expected device=N or baud=B, got '" + std::string(setting) + "'");
      }
    }
    const auto line = resolver.serialLine(address.serialPort);
    if (!line) {
      Fail(kSerialPrefix.size(), "the device library cannot open port '" + address.serialPort +
                                     "': expected COMn, a device path, or a name the port "
                                     "mapping file (capstan-ports.ini, CAPSTAN_PORT_MAP) maps");
    }
    address.serialLine = *line;
    return address;
  }
};

}  // namespace

AddressResolver SystemAddressResolver() {
  return {SystemHostAddress, SerialPortPath};
}

AddressResolver RememberingResolver(AddressResolver resolver) {
  return {Remembering(std::move(resolver.hostAddress)),
          Remembering(std::move(resolver.serialLine))};
}

std::string DeviceAddress::Name() const {
  if (transport == Transport::kTcp) return "tcp:" + host + ":" + std::to_string(port);
  return "serial:" + serialPort + ",device=" + std::to_string(deviceNumber) +
         ",baud=" + std::to_string(baud);
}

std::string DeviceAddress::LineKey() const {
  if (transport == Transport::kTcp) return Name();
  // Two names of one line ("COM7" mapped to a path, and that path) are one line. COM port
  // names are not case-sensitive; paths are, but no two paths differ only so.
  std::string key = "serial:";
  for (const char c : serialLine.empty() ? serialPort : serialLine) {
    key += (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
  }
  return key;
}

std::string DeviceAddress::Identity() const {
  if (transport == Transport::kTcp) return Name();
  return LineKey() + ",device=" + std::to_string(deviceNumber);
}

DeviceAddress ParseDeviceAddress(std::string_view text, const std::string& where, int firstColumn,
                                 const AddressResolver& resolver) {
  const Parser parser{text, where, firstColumn, resolver};
  if (text.starts_with(kTcpPrefix)) return parser.Tcp();
  if (text.starts_with(kSerialPrefix)) return parser.Serial();
  parser.Fail(0, "expected tcp:HOST[:PORT] or serial:PORT[,device=N][,baud=B]");
}

}  // namespace quillstone::cli
