#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

// The option names the wireless page and the modem page write: one list, shared by the pages
// that build option texts and by the command line that checks them.
namespace quillstone {

namespace option_name {

// Wireless page.
inline constexpr std::string_view Wifi = "WIFI";
inline constexpr std::string_view Ssid = "SSID";
inline constexpr std::string_view NetworkType = "NetworkType";
inline constexpr std::string_view AuthMode = "AuthMode";
inline constexpr std::string_view EncrypType = "EncrypType";
inline constexpr std::string_view DefaultKeyId = "DefaultKeyID";
inline constexpr std::array<std::string_view, 4> KeyType = {"Key1Type", "Key2Type", "Key3Type",
                                                            "Key4Type"};
inline constexpr std::array<std::string_view, 4> KeyStr = {"Key1Str", "Key2Str", "Key3Str",
                                                           "Key4Str"};
inline constexpr std::string_view WpaPsk = "WPAPSK";
inline constexpr std::string_view WifiDhcp = "wifidhcp";
inline constexpr std::string_view WifiIp = "wifiip";
inline constexpr std::string_view WifiMask = "wifimask";
inline constexpr std::string_view WifiGateway = "wifigateway";

// Modem page.
inline constexpr std::string_view Modem = "~MODEM";
inline constexpr std::string_view ConnectModem = "ConnectMODEM";
inline constexpr std::string_view Apn = "APN";
inline constexpr std::string_view ModemUserName = "ModemUserName";
inline constexpr std::string_view ModemPassword = "ModemPassword";
inline constexpr std::string_view ModemDialNumber = "ModemDialNumber";
inline constexpr std::string_view ModemKeepLive = "ModemKeepLive";
inline constexpr std::string_view AutoUpLogTime = "AutoUPLogTime";
inline constexpr std::string_view AuthServerCheckMode = "AuthServerCheckMode";
inline constexpr std::string_view AuthServerReq = "AuthServerREQ";
inline constexpr std::string_view AsTimeOut = "ASTimeOut";
inline constexpr std::string_view AuthServerIp = "AuthServerIP";
inline constexpr std::string_view Dns = "DNS";
inline constexpr std::string_view Url = "URL";
inline constexpr std::string_view AuthServer = "~AuthServer";

}  // namespace option_name

// Every name above, wireless first. The "~OS" probe is a read, never written, so it is not
// in the list.
std::span<const std::string_view> KnownOptionNames();

// Exact, case-sensitive, as the device compares names.
bool IsKnownOptionName(std::string_view name);

// A value never to be shown: the passphrase, the four WEP keys, the modem password and every
// option the writer may scramble (its name begins with "~").
bool IsSecretOption(std::string_view name);

// "name=value".
std::string OptionText(std::string_view name, std::string_view value);

}  // namespace quillstone
