#include "modem/ModemOptions.h"
#include "tests/modem/ModemWorkedExample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace quillstone {
namespace {

using Options = std::vector<std::string>;
using Field = ModemFieldFault::Field;
using Box = ModemFieldFault::Box;

struct Pick {
  int index;
  const char* text;
};
constexpr Pick ModemNone{0, "NONE"};
constexpr Pick ModemRs232{1, "RS232 "};
constexpr Pick ModemGprs{2, "GPRS"};
constexpr Pick ModemCdma{3, "CDMA"};
constexpr Pick Null{0, "NULL"};
constexpr Pick No{1, "N"};
constexpr Pick Yes{2, "Y"};
constexpr Pick NothingPicked{-1, ""};

void SetModem(ModemForm& form, Pick pick) {
  form.modemIndex = pick.index;
  form.modemText = pick.text;
}
void SetConnect(ModemForm& form, Pick pick) {
  form.connectIndex = pick.index;
  form.connectText = pick.text;
}
void SetKeep(ModemForm& form, Pick pick) {
  form.keepIndex = pick.index;
  form.keepText = pick.text;
}

// The worked example: GPRS, connect and keep-alive "Y", check mode "LAN", IPType with the
// server 10.0.0.2, dial number 123, everything else as the page starts.
ModemForm ExampleForm() {
  ModemForm form;
  form.dialNumber = "123";
  form.checkModeIndex = 1;
  form.checkModeText = "LAN";
  form.authServerIp = "10.0.0.2";
  return form;
}

const Options& ExampleSerialOptions = testing::kModemWorkedExampleOverSerial;

Options Built(const ModemForm& form, ModemTransport transport) {
  const ModemOptionResult result = BuildModemOptionList(form, transport);
  EXPECT_FALSE(result.fault.has_value()) << result.fault->message;
  return result.options;
}

long CountOf(const Options& options, const std::string& entry) {
  return std::count(options.begin(), options.end(), entry);
}

long CountStartingWith(const Options& options, const std::string& prefix) {
  return std::count_if(options.begin(), options.end(),
                       [&](const std::string& option) { return option.rfind(prefix, 0) == 0; });
}

Options WithAuthServer(Options options) {
  options.push_back("~AuthServer=1");
  return options;
}

// ---- Dial number ----

TEST(ModemDialNumber, RequiredUnlessTheModemIsOnTheSerialLine) {
  ModemForm form;
  for (Pick type : {ModemNone, ModemGprs, ModemCdma, NothingPicked}) {
    SetModem(form, type);
    form.dialNumber = "";
    EXPECT_TRUE(DialNumberMissing(form)) << type.text;
    form.dialNumber = " \t ";
    EXPECT_TRUE(DialNumberMissing(form)) << type.text;
    form.dialNumber = " 123\t";
    EXPECT_FALSE(DialNumberMissing(form)) << type.text;
  }
  SetModem(form, ModemRs232);
  form.dialNumber = "";
  EXPECT_FALSE(DialNumberMissing(form));
}

// ---- Worked example ----

TEST(ModemOptionList, WorkedExampleOverTcp) {
  const Options options = Built(ExampleForm(), ModemTransport::Tcp);
  EXPECT_EQ(options, WithAuthServer(ExampleSerialOptions));
  EXPECT_EQ(options.size(), 15u);
}

TEST(ModemOptionList, WorkedExampleOverSerial) {
  const Options options = Built(ExampleForm(), ModemTransport::Serial);
  EXPECT_EQ(options, ExampleSerialOptions);
  EXPECT_EQ(options.size(), 14u);
}

TEST(ModemOptionList, TextsAreSentAsTyped) {
  ModemForm form = ExampleForm();
  form.apn = "cmnet";
  form.userName = " user ";
  form.password = "pa ss";
  form.autoUploadTime = "120";
  form.authServerRequest = "5";
  form.authServerTimeout = "30";
  const Options options = Built(form, ModemTransport::Serial);
  EXPECT_EQ(options[2], "APN=cmnet");
  EXPECT_EQ(options[3], "ModemUserName= user ");
  EXPECT_EQ(options[4], "ModemPassword=pa ss");
  EXPECT_EQ(options[7], "AutoUPLogTime=120");
  EXPECT_EQ(options[9], "AuthServerREQ=5");
  EXPECT_EQ(options[10], "ASTimeOut=30");
}

// ---- Modem type and connect (rows 1 and 2) ----

TEST(ModemOptionList, SerialModemOverTcpSendsOnlyItsType) {
  ModemForm form = ExampleForm();
  SetModem(form, ModemRs232);
  EXPECT_EQ(Built(form, ModemTransport::Tcp), Options{"~MODEM=1"});

  // No address check runs on that road either.
  form.authServerIp = "0.0.0.0";
  EXPECT_EQ(Built(form, ModemTransport::Tcp), Options{"~MODEM=1"});
}

TEST(ModemOptionList, SerialModemOverSerialSendsRowsOneToThirteen) {
  ModemForm form = ExampleForm();
  SetModem(form, ModemRs232);
  Options expected = ExampleSerialOptions;
  expected[0] = "~MODEM=1";
  EXPECT_EQ(Built(form, ModemTransport::Serial), expected);
}

TEST(ModemOptionList, SerialModemOverSerialStillChecksTheServerAddress) {
  ModemForm form = ExampleForm();
  SetModem(form, ModemRs232);
  form.authServerIp = "0.0.0.0";
  const ModemOptionResult result = BuildModemOptionList(form, ModemTransport::Serial);
  ASSERT_TRUE(result.fault.has_value());
  EXPECT_EQ(result.fault->field, Field::AuthServerIp);
}

TEST(ModemOptionList, NoModemNotConnectingSendsTypeZeroFromTheConnectRow) {
  ModemForm form = ExampleForm();
  SetModem(form, ModemNone);
  SetConnect(form, No);
  for (ModemTransport transport : {ModemTransport::Tcp, ModemTransport::Serial}) {
    const Options options = Built(form, transport);
    EXPECT_EQ(options[0], "~MODEM=0");
    EXPECT_EQ(options[1], "APN=");
    EXPECT_EQ(CountOf(options, "~MODEM=0"), 1);
    EXPECT_EQ(CountStartingWith(options, "ConnectMODEM="), 0);
  }
}

TEST(ModemOptionList, NoModemConnectingSendsNoType) {
  ModemForm form = ExampleForm();
  SetModem(form, ModemNone);
  const Options options = Built(form, ModemTransport::Tcp);
  EXPECT_EQ(options[0], "ConnectMODEM=1");
  EXPECT_EQ(CountStartingWith(options, "~MODEM="), 0);
}

TEST(ModemOptionList, ModemNotConnectingSendsTypeZeroTwice) {
  ModemForm form = ExampleForm();
  SetConnect(form, No);
  const Options options = Built(form, ModemTransport::Tcp);
  EXPECT_EQ(options[0], "~MODEM=0");
  EXPECT_EQ(options[1], "~MODEM=0");
  EXPECT_EQ(options[2], "APN=");
  EXPECT_EQ(CountStartingWith(options, "ConnectMODEM="), 0);
  EXPECT_EQ(options.size(), 15u);
}

TEST(ModemOptionList, ConnectNullSendsTypeZeroOnce) {
  ModemForm form = ExampleForm();
  SetConnect(form, Null);
  const Options options = Built(form, ModemTransport::Tcp);
  EXPECT_EQ(options[0], "~MODEM=0");
  EXPECT_EQ(options[1], "APN=");
  EXPECT_EQ(CountOf(options, "~MODEM=0"), 1);
  EXPECT_EQ(CountStartingWith(options, "ConnectMODEM="), 0);
  EXPECT_EQ(options.size(), 14u);
}

TEST(ModemOptionList, CdmaSendsNoApn) {
  ModemForm form = ExampleForm();
  SetModem(form, ModemCdma);
  form.apn = "left over";
  for (ModemTransport transport : {ModemTransport::Tcp, ModemTransport::Serial}) {
    const Options options = Built(form, transport);
    EXPECT_EQ(options[0], "~MODEM=3");
    EXPECT_EQ(options[1], "ConnectMODEM=1");
    EXPECT_EQ(options[2], "ModemUserName=");
    EXPECT_EQ(CountStartingWith(options, "APN="), 0);
  }
}

// ---- Keep-alive and check mode (rows 7 and 9) ----

TEST(ModemOptionList, KeepAliveNullSendsNothingAndNoSendsZero) {
  ModemForm form = ExampleForm();
  SetKeep(form, Null);
  Options options = Built(form, ModemTransport::Serial);
  EXPECT_EQ(CountStartingWith(options, "ModemKeepLive="), 0);
  EXPECT_EQ(options[6], "AutoUPLogTime=60");

  SetKeep(form, No);
  options = Built(form, ModemTransport::Serial);
  EXPECT_EQ(options[6], "ModemKeepLive=0");
}

TEST(ModemOptionList, CheckModeByPick) {
  ModemForm form = ExampleForm();
  form.checkModeIndex = 2;
  form.checkModeText = "GPRS/CDMA";
  EXPECT_EQ(Built(form, ModemTransport::Serial)[8], "AuthServerCheckMode=1");

  form.checkModeIndex = 0;
  form.checkModeText = "NONE";
  const Options options = Built(form, ModemTransport::Serial);
  EXPECT_EQ(CountStartingWith(options, "AuthServerCheckMode="), 0);
  EXPECT_EQ(options[8], "AuthServerREQ=3");
}

TEST(ModemOptionList, UnpickedCheckModeSendsNothingLikeNone) {
  ModemForm form = ExampleForm();
  form.checkModeIndex = -1;
  form.checkModeText = "";
  for (ModemTransport transport : {ModemTransport::Tcp, ModemTransport::Serial}) {
    const Options options = Built(form, transport);
    EXPECT_EQ(CountStartingWith(options, "AuthServerCheckMode="), 0);
    EXPECT_EQ(options[7], "AutoUPLogTime=60");
    EXPECT_EQ(options[8], "AuthServerREQ=3");
  }
}

TEST(ModemOptionList, TheFormStartsWithNoCheckModePicked) {
  ModemForm form;
  form.dialNumber = "1";
  form.authServerIp = "10.0.0.2";
  const Options options = Built(form, ModemTransport::Tcp);
  EXPECT_EQ(CountStartingWith(options, "AuthServerCheckMode="), 0);
  EXPECT_EQ(CountOf(options, "AuthServerCheckMode=-2"), 0);
}

TEST(ModemOptionList, UnpickedListsNeverSendNegativeValues) {
  ModemForm form = ExampleForm();
  SetConnect(form, NothingPicked);
  SetKeep(form, NothingPicked);
  const Options options = Built(form, ModemTransport::Tcp);
  EXPECT_EQ(options[0], "~MODEM=2");
  EXPECT_EQ(CountStartingWith(options, "ConnectMODEM="), 0);
  EXPECT_EQ(CountStartingWith(options, "ModemKeepLive="), 0);
  for (const std::string& option : options) {
    EXPECT_EQ(option.find("=-"), std::string::npos) << option;
  }
}

// ---- Authentication server (rows 12 and 13) ----

TEST(ModemOptionList, ServerAddressIsRequiredForIpType) {
  for (const char* address : {"", "0.0.0.0"}) {
    ModemForm form = ExampleForm();
    form.authServerIp = address;
    for (ModemTransport transport : {ModemTransport::Tcp, ModemTransport::Serial}) {
      const ModemOptionResult result = BuildModemOptionList(form, transport);
      ASSERT_TRUE(result.fault.has_value()) << '"' << address << '"';
      EXPECT_EQ(result.fault->field, Field::AuthServerIp);
      EXPECT_EQ(result.fault->box, Box::NoticeWarning);
      EXPECT_EQ(result.fault->message, "not Set IPaddress!");
      EXPECT_TRUE(result.options.empty());
    }
  }
}

ModemForm DnsForm() {
  ModemForm form = ExampleForm();
  form.ipType = false;
  form.dnsType = true;
  form.authServerIp = "0.0.0.0";  // switching to DNSType clears it
  form.dnsIp = "8.8.4.4";
  form.url = "auth.example.test";
  return form;
}

TEST(ModemOptionList, DnsTypeSendsDnsUrlThenServerAddress) {
  Options expected = ExampleSerialOptions;
  expected.resize(11);
  expected.insert(expected.end(), {"DNS=8.8.4.4", "URL=auth.example.test", "AuthServerIP=0.0.0.0"});
  EXPECT_EQ(Built(DnsForm(), ModemTransport::Serial), expected);
  EXPECT_EQ(Built(DnsForm(), ModemTransport::Tcp), WithAuthServer(expected));
}

TEST(ModemOptionList, DnsTypeWithoutUrlFails) {
  ModemForm form = DnsForm();
  form.url = "";
  const ModemOptionResult result = BuildModemOptionList(form, ModemTransport::Tcp);
  ASSERT_TRUE(result.fault.has_value());
  EXPECT_EQ(result.fault->field, Field::Url);
  EXPECT_EQ(result.fault->box, Box::Plain);
  EXPECT_EQ(result.fault->message, "URLEdit not null");
  EXPECT_TRUE(result.options.empty());
}

TEST(ModemOptionList, DnsTypeChecksTheDnsAddressFirst) {
  for (const char* address : {"0.0.0.0", ""}) {
    ModemForm form = DnsForm();
    form.dnsIp = address;
    form.url = "";
    const ModemOptionResult result = BuildModemOptionList(form, ModemTransport::Serial);
    ASSERT_TRUE(result.fault.has_value());
    EXPECT_EQ(result.fault->field, Field::DnsIp);
    EXPECT_EQ(result.fault->box, Box::Plain);
    EXPECT_EQ(result.fault->message, "DNSIPEdit not null");
    EXPECT_TRUE(result.options.empty());
  }
}

TEST(ModemOptionList, DnsTypeIgnoresTheClearedServerAddress) {
  // The server address is "0.0.0.0" in DnsForm; only IPType checks it.
  EXPECT_FALSE(BuildModemOptionList(DnsForm(), ModemTransport::Tcp).fault.has_value());
}

}  // namespace
}  // namespace quillstone
