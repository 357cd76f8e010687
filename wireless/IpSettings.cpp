#include "wireless/IpSettings.h"

#include <charconv>
#include <string_view>

#include "platform/IniFile.h"
#include "platform/Text.h"

namespace quillstone {

bool OctetWarningActive = false;

namespace {

constexpr std::string_view Section = "Config";
constexpr std::string_view AddressKey = "IPaddress";
constexpr std::string_view MaskKey = "subMask";
constexpr std::string_view GatewayKey = "GateWay";
constexpr std::string_view RadioKey = "IPRadio";

// The decimal number before the first dot (the whole text when there is none); nullopt when
// that part is not a number from 0 to 255.
std::optional<int> FirstOctet(std::string_view address) {
  const std::string_view part = address.substr(0, address.find('.'));
  if (part.empty()) return std::nullopt;
  int octet = 0;
  const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), octet);
  if (error != std::errc{} || end != part.data() + part.size()) return std::nullopt;
  if (octet < 0 || octet > 255) return std::nullopt;
  return octet;
}

}  // namespace

std::string IpConfigPath(const std::string& programDirectory) {
  return programDirectory + IpConfigFileName;
}

IpSettings LoadIpSettings(const std::string& programDirectory) {
  const std::string path = IpConfigPath(programDirectory);
  IpSettings settings;
  settings.address = ini::ReadProfileString(path, Section, AddressKey);
  settings.mask = ini::ReadProfileString(path, Section, MaskKey);
  settings.gateway = ini::ReadProfileString(path, Section, GatewayKey);
  settings.radio = ini::ReadProfileString(path, Section, RadioKey);
  return settings;
}

void SaveDhcpSettings(const std::string& programDirectory) {
  // The address keys stay as an earlier fixed-address save left them.
  ini::WriteProfileString(IpConfigPath(programDirectory), Section, RadioKey, "0");
}

void SaveIpSettings(const std::string& programDirectory, const std::string& address,
                    const std::string& mask, const std::string& gateway) {
  const std::string path = IpConfigPath(programDirectory);
  ini::WriteProfileString(path, Section, AddressKey, address);
  ini::WriteProfileString(path, Section, MaskKey, mask);
  ini::WriteProfileString(path, Section, GatewayKey, gateway);
  ini::WriteProfileString(path, Section, RadioKey, "1");
}

std::optional<std::string> SubnetMaskForAddress(const std::string& address) {
  const std::optional<int> octet = FirstOctet(TrimBlanks(address));
  if (!octet) return std::nullopt;
  if (*octet >= 1 && *octet <= 126) return "255.0.0.0";
  if (*octet >= 128 && *octet <= 191) return "255.255.0.0";
  if (*octet >= 192 && *octet <= 223) return "255.255.255.0";
  return std::nullopt;  // 0, loopback 127 and the multicast/reserved range
}

OctetVerdict JudgeFieldChange(int field, int value) {
  constexpr int ReplacementOctet = 1;
  OctetVerdict verdict;
  verdict.value = value;
  if (field != 0 || (value != 255 && value != 127)) return verdict;
  if (OctetWarningActive) {
    // The second report of the same edit (focus moving to the warning) is let through.
    OctetWarningActive = false;
    verdict.action = OctetVerdict::Action::ClearSilently;
    return verdict;
  }
  OctetWarningActive = true;
  verdict.action = OctetVerdict::Action::WarnAndReplace;
  verdict.value = ReplacementOctet;
  verdict.message = value == 255 ? "Do not set first octet of address to 255!"
                                 : "Do not set first octet of address to 127!";
  return verdict;
}

}  // namespace quillstone
