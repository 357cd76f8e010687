#pragma once

#include <optional>
#include <string>

#include "devicelink/OptionExchange.h"

// The option list of a modem apply, built from the modem page's values.
namespace quillstone {

struct ModemForm {
  int modemIndex = 2;  // CMBModem: "NONE", "RS232 ", "GPRS", "CDMA"
  std::string modemText = "GPRS";
  int connectIndex = 2;  // CMBConnect: "NULL", "N", "Y"
  std::string connectText = "Y";
  std::string apn;         // APNEdit
  std::string userName;    // EDTUserName
  std::string password;    // EDTpsw
  std::string dialNumber;  // EDTNum
  int keepIndex = 2;       // CMBKeep: "NULL", "N", "Y"
  std::string keepText = "Y";
  std::string autoUploadTime = "60";  // EDTAutoUPT
  int checkModeIndex = -1;            // CMDChcekM: "NONE", "LAN", "GPRS/CDMA"; -1 no item picked
  std::string checkModeText;
  std::string authServerRequest = "3";   // Edit2
  std::string authServerTimeout = "10";  // Edit3
  bool ipType = true;                    // RadioButton3 "IPType"
  bool dnsType = false;                  // RadioButton4 "DNSType"
  std::string authServerIp = "0.0.0.0";  // Edit4
  std::string dnsIp = "0.0.0.0";         // DNSIPEdit
  std::string url;                       // URLEdit
};

enum class ModemTransport { Tcp, Serial };

// A failed address or URL check of rows 12 and 13: nothing may be written.
struct ModemFieldFault {
  enum class Field { AuthServerIp, DnsIp, Url };
  enum class Box { NoticeWarning, Plain };
  Field field = Field::AuthServerIp;
  Box box = Box::Plain;
  std::string message;
};

struct ModemOptionResult {
  OptionList options;
  std::optional<ModemFieldFault> fault;  // set: options must not be written
};

// Step 1 of the apply: an empty (trimmed) dial number with a type other than "RS232 ".
bool DialNumberMissing(const ModemForm& form);

ModemOptionResult BuildModemOptionList(const ModemForm& form, ModemTransport transport);

}  // namespace quillstone
