#pragma once

#include <optional>
#include <string>

// "IPconfig.ini": how the device's wireless interface gets its IP settings.
namespace quillstone {

inline constexpr const char* IpConfigFileName = "IPconfig.ini";

struct IpSettings {
  std::string address;  // IPaddress
  std::string mask;     // subMask
  std::string gateway;  // GateWay
  std::string radio;    // IPRadio: "0" DHCP, "1" fixed address
};

// `programDirectory` ends with the path separator.
std::string IpConfigPath(const std::string& programDirectory);
IpSettings LoadIpSettings(const std::string& programDirectory);
// IPRadio=0 only. Throws AppError("Unable to write to <path>").
void SaveDhcpSettings(const std::string& programDirectory);
// IPaddress, subMask, GateWay, then IPRadio=1. Throws like SaveDhcpSettings.
void SaveIpSettings(const std::string& programDirectory, const std::string& address,
                    const std::string& mask, const std::string& gateway);

// The mask for an address by its class (first octet 1..126, 128..191, 192..223); nullopt
// when the mask is to stay as it is.
std::optional<std::string> SubnetMaskForAddress(const std::string& address);

// Shared by the two first-octet warnings; clear at program start.
extern bool OctetWarningActive;

struct OctetVerdict {
  enum class Action { Accept, WarnAndReplace, ClearSilently };
  Action action = Action::Accept;
  int value = 0;        // the value to keep in the field
  std::string message;  // for WarnAndReplace
};
// Judges a field report of the device IP address control and updates OctetWarningActive.
OctetVerdict JudgeFieldChange(int field, int value);

}  // namespace quillstone
