#include "wireless/WirelessOptions.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "devicelink/OptionNames.h"
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
  const auto index = static_cast<std::size_t>(key - 1);
  options.push_back(OptionText(option_name::KeyType.at(index), type));
  options.push_back(OptionText(option_name::KeyStr.at(index), value));
}

// Clears every WEP key on the device: type 0 and an empty key for keys 1 to 4.
void AppendEmptyKeys(OptionList& options) {
  for (int key = 1; key <= KeyCount; ++key) AppendKey(options, key, "0", "");
}

void AppendWepBlock(const WirelessForm& form, OptionList& options) {
  for (int key = 1; key <= KeyCount; ++key) {
    if (form.keyMarkers[static_cast<std::size_t>(key - 1)]) {
      options.push_back(OptionText(option_name::DefaultKeyId, std::to_string(key)));
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
  options.push_back(OptionText(option_name::WpaPsk, ""));
}

void AppendWpaBlock(const WirelessForm& form, OptionList& options) {
  options.push_back(OptionText(option_name::WpaPsk, TrimBlanks(form.passphrase)));
  AppendEmptyKeys(options);
}

void AppendNoKeyBlock(OptionList& options) {
  options.push_back(OptionText(option_name::DefaultKeyId, "1"));
  AppendEmptyKeys(options);
  options.push_back(OptionText(option_name::WpaPsk, ""));
}

void AppendIpSettings(const IpSettings& settings, OptionList& options) {
  if (settings.radio == "0") {
    options.push_back(OptionText(option_name::WifiDhcp, "1"));
  } else if (settings.radio == "1") {
    options.push_back(OptionText(option_name::WifiDhcp, "0"));
    options.push_back(OptionText(option_name::WifiIp, settings.address));
    options.push_back(OptionText(option_name::WifiMask, settings.mask));
    options.push_back(OptionText(option_name::WifiGateway, settings.gateway));
  }
}

}  // namespace

OptionList BuildWirelessOptionList(const WirelessForm& form,
                                   const std::function<IpSettings()>& loadIpSettings) {
  OptionList options;
  if (form.active) {
    options.push_back(OptionText(option_name::Wifi, "1"));
    options.push_back(OptionText(option_name::Ssid, TrimBlanks(form.networkName)));
    if (form.modelIndex == 0) {
      options.push_back(OptionText(option_name::NetworkType, "Infra"));
    } else if (form.modelIndex == 1) {
      options.push_back(OptionText(option_name::NetworkType, "Adhoc"));
    }
    if (IsOneOf(form.authenticationText, AuthenticationModes)) {
      options.push_back(OptionText(option_name::AuthMode, form.authenticationText));
    }
    if (IsOneOf(form.encryptionText, EncryptionTypes)) {
      options.push_back(OptionText(option_name::EncrypType, form.encryptionText));
    }
    // Both blocks go out when both groups are enabled, WEP first.
    if (form.wepGroupEnabled) AppendWepBlock(form, options);
    if (form.wpaGroupEnabled) AppendWpaBlock(form, options);
    if (!form.wepGroupEnabled && !form.wpaGroupEnabled) AppendNoKeyBlock(options);
  } else {
    options.push_back(OptionText(option_name::Wifi, "0"));
  }
  AppendIpSettings(loadIpSettings(), options);
  return options;
}

}  // namespace quillstone
