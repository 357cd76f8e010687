#include "wireless/WirelessOptions.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "platform/Text.h"
#include "wireless/WirelessKeys.h"

namespace quillstone {

namespace {

constexpr std::string_view AuthenticationModes[] = {"OPEN",   "SHARED",  "WEPAUTO",
                                                    "WPAPSK", "WPA2PSK", "WPANONE"};
constexpr std::string_view EncryptionTypes[] = {"NONE", "WEP", "TKIP", "AES"};

template <std::size_t N>
bool IsOneOf(const std::string& text, const std::string_view (&choices)[N]) {
  return std::find(std::begin(choices), std::end(choices), text) != std::end(choices);
}

void AppendKey(OptionList& options, int key, const std::string& type, const std::string& value) {
  const std::string number = std::to_string(key);
  options.push_back("Key" + number + "Type=" + type);
  options.push_back("Key" + number + "Str=" + value);
}

// Clears every WEP key on the device: type 0 and an empty key for keys 1 to 4.
void AppendEmptyKeys(OptionList& options) {
  for (int key = 1; key <= KeyCount; ++key) AppendKey(options, key, "0", "");
}

void AppendWepBlock(const WirelessForm& form, OptionList& options) {
  for (int key = 1; key <= KeyCount; ++key) {
    if (form.keyMarkers[static_cast<std::size_t>(key - 1)]) {
      options.push_back("DefaultKeyID=" + std::to_string(key));
    }
  }
  const bool formatChosen = form.passwordModeIndex >= 0 && form.passwordModeIndex < NoKeyFormat;
  if (formatChosen) {
    for (int key = 1; key <= KeyCount; ++key) {
      const std::string& text = form.keyTexts[static_cast<std::size_t>(key - 1)];
      // Emptiness is judged untrimmed: a key of blanks sends its flag and an empty key.
      if (text.empty()) {
        AppendKey(options, key, "0", "");
      } else {
        AppendKey(options, key, WepKeyFlag[static_cast<std::size_t>(key)], TrimBlanks(text));
      }
    }
  }
  options.push_back("WPAPSK=");
}

void AppendWpaBlock(const WirelessForm& form, OptionList& options) {
  options.push_back("WPAPSK=" + TrimBlanks(form.passphrase));
  AppendEmptyKeys(options);
}

void AppendNoKeyBlock(OptionList& options) {
  options.push_back("DefaultKeyID=1");
  AppendEmptyKeys(options);
  options.push_back("WPAPSK=");
}

void AppendIpSettings(const IpSettings& settings, OptionList& options) {
  if (settings.radio == "0") {
    options.push_back("wifidhcp=1");
  } else if (settings.radio == "1") {
    options.push_back("wifidhcp=0");
    options.push_back("wifiip=" + settings.address);
    options.push_back("wifimask=" + settings.mask);
    options.push_back("wifigateway=" + settings.gateway);
  }
}

}  // namespace

OptionList BuildWirelessOptionList(const WirelessForm& form,
                                   const std::function<IpSettings()>& loadIpSettings) {
  OptionList options;
  if (form.active) {
    options.push_back("WIFI=1");
    options.push_back("SSID=" + TrimBlanks(form.networkName));
    if (form.modelIndex == 0) {
      options.push_back("NetworkType=Infra");
    } else if (form.modelIndex == 1) {
      options.push_back("NetworkType=Adhoc");
    }
    if (IsOneOf(form.authenticationText, AuthenticationModes)) {
      options.push_back("AuthMode=" + form.authenticationText);
    }
    if (IsOneOf(form.encryptionText, EncryptionTypes)) {
      options.push_back("EncrypType=" + form.encryptionText);
    }
    // Both blocks go out when both groups are enabled, WEP first.
    if (form.wepGroupEnabled) AppendWepBlock(form, options);
    if (form.wpaGroupEnabled) AppendWpaBlock(form, options);
    if (!form.wepGroupEnabled && !form.wpaGroupEnabled) AppendNoKeyBlock(options);
  } else {
    options.push_back("WIFI=0");
  }
  AppendIpSettings(loadIpSettings(), options);
  return options;
}

}  // namespace quillstone
