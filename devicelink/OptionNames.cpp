#include "devicelink/OptionNames.h"

#include <algorithm>

namespace quillstone {

namespace {

namespace n = option_name;

constexpr auto Names = std::to_array<std::string_view>({
    n::Wifi,
    n::Ssid,
    n::NetworkType,
    n::AuthMode,
    n::EncrypType,
    n::DefaultKeyId,
    n::KeyType[0],
    n::KeyStr[0],
    n::KeyType[1],
    n::KeyStr[1],
    n::KeyType[2],
    n::KeyStr[2],
    n::KeyType[3],
    n::KeyStr[3],
    n::WpaPsk,
    n::WifiDhcp,
    n::WifiIp,
    n::WifiMask,
    n::WifiGateway,
    n::Modem,
    n::ConnectModem,
    n::Apn,
    n::ModemUserName,
    n::ModemPassword,
    n::ModemDialNumber,
    n::ModemKeepLive,
    n::AutoUpLogTime,
    n::AuthServerCheckMode,
    n::AuthServerReq,
    n::AsTimeOut,
    n::AuthServerIp,
    n::Dns,
    n::Url,
    n::AuthServer,
});

}  // namespace

std::span<const std::string_view> KnownOptionNames() {
  return Names;
}

bool IsKnownOptionName(std::string_view name) {
  return std::find(Names.begin(), Names.end(), name) != Names.end();
}

bool IsSecretOption(std::string_view name) {
  if (name.starts_with('~')) return true;
  if (name == option_name::WpaPsk || name == option_name::ModemPassword) return true;
  return std::find(option_name::KeyStr.begin(), option_name::KeyStr.end(), name) !=
         option_name::KeyStr.end();
}

std::string OptionText(std::string_view name, std::string_view value) {
  std::string text;
  text.reserve(name.size() + 1 + value.size());
  text.append(name).append("=").append(value);
  return text;
}

}  // namespace quillstone
