#include "modem/ModemOptions.h"

#include <optional>

#include "devicelink/OptionNames.h"
#include "platform/Text.h"

namespace quillstone {

namespace {

constexpr int Rs232ModemIndex = 1;
constexpr int CdmaModemIndex = 3;
constexpr const char* ClearedAddress = "0.0.0.0";

// A pick goes to the device as its item index minus 1 ("N" 0, "Y" 1). With no item picked
// that would be -2, which means nothing to the device: no entry, as for "NULL" or "NONE".
std::optional<int> DeviceValueOfPick(int itemIndex) {
  if (itemIndex < 0) return std::nullopt;
  return itemIndex - 1;
}

bool AddressMissing(const std::string& address) {
  return address.empty() || address == ClearedAddress;
}

ModemFieldFault Fault(ModemFieldFault::Field field, ModemFieldFault::Box box, const char* message) {
  return ModemFieldFault{field, box, message};
}

// Row 1: the modem type; a modem that is not to connect is reported as type 0.
void AppendModemType(const ModemForm& form, OptionList& options) {
  if (form.modemText == "NONE" || form.modemIndex < 0) return;
  if (form.connectText == "N" || form.connectText == "NULL") {
    options.push_back(OptionText(option_name::Modem, "0"));
  } else {
    options.push_back(OptionText(option_name::Modem, std::to_string(form.modemIndex)));
  }
}

// Rows 2 to 11: the dial-up account and the timing values.
void AppendDialConfig(const ModemForm& form, OptionList& options) {
  if (form.connectText == "N") {
    options.push_back(OptionText(option_name::Modem, "0"));
  } else if (form.connectText != "NULL") {
    if (const auto connect = DeviceValueOfPick(form.connectIndex)) {
      options.push_back(OptionText(option_name::ConnectModem, std::to_string(*connect)));
    }
  }
  if (form.modemIndex != CdmaModemIndex) options.push_back(OptionText(option_name::Apn, form.apn));
  options.push_back(OptionText(option_name::ModemUserName, form.userName));
  options.push_back(OptionText(option_name::ModemPassword, form.password));
  options.push_back(OptionText(option_name::ModemDialNumber, form.dialNumber));
  if (form.keepText != "NULL") {
    if (const auto keep = DeviceValueOfPick(form.keepIndex)) {
      options.push_back(OptionText(option_name::ModemKeepLive, std::to_string(*keep)));
    }
  }
  options.push_back(OptionText(option_name::AutoUpLogTime, form.autoUploadTime));
  if (form.checkModeText != "NONE") {
    if (const auto checkMode = DeviceValueOfPick(form.checkModeIndex)) {
      options.push_back(OptionText(option_name::AuthServerCheckMode, std::to_string(*checkMode)));
    }
  }
  options.push_back(OptionText(option_name::AuthServerReq, form.authServerRequest));
  options.push_back(OptionText(option_name::AsTimeOut, form.authServerTimeout));
}

// Rows 12 and 13: the authentication server, by address or by name.
std::optional<ModemFieldFault> AppendAuthServer(const ModemForm& form, OptionList& options) {
  using Field = ModemFieldFault::Field;
  using Box = ModemFieldFault::Box;
  if (form.ipType) {
    if (AddressMissing(form.authServerIp)) {
      return Fault(Field::AuthServerIp, Box::NoticeWarning, "not Set IPaddress!");
    }
    options.push_back(OptionText(option_name::AuthServerIp, form.authServerIp));
    options.push_back(OptionText(option_name::Dns, form.dnsIp));
    options.push_back(OptionText(option_name::Url, form.url));
  }
  if (form.dnsType) {
    if (AddressMissing(form.dnsIp)) {
      return Fault(Field::DnsIp, Box::Plain, "DNSIPEdit not null");
    }
    if (form.url.empty()) return Fault(Field::Url, Box::Plain, "URLEdit not null");
    options.push_back(OptionText(option_name::Dns, form.dnsIp));
    options.push_back(OptionText(option_name::Url, form.url));
    options.push_back(OptionText(option_name::AuthServerIp, form.authServerIp));
  }
  return std::nullopt;
}

}  // namespace

bool DialNumberMissing(const ModemForm& form) {
  return form.modemIndex != Rs232ModemIndex && TrimBlanks(form.dialNumber).empty();
}

ModemOptionResult BuildModemOptionList(const ModemForm& form, ModemTransport transport) {
  ModemOptionResult result;
  AppendModemType(form, result.options);
  // Over TCP/IP a modem on the serial line has no dial-up settings; over RS232 they go
  // out whatever the type.
  const bool tcp = transport == ModemTransport::Tcp;
  if (tcp && form.modemIndex == Rs232ModemIndex) return result;

  AppendDialConfig(form, result.options);
  result.fault = AppendAuthServer(form, result.options);
  if (result.fault) {
    result.options.clear();  // nothing of a failed list may reach the device
    return result;
  }
  if (tcp) result.options.push_back(OptionText(option_name::AuthServer, "1"));
  return result;
}

}  // namespace quillstone
