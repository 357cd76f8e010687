#include "devicelink/OptionNames.h"

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>
#include <string_view>

namespace quillstone {
namespace {

struct NameCase {
  std::string_view name;
  bool known;
  bool secret;
};

void PrintTo(const NameCase& c, std::ostream* os) {
  *os << '"' << c.name << '"';
}

class OptionNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(OptionNameTest, KnownAndSecretAsListed) {
  EXPECT_EQ(IsKnownOptionName(GetParam().name), GetParam().known);
  EXPECT_EQ(IsSecretOption(GetParam().name), GetParam().secret);
}

INSTANTIATE_TEST_SUITE_P(
    Names, OptionNameTest,
    ::testing::Values(
        // The names the wireless page writes.
        NameCase{"WIFI", true, false}, NameCase{"SSID", true, false},
        NameCase{"NetworkType", true, false}, NameCase{"AuthMode", true, false},
        NameCase{"EncrypType", true, false}, NameCase{"DefaultKeyID", true, false},
        NameCase{"Key1Type", true, false}, NameCase{"Key4Type", true, false},
        NameCase{"Key1Str", true, true}, NameCase{"Key2Str", true, true},
        NameCase{"Key3Str", true, true}, NameCase{"Key4Str", true, true},
        NameCase{"WPAPSK", true, true}, NameCase{"wifidhcp", true, false},
        NameCase{"wifiip", true, false}, NameCase{"wifimask", true, false},
        NameCase{"wifigateway", true, false},
        // The names the modem page writes.
        NameCase{"~MODEM", true, true}, NameCase{"ConnectMODEM", true, false},
        NameCase{"APN", true, false}, NameCase{"ModemUserName", true, false},
        NameCase{"ModemPassword", true, true}, NameCase{"ModemDialNumber", true, false},
        NameCase{"ModemKeepLive", true, false}, NameCase{"AutoUPLogTime", true, false},
        NameCase{"AuthServerCheckMode", true, false}, NameCase{"AuthServerREQ", true, false},
        NameCase{"ASTimeOut", true, false}, NameCase{"AuthServerIP", true, false},
        NameCase{"DNS", true, false}, NameCase{"URL", true, false},
        NameCase{"~AuthServer", true, true},
        // The probe is read, never written; still scrambled, so secret.
        NameCase{"~OS", false, true},
        // Any other "~" option may travel scrambled.
        NameCase{"~Anything", false, true}, NameCase{"~", false, true},
        // Names compare exactly, letter case included.
        NameCase{"ssid", false, false}, NameCase{"Ssid", false, false},
        NameCase{"wpapsk", false, false}, NameCase{"key1str", false, false},
        NameCase{"Key5Str", false, false}, NameCase{"Key0Str", false, false},
        NameCase{"WIFI ", false, false}, NameCase{" WIFI", false, false},
        NameCase{"", false, false}, NameCase{"wfiip", false, false},
        NameCase{"MODEM", false, false}));

TEST(OptionNames, ListHoldsEachNameOnce) {
  const auto names = KnownOptionNames();
  const std::set<std::string_view> distinct(names.begin(), names.end());
  EXPECT_EQ(distinct.size(), names.size());
  EXPECT_EQ(names.size(), 34U);
}

TEST(OptionNames, EveryListedNameIsKnown) {
  for (const std::string_view name : KnownOptionNames()) {
    EXPECT_TRUE(IsKnownOptionName(name)) << name;
  }
}

TEST(OptionNames, OptionTextJoinsNameAndValue) {
  EXPECT_EQ(OptionText("SSID", "Lab"), "SSID=Lab");
  EXPECT_EQ(OptionText("WPAPSK", ""), "WPAPSK=");
  EXPECT_EQ(OptionText("URL", "a=b"), "URL=a=b");
}

}  // namespace
}  // namespace quillstone
