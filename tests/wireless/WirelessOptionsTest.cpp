#include "wireless/WirelessOptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "WirelessTestSupport.h"

namespace quillstone {
namespace {

using Options = std::vector<std::string>;

IpSettings Dhcp() {
  return IpSettings{"", "", "", "0"};
}
IpSettings Fixed() {
  return IpSettings{"192.168.1.50", "255.255.255.0", "192.168.1.1", "1"};
}

// Stands in for the settings file and counts how often it is read.
class IpSettingsStub {
 public:
  explicit IpSettingsStub(IpSettings settings) : settings_(std::move(settings)) {}
  std::function<IpSettings()> Loader() {
    return [this] {
      ++calls_;
      return settings_;
    };
  }
  int calls() const { return calls_; }

 private:
  IpSettings settings_;
  int calls_ = 0;
};

// The page as the window opens it, with a network name.
WirelessForm StartForm() {
  WirelessForm form;
  form.networkName = "Office";
  form.authenticationText = "OPEN";
  form.encryptionText = "NONE";
  return form;
}

WirelessForm WepForm() {
  WirelessForm form = StartForm();
  form.encryptionText = "WEP";
  form.wepGroupEnabled = true;
  form.keyMarkers[0] = true;
  return form;
}

Options Build(const WirelessForm& form, IpSettings settings = Dhcp()) {
  IpSettingsStub stub(std::move(settings));
  return BuildWirelessOptionList(form, stub.Loader());
}

// The entries from the first one named `name` on, `count` of them.
Options Slice(const Options& options, const std::string& first, std::size_t count) {
  const auto start = std::find(options.begin(), options.end(), first);
  if (start == options.end() ||
      static_cast<std::size_t>(std::distance(start, options.end())) < count) {
    ADD_FAILURE() << "no " << count << " entries from " << first;
    return {};
  }
  return Options(start, start + static_cast<std::ptrdiff_t>(count));
}

class WirelessOptionList : public ::testing::Test {
 protected:
  void SetUp() override { test_support::ResetWirelessState(); }
  void TearDown() override { test_support::ResetWirelessState(); }
};

// ---- Worked examples ----

TEST_F(WirelessOptionList, ActiveWithoutKeysAndDhcp) {
  EXPECT_EQ(
      Build(StartForm(), Dhcp()),
      (Options{"WIFI=1", "SSID=Office", "NetworkType=Infra", "AuthMode=OPEN", "EncrypType=NONE",
               "DefaultKeyID=1", "Key1Type=0", "Key1Str=", "Key2Type=0", "Key2Str=", "Key3Type=0",
               "Key3Str=", "Key4Type=0", "Key4Str=", "WPAPSK=", "wifidhcp=1"}));
}

TEST_F(WirelessOptionList, DisabledWithFixedAddress) {
  WirelessForm form = StartForm();
  form.active = false;
  EXPECT_EQ(Build(form, Fixed()), (Options{"WIFI=0", "wifidhcp=0", "wifiip=192.168.1.50",
                                           "wifimask=255.255.255.0", "wifigateway=192.168.1.1"}));
}

TEST_F(WirelessOptionList, DisabledIgnoresTheWholePage) {
  WirelessForm form = WepForm();
  form.active = false;
  form.networkName = "";
  form.wpaGroupEnabled = true;
  form.keyTexts = {"0123456789", "", "", ""};
  EXPECT_EQ(Build(form, Dhcp()), (Options{"WIFI=0", "wifidhcp=1"}));
}

// ---- Rows 2 to 5 ----

TEST_F(WirelessOptionList, NetworkNameIsSentTrimmedAndMayBeEmpty) {
  WirelessForm form = StartForm();
  form.networkName = "";
  EXPECT_EQ(Build(form)[1], "SSID=");
  form.networkName = " \t ";
  EXPECT_EQ(Build(form)[1], "SSID=");
  form.networkName = "  Lab net\r\n";
  EXPECT_EQ(Build(form)[1], "SSID=Lab net");
}

TEST_F(WirelessOptionList, NetworkTypeByModelIndex) {
  WirelessForm form = StartForm();
  form.modelIndex = 1;
  EXPECT_EQ(Build(form)[2], "NetworkType=Adhoc");
  for (int index : {-1, 2}) {
    form.modelIndex = index;
    const Options options = Build(form);
    EXPECT_EQ(options[2], "AuthMode=OPEN");
    EXPECT_EQ(options.size(), 15u);
  }
}

TEST_F(WirelessOptionList, AuthenticationAndEncryptionTextsAreSentAsShown) {
  WirelessForm form = StartForm();
  for (const char* mode : {"OPEN", "SHARED", "WEPAUTO", "WPAPSK", "WPA2PSK", "WPANONE"}) {
    form.authenticationText = mode;
    EXPECT_EQ(Build(form)[3], std::string("AuthMode=") + mode);
  }
  form.authenticationText = "OPEN";
  for (const char* type : {"NONE", "WEP", "TKIP", "AES"}) {
    form.encryptionText = type;
    EXPECT_EQ(Build(form)[4], std::string("EncrypType=") + type);
  }
}

TEST_F(WirelessOptionList, UnknownTextsAddNoEntry) {
  WirelessForm form = StartForm();
  form.authenticationText = "wpapsk";  // comparison is case-sensitive
  form.encryptionText = "";
  const Options options = Build(form);
  EXPECT_EQ(options.size(), 14u);
  for (const std::string& option : options) {
    EXPECT_NE(option.rfind("AuthMode=", 0), 0u) << option;
    EXPECT_NE(option.rfind("EncrypType=", 0), 0u) << option;
  }
}

// ---- WEP block ----

TEST_F(WirelessOptionList, WepBlockSendsDefaultKeyAndEveryKey) {
  WepKeyFlag = {"0", "0", "1", "1", "1"};
  WirelessForm form = WepForm();
  form.keyMarkers = {false, false, true, false};
  form.keyTexts = {"0123456789", "   ", "", " abcde "};
  const Options options = Build(form);
  EXPECT_EQ(
      Slice(options, "EncrypType=WEP", 11),
      (Options{"EncrypType=WEP", "DefaultKeyID=3", "Key1Type=0", "Key1Str=0123456789", "Key2Type=1",
               "Key2Str=", "Key3Type=0", "Key3Str=", "Key4Type=1", "Key4Str=abcde", "WPAPSK="}));
  EXPECT_EQ(options.back(), "wifidhcp=1");
  EXPECT_EQ(options.size(), 16u);
}

TEST_F(WirelessOptionList, BlankKeySendsItsFlagAndAnEmptyKey) {
  WepKeyFlag[1] = "1";
  WirelessForm form = WepForm();
  form.keyTexts[0] = " \t ";
  const Options options = Build(form);
  EXPECT_EQ(Slice(options, "Key1Type=1", 2), (Options{"Key1Type=1", "Key1Str="}));
}

TEST_F(WirelessOptionList, EmptyKeySendsTypeZeroWhateverItsFlag) {
  WepKeyFlag = {"1", "1", "1", "1", "1"};
  WirelessForm form = WepForm();
  const Options options = Build(form);
  EXPECT_EQ(Slice(options, "Key1Type=0", 8),
            (Options{"Key1Type=0", "Key1Str=", "Key2Type=0", "Key2Str=", "Key3Type=0",
                     "Key3Str=", "Key4Type=0", "Key4Str="}));
}

TEST_F(WirelessOptionList, NoDefaultKeyMeansNoDefaultKeyEntry) {
  WirelessForm form = WepForm();
  form.keyMarkers = {};
  const Options options = Build(form);
  EXPECT_EQ(options[5], "Key1Type=0");
  EXPECT_EQ(std::count_if(
                options.begin(), options.end(),
                [](const std::string& option) { return option.rfind("DefaultKeyID=", 0) == 0; }),
            0);
}

TEST_F(WirelessOptionList, EveryKeyFormatSendsTheSameEntries) {
  WirelessForm form = WepForm();
  form.keyTexts = {"abcde", "", "", ""};
  form.passwordModeIndex = 0;
  const Options expected = Build(form);
  for (int format : {1, 2, 3}) {
    form.passwordModeIndex = format;
    EXPECT_EQ(Build(form), expected) << "format " << format;
  }
}

TEST_F(WirelessOptionList, NoKeyFormatChosenLeavesOutTheKeyEntries) {
  WirelessForm form = WepForm();
  form.keyTexts = {"0123456789", "", "", ""};
  for (int index : {-1, NoKeyFormat}) {
    form.passwordModeIndex = index;
    EXPECT_EQ(Build(form), (Options{"WIFI=1", "SSID=Office", "NetworkType=Infra", "AuthMode=OPEN",
                                    "EncrypType=WEP", "DefaultKeyID=1", "WPAPSK=", "wifidhcp=1"}));
  }
}

// ---- WPA block ----

TEST_F(WirelessOptionList, WpaBlockSendsTrimmedPassphraseAndClearsKeys) {
  WirelessForm form = StartForm();
  form.authenticationText = "WPA2PSK";
  form.encryptionText = "AES";
  form.wpaGroupEnabled = true;
  form.passphrase = "  secret12 ";
  EXPECT_EQ(Build(form), (Options{"WIFI=1", "SSID=Office", "NetworkType=Infra", "AuthMode=WPA2PSK",
                                  "EncrypType=AES", "WPAPSK=secret12", "Key1Type=0",
                                  "Key1Str=", "Key2Type=0", "Key2Str=", "Key3Type=0",
                                  "Key3Str=", "Key4Type=0", "Key4Str=", "wifidhcp=1"}));
  form.passphrase = "";
  EXPECT_EQ(Build(form)[5], "WPAPSK=");
}

TEST_F(WirelessOptionList, BothGroupsEnabledSendWepThenWpa) {
  WepKeyFlag[1] = "1";
  WirelessForm form = WepForm();
  form.wpaGroupEnabled = true;
  form.passphrase = "passphrase";
  form.keyTexts = {"0123456789", "", "", ""};
  EXPECT_EQ(Build(form),
            (Options{"WIFI=1",         "SSID=Office",    "NetworkType=Infra", "AuthMode=OPEN",
                     "EncrypType=WEP", "DefaultKeyID=1", "Key1Type=1",        "Key1Str=0123456789",
                     "Key2Type=0",     "Key2Str=",       "Key3Type=0",        "Key3Str=",
                     "Key4Type=0",     "Key4Str=",       "WPAPSK=",           "WPAPSK=passphrase",
                     "Key1Type=0",     "Key1Str=",       "Key2Type=0",        "Key2Str=",
                     "Key3Type=0",     "Key3Str=",       "Key4Type=0",        "Key4Str=",
                     "wifidhcp=1"}));
}

// ---- Device IP rows ----

TEST_F(WirelessOptionList, OtherRadioValuesAddNoIpEntry) {
  for (const char* radio : {"", "2", " 1", "0 ", "yes"}) {
    SCOPED_TRACE(radio);
    const Options options = Build(StartForm(), IpSettings{"10.0.0.9", "255.0.0.0", "", radio});
    EXPECT_EQ(options.size(), 15u);
    EXPECT_EQ(options.back(), "WPAPSK=");
  }
}

TEST_F(WirelessOptionList, FixedAddressEntriesCarryTheStoredTexts) {
  const Options options = Build(StartForm(), IpSettings{"", "", "", "1"});
  EXPECT_EQ(Slice(options, "wifidhcp=0", 4),
            (Options{"wifidhcp=0", "wifiip=", "wifimask=", "wifigateway="}));
}

TEST_F(WirelessOptionList, SettingsAreReadExactlyOnce) {
  for (bool active : {true, false}) {
    for (const IpSettings& settings : {Dhcp(), Fixed(), IpSettings{}}) {
      WirelessForm form = WepForm();
      form.active = active;
      form.wpaGroupEnabled = true;
      IpSettingsStub stub(settings);
      BuildWirelessOptionList(form, stub.Loader());
      EXPECT_EQ(stub.calls(), 1);
    }
  }
}

TEST_F(WirelessOptionList, MissingSettingsFileGivesNoIpEntry) {
  test_support::TempDirectory directory;
  const std::string programDirectory = directory.WithSeparator();
  const Options options =
      BuildWirelessOptionList(StartForm(), [&] { return LoadIpSettings(programDirectory); });
  EXPECT_EQ(options.size(), 15u);
  EXPECT_EQ(options.back(), "WPAPSK=");
}

TEST_F(WirelessOptionList, StoredSettingsFileFeedsTheList) {
  test_support::TempDirectory directory;
  const std::string programDirectory = directory.WithSeparator();
  SaveIpSettings(programDirectory, "10.1.2.3", "255.0.0.0", "10.1.2.254");
  WirelessForm form = StartForm();
  form.active = false;
  EXPECT_EQ(BuildWirelessOptionList(form, [&] { return LoadIpSettings(programDirectory); }),
            (Options{"WIFI=0", "wifidhcp=0", "wifiip=10.1.2.3", "wifimask=255.0.0.0",
                     "wifigateway=10.1.2.254"}));
}

}  // namespace
}  // namespace quillstone
