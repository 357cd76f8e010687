#pragma once

#include <array>
#include <functional>
#include <string>

#include "devicelink/OptionExchange.h"
#include "wireless/IpSettings.h"

// The option list of a wireless apply, built from the page's values.
namespace quillstone {

struct WirelessForm {
  bool active = true;                   // ActiveRadio selected (DisableRadio otherwise)
  std::string networkName;              // WirelessNetEdt, untrimmed
  int modelIndex = 0;                   // WirelessModelCob
  std::string authenticationText;       // AuthenticationTypeCob
  std::string encryptionText;           // WepEncryptCob
  bool wepGroupEnabled = false;         // WEPGroup's own flag
  bool wpaGroupEnabled = false;         // WPAGroup's own flag
  std::array<bool, 4> keyMarkers{};     // WepPasswordRadio1..4
  int passwordModeIndex = 0;            // PasswordModeCob, -1 for no item
  std::array<std::string, 4> keyTexts;  // WepPasswordEdt1..4, untrimmed
  std::string passphrase;               // WAPpasswordEdit, untrimmed
};

// Rows 1 to 11 in order; `loadIpSettings` is called once, after the "WIFI=0" row. Key type
// entries take WepKeyFlag.
OptionList BuildWirelessOptionList(const WirelessForm& form,
                                   const std::function<IpSettings()>& loadIpSettings);

}  // namespace quillstone
