// quillstone-cli's strict input: the text of both files, the option names, the section
// headers, the hosts and serial lines of the device addresses. Each fault is bad input that
// names file, line and column, and nothing reaches a device.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/DeviceAddress.h"
#include "cli/InputError.h"
#include "cli/InputFiles.h"
#include "tests/cli/CliTestSupport.h"
#include "tests/support/Environment.h"

namespace quillstone::cli {
namespace {

using quillstone::testing::CliRunner;
using quillstone::testing::SimulatedFleet;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace std::string_literals;

// Answers from tables, and a record of every name asked: no test here queries a name server.
class FakeResolver {
 public:
  std::map<std::string, std::string> hosts;
  std::map<std::string, std::string> lines = {{"COM7", "/dev/pts/7"}};
  std::vector<std::string> hostsAsked;

  AddressResolver Get() {
    return {[this](const std::string& host) -> std::optional<std::string> {
              hostsAsked.push_back(host);
              const auto found = hosts.find(host);
              if (found == hosts.end()) return std::nullopt;
              return found->second;
            },
            [this](const std::string& port) -> std::optional<std::string> {
              const auto found = lines.find(port);
              if (found == lines.end()) return std::nullopt;
              return found->second;
            }};
  }
};

// What reading a file gives: its options (or devices' names), or the message of its fault.
struct TextCase {
  const char* name;
  std::string content;
  std::string expected;  // a part of the message; "" when the file is good
  bool allowUnknown = false;
};

void PrintTo(const TextCase& c, std::ostream* out) {
  *out << c.name;
}

std::string CaseName(const ::testing::TestParamInfo<TextCase>& param) {
  return param.param.name;
}

std::string Bytes(std::initializer_list<char> bytes) {
  return std::string(bytes);
}

class OptionsFileTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(OptionsFileTest, ReadsOrNamesTheFault) {
  const TextCase& c = GetParam();
  CliRunner runner;
  const std::string path = runner.Write("o.ini", c.content);
  InputRules rules;
  rules.allowUnknownOptions = c.allowUnknown;
  try {
    const OptionList options = ReadOptionsFile(path, rules);
    EXPECT_EQ(c.expected, "") << "accepted: " << ::testing::PrintToString(options);
  } catch (const InputError& error) {
    EXPECT_NE(c.expected, "") << error.what();
    EXPECT_THAT(error.what(), HasSubstr(path + ":" + c.expected));
  }
}

INSTANTIATE_TEST_SUITE_P(
    ControlCharacters, OptionsFileTest,
    ::testing::Values(
        TextCase{"NulInValue",
                 "SSID=Lab\0"
                 "2\n"s,
                 "1:9: control character NUL"},
        TextCase{"CrInValue", "SSID=Lab\rX\r\n", "1:9: control character a carriage return"},
        TextCase{"CrBeforeCrLf", "SSID=Lab\r\r\n", "1:9: control character a carriage return"},
        TextCase{"TabInValue", "SSID=a\tb\n", "1:7: control character a tab"},
        TextCase{"EscInName", "SS\x1bID=a\n", "1:3: control character ESC"},
        TextCase{"DelInValue", "SSID=a\x7f\n", "1:7: control character DEL"},
        TextCase{"BellOnSecondLine", "WIFI=1\nSSID=\x07\n", "2:6: control character 0x07"},
        TextCase{"CrLfLineEndsAreFine", "WIFI=1\r\nSSID=Lab\r\n", ""}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Names, OptionsFileTest,
    ::testing::Values(
        TextCase{"Typo", "wfiip=10.0.0.5\n",
                 "1:1: unknown option name 'wfiip'; did you mean 'wifiip'?"},
        TextCase{"LetterCase", "WIFI=1\nssid=Lab\n",
                 "2:1: unknown option name 'ssid'; did you mean 'SSID'?"},
        TextCase{"Swapped", "SSDI=Lab\n", "1:1: unknown option name 'SSDI'; did you mean 'SSID'?"},
        TextCase{"TwoEditsInALongName", "wifigatwy=1\n",
                 "1:1: unknown option name 'wifigatwy'; did you mean 'wifigateway'?"},
        TextCase{"NothingNear", "Frobnicate=1\n",
                 "1:1: unknown option name 'Frobnicate': not an option the wireless or modem "
                 "page writes (or pass --allow-unknown-options to send it as it is)"},
        TextCase{"TheProbeIsNotAnOption", "~OS=1\n", "1:1: unknown option name '~OS'"},
        TextCase{"AllowedUnknown", "Frobnicate=1\nssid=x\n", "", true},
        TextCase{"BlankBeforeEquals", "SSID =Spaced\n",
                 "1:5: blank after the option name 'SSID '; remove it"},
        TextCase{"BlanksAroundEquals", "SSID = Spaced\n", "1:5: blank after the option name"},
        TextCase{"BlankAfterEquals", "SSID= Spaced\n",
                 "1:6: blank after '=' of option 'SSID'; write the value right after '='"},
        TextCase{"BlankBeforeName", " SSID=x\n", "1:1: blank before the option name ' SSID'"},
        TextCase{"TabBeforeEquals", "SSID\t=x\n", "1:5: control character a tab"},
        TextCase{"BlanksRefusedEvenWhenUnknownAllowed", "Frob =1\n", "1:5: blank after", true},
        TextCase{"ValueMayHoldBlanksAndEquals", "SSID=Lab one=2\n", ""}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Sections, OptionsFileTest,
    ::testing::Values(TextCase{"ConfigSectionIsNotRead",
                               "SSID=x\r\n[Config]\r\nlocatIP=1.2.3.4\r\nno line\r\n", ""},
                      TextCase{"ConfigInAnyLetterCase", "SSID=x\n[config]\nPort=4370\n", ""},
                      TextCase{"OtherSection", "SSID=x\n[Wireless]\nWIFI=1\n",
                               "2:1: section [Wireless] is not expected"},
                      TextCase{"OtherSectionAfterConfig", "SSID=x\n[Config]\nPort=1\n[Extra]\n",
                               "4:1: section [Extra] is not expected"},
                      TextCase{"NoOption", "; nothing\n\n[Config]\nPort=4370\n",
                               "1:1: the options file holds no option"},
                      TextCase{"EmptyFile", "", "1:1: the options file holds no option"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Encoding, OptionsFileTest,
    ::testing::Values(
        TextCase{"Utf8MarkDropped", "\xEF\xBB\xBFSSID=x\n", ""},
        TextCase{"Utf8Text", "SSID=Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB6\n", ""},
        TextCase{"Utf16LittleEndianMark", Bytes({'\xFF', '\xFE', 'S', '\0', '=', '\0'}),
                 "1:1: not UTF-8 text: it is UTF-16"},
        TextCase{"Utf16BigEndianMark", Bytes({'\xFE', '\xFF', '\0', 'S', '\0', '='}),
                 "1:1: not UTF-8 text: it is UTF-16"},
        TextCase{"Utf32Mark", Bytes({'\xFF', '\xFE', '\0', '\0', 'S', '\0', '\0', '\0'}),
                 "1:1: not UTF-8 text: it is UTF-32"},
        TextCase{"Utf16WithoutMark", Bytes({'S', '\0', '=', '\0', 'x', '\0'}),
                 "1:1: not UTF-8 text: it looks like UTF-16 or UTF-32"},
        TextCase{"Latin1Byte", "WIFI=1\nSSID=Caf\xE9\n", "2:9: not UTF-8 text: byte 0xE9"},
        TextCase{"CutSequence", "SSID=\xE2\x82\n", "1:6: not UTF-8 text: byte 0xE2"},
        TextCase{"Overlong", "SSID=\xC0\xAF\n", "1:6: not UTF-8 text: byte 0xC0"},
        TextCase{"Surrogate", "SSID=\xED\xA0\x80\n", "1:6: not UTF-8 text: byte 0xED"},
        TextCase{"AboveUnicode", "SSID=\xF4\x90\x80\x80\n", "1:6: not UTF-8 text: byte 0xF4"}),
    CaseName);

// One request carries name=value and its zero byte; a scrambled value takes two hex digits per
// byte and two for the key in a buffer of 400.
INSTANTIATE_TEST_SUITE_P(
    RepeatsAndLengths, OptionsFileTest,
    ::testing::Values(
        TextCase{"RepeatedOption", "SSID=one\nWIFI=1\nSSID=two\n",
                 "3:1: option 'SSID' is set already at "},
        TextCase{"RepeatedWithTheSameValue", "WIFI=1\r\nWIFI=1\r\n",
                 "2:1: option 'WIFI' is set already at "},
        TextCase{"RepeatedScrambledOption", "~MODEM=0\n~MODEM=1\n",
                 "2:1: option '~MODEM' is set already at "},
        TextCase{"OtherLetterCaseIsAnotherName", "SSID=a\nssid=b\n", "", true},
        TextCase{"TheWindowsOwnFileMayRepeat",
                 "WIFI=1\r\nKey1Type=1\r\nKey1Str=abcde\r\nWPAPSK=\r\nWPAPSK=Secret123\r\n"
                 "Key1Type=0\r\nKey1Str=\r\n[Config]\r\nPort=4370\r\n",
                 ""},
        TextCase{"AtTheFrameLimit", "SSID=" + std::string(4090, 'a') + "\n", ""},
        TextCase{"BeyondTheFrameLimit", "WIFI=1\nSSID=" + std::string(4091, 'a') + "\n",
                 "2:4096: option 'SSID' is too long to send: one request carries at most 4095 "
                 "bytes of name=value"},
        TextCase{"AMegabyteLine", "SSID=" + std::string(1 << 20, 'a') + "\n",
                 "1:4096: option 'SSID' is too long to send"},
        TextCase{"ScrambledAtItsLimit", "~MODEM=" + std::string(195, '1') + "\n", ""},
        TextCase{"ScrambledBeyondItsLimit", "~MODEM=" + std::string(196, '1') + "\n",
                 "1:203: option '~MODEM' is too long to send: the value of a scrambled (~) "
                 "option may hold at most 195 bytes"},
        TextCase{"NameAtItsLimit", std::string(198, 'N') + "=1\n", "", true},
        TextCase{"NameBeyondItsLimit", std::string(199, 'N') + "=1\n",
                 "1:199: option '" + std::string(199, 'N') +
                     "' is too long to send: a name may hold at most 198 bytes",
                 true}),
    CaseName);

TEST(OptionsFileTest, ARepeatedOptionNamesBothLines) {
  CliRunner runner;
  const std::string path = runner.Write("o.ini", "SSID=one\n; the site's name\nSSID=two\n");
  try {
    ReadOptionsFile(path);
    FAIL() << "accepted";
  } catch (const InputError& error) {
    EXPECT_EQ(std::string(error.what()), path + ":3:1: option 'SSID' is set already at " + path +
                                             ":1:1; keep one of the two lines");
  }
}

TEST(OptionsFileTest, KeepsTheOptionLinesAsWritten) {
  CliRunner runner;
  EXPECT_THAT(ReadOptionsFile(runner.Write("o.ini", "\xEF\xBB\xBFSSID=a=b\n\n; c\nWPAPSK=\n")),
              ElementsAre("SSID=a=b", "WPAPSK="));
}

// A device list of one device at 127.0.0.1:1; the fault, if any, is in `content`.
class DeviceListTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(DeviceListTest, ReadsOrNamesTheFault) {
  const TextCase& c = GetParam();
  CliRunner runner;
  const std::string path = runner.Write("site.csv", c.content);
  InputRules rules;
  rules.allowUnknownOptions = c.allowUnknown;
  try {
    const std::vector<DeviceEntry> devices = ReadDeviceList(path, rules);
    EXPECT_EQ(c.expected, "") << "accepted " << devices.size() << " devices";
  } catch (const InputError& error) {
    EXPECT_NE(c.expected, "") << error.what();
    EXPECT_THAT(error.what(), HasSubstr(path + ":" + c.expected));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceListTest,
    ::testing::Values(
        TextCase{"CellTooLongToSend",
                 "device,SSID\ntcp:127.0.0.1:1," + std::string(4091, 'a') + "\n",
                 "2:17: option 'SSID' is too long to send"},
        TextCase{"CellAtTheFrameLimit",
                 "device,SSID\ntcp:127.0.0.1:1," + std::string(4090, 'a') + "\n", ""},
        TextCase{"RepeatedColumn", "device,SSID,SSID\ntcp:127.0.0.1:1,a,b\n",
                 "1:13: column 'SSID' appears twice"},
        TextCase{"RepeatedDeviceColumn", "device,device\ntcp:127.0.0.1:1,tcp:127.0.0.1:2\n",
                 "1:8: column 'device' appears twice"},
        TextCase{"JunkAfterClosingQuote", "device,SSID\ntcp:127.0.0.1:1,\"Lab\"x\n",
                 "2:22: expected ',' after a quoted field"},
        TextCase{"BlankAfterClosingQuote", "device,SSID\n\"tcp:127.0.0.1:1\" ,Lab\n",
                 "2:18: expected ',' after a quoted field"},
        TextCase{"NulInValue",
                 "device,SSID\ntcp:127.0.0.1:1,Lab\0"
                 "2\n"s,
                 "2:20: control character NUL"},
        TextCase{"CrInQuotedValue", "device,SSID\ntcp:127.0.0.1:1,\"Lab\rX\"\n",
                 "2:21: control character a carriage return"},
        TextCase{"TabInHeader", "device,\tSSID\ntcp:127.0.0.1:1,a\n",
                 "1:8: control character a tab"},
        TextCase{"TypoColumn", "device,wfiip\ntcp:127.0.0.1:1,1\n",
                 "1:8: unknown column name 'wfiip'; did you mean 'wifiip'?"},
        TextCase{"LetterCaseBesideTheName", "device,SSID,ssid\ntcp:127.0.0.1:1,a,b\n",
                 "1:13: unknown column name 'ssid'; did you mean 'SSID'?"},
        TextCase{"BlankBeforeColumn", "device, wifiip\ntcp:127.0.0.1:1,1\n",
                 "1:8: blank before the column name ' wifiip'; remove it"},
        TextCase{"BlankAfterColumn", "device,wifiip \ntcp:127.0.0.1:1,1\n",
                 "1:14: blank after the column name 'wifiip '"},
        TextCase{"DeviceInAnotherCase", "Device,SSID\ntcp:127.0.0.1:1,a\n",
                 "1:1: no \"device\" column; did you mean 'device' for column 'Device'?"},
        TextCase{"AllowedUnknownColumn", "device,ssid,Frob\ntcp:127.0.0.1:1,a,b\n", "", true},
        TextCase{"HeaderOnly", "device,SSID\r\n", "2:1: no devices: the file has its header"},
        TextCase{"HeaderAndBlankLines", "device\n\n  \n", "4:1: no devices"},
        TextCase{"Utf8MarkDropped",
                 "\xEF\xBB\xBF"
                 "device,wifiip\ntcp:127.0.0.1:1,1\n",
                 ""},
        TextCase{"Utf16", Bytes({'\xFF', '\xFE', 'd', '\0', 'e', '\0'}),
                 "1:1: not UTF-8 text: it is UTF-16"},
        TextCase{"Latin1InValue", "device,SSID\ntcp:127.0.0.1:1,Caf\xE9\n",
                 "2:20: not UTF-8 text: byte 0xE9"}),
    CaseName);

TEST(DeviceListTest, TheUtf8MarkIsNotPartOfTheFirstColumnName) {
  CliRunner runner;
  const std::vector<DeviceEntry> devices = ReadDeviceList(
      runner.Write("site.csv", "\xEF\xBB\xBFwifiip,device\n1.2.3.4,tcp:127.0.0.1:9\n"));
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_THAT(devices[0].overrides, ElementsAre("wifiip=1.2.3.4"));
}

// A device text parsed with the fake resolver: its canonical name, or a part of the message.
struct HostCase {
  const char* text;
  const char* name;   // "" when refused
  const char* error;  // "site.csv:2:<column>: ..." with the device text from column 8
  bool asksNameService;
};

void PrintTo(const HostCase& c, std::ostream* out) {
  *out << c.text;
}

class HostTest : public ::testing::TestWithParam<HostCase> {};

TEST_P(HostTest, AcceptsWhatTheLibraryTakes) {
  const HostCase& c = GetParam();
  FakeResolver resolver;
  resolver.hosts = {{"localhost", "127.0.0.1"}, {"bench-7.example", "127.0.0.7"}};
  if (*c.name != '\0') {
    EXPECT_EQ(ParseDeviceAddress(c.text, "site.csv:2", 8, resolver.Get()).Name(), c.name);
  } else {
    try {
      ParseDeviceAddress(c.text, "site.csv:2", 8, resolver.Get());
      FAIL() << c.text << " was accepted";
    } catch (const InputError& error) {
      EXPECT_THAT(error.what(), HasSubstr(c.error));
    }
  }
  EXPECT_EQ(!resolver.hostsAsked.empty(), c.asksNameService);
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, HostTest,
    ::testing::Values(
        HostCase{"tcp:127.0.0.1:4371", "tcp:127.0.0.1:4371", "", false},
        HostCase{"tcp:0.0.0.0", "tcp:0.0.0.0:4370", "", false},
        HostCase{"tcp:255.255.255.255", "tcp:255.255.255.255:4370", "", false},
        HostCase{"tcp:localhost:4371", "tcp:127.0.0.1:4371", "", true},
        HostCase{"tcp:bench-7.example.", "",
                 "site.csv:2:12: device 'tcp:bench-7.example.': host name 'bench-7.example.' does "
                 "not resolve",
                 true},
        HostCase{"tcp:bench-7.example", "tcp:127.0.0.7:4370", "", true},
        HostCase{"tcp:127.1", "",
                 "site.csv:2:12: device 'tcp:127.1': '127.1' is not an IPv4 address the device "
                 "library takes: write four numbers from 0 to 255",
                 false},
        HostCase{"tcp:127.0.0.01", "",
                 "site.csv:2:12: device 'tcp:127.0.0.01': '127.0.0.01' is not", false},
        HostCase{"tcp:256.0.0.1", "", "'256.0.0.1' is not an IPv4 address", false},
        HostCase{"tcp:1.2.3.4.5", "", "'1.2.3.4.5' is not an IPv4 address", false},
        HostCase{"tcp:1.2.3.", "", "'1.2.3.' is not an IPv4 address", false},
        HostCase{"tcp:1..3.4", "", "'1..3.4' is not an IPv4 address", false},
        HostCase{"tcp:2130706433", "", "'2130706433' is not an IPv4 address", false},
        // The name service's other address forms: refused the same way, never looked up.
        HostCase{"tcp:0x7f000001", "",
                 "site.csv:2:12: device 'tcp:0x7f000001': '0x7f000001' is not an IPv4 address "
                 "the device library takes: write four numbers from 0 to 255",
                 false},
        HostCase{"tcp:0X7F.1:4371", "", "'0X7F.1' is not an IPv4 address the device library takes",
                 false},
        HostCase{"tcp:0x7f.0.0.1", "", "'0x7f.0.0.1' is not an IPv4 address", false},
        HostCase{"tcp:0177.0.0.1", "", "'0177.0.0.1' is not an IPv4 address", false},
        HostCase{"tcp:127.0.0.1.", "", "'127.0.0.1.' is not an IPv4 address", false},
        HostCase{"tcp:0x7f000001.", "", "'0x7f000001.' is not an IPv4 address", false},
        HostCase{"tcp:0x", "", "'0x' is not an IPv4 address", false},
        // Hex letters alone, or 0x before a name part, are a host name.
        HostCase{"tcp:cafe.example", "", "host name 'cafe.example' does not resolve", true},
        HostCase{"tcp:0x7f.example", "", "host name '0x7f.example' does not resolve", true},
        HostCase{"tcp:not a host!", "",
                 "site.csv:2:15: device 'tcp:not a host!': 'not a host!' is not a host name: it "
                 "may hold letters, digits, '-' and '.' only",
                 false},
        HostCase{"tcp:[::1]:4370", "", "site.csv:2:12: device 'tcp:[::1]:4370'", false},
        HostCase{"tcp:-bench", "",
                 "site.csv:2:12: device 'tcp:-bench': '-bench' is not a host name", false},
        HostCase{"tcp:bench-", "", "'bench-' is not a host name", false},
        HostCase{"tcp:a..b", "", "site.csv:2:14: device 'tcp:a..b': 'a..b' is not a host name",
                 false},
        HostCase{"tcp:.a", "", "'.a' is not a host name", false},
        HostCase{"tcp:x234567890123456789012345678901234567890123456789012345678901234", "",
                 "is not a host name", false},
        HostCase{"tcp:nowhere.example", "",
                 "site.csv:2:12: device 'tcp:nowhere.example': host name 'nowhere.example' does "
                 "not resolve to an IPv4 address",
                 true},
        HostCase{"tcp:nowhere.example:0", "", "the port must be", false},
        HostCase{"serial:COM7,device=2", "serial:COM7,device=2,baud=115200", "", false},
        HostCase{"serial:COM7,device=65535,baud=57600", "serial:COM7,device=65535,baud=57600", "",
                 false},
        HostCase{"serial:COM7,baud=4000000", "serial:COM7,device=1,baud=4000000", "", false},
        HostCase{"serial:COM7,baud=50", "serial:COM7,device=1,baud=50", "", false},
        HostCase{"serial:COM7,device=0", "",
                 "site.csv:2:27: device 'serial:COM7,device=0': the device number must be a "
                 "number from 1 to 65535",
                 false},
        HostCase{"serial:COM7,device=65536", "",
                 "the device number must be a number from 1 to 65535", false},
        HostCase{"serial:COM7,baud=12345", "",
                 "site.csv:2:25: device 'serial:COM7,baud=12345': the baud rate 12345 is not one "
                 "the device library sets on every line; use one of 50, 75, 110,",
                 false},
        HostCase{"serial:COM7,baud=11520", "",
                 "use one of 50, 75, 110, 134, 150, 200, 300, 600, "
                 "1200, 1800, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, "
                 "500000, 576000, 921600, 1000000, 1152000, 1500000, 2000000, 2500000, 3000000, "
                 "3500000, 4000000",
                 false},
        HostCase{"serial:ttyS0", "",
                 "site.csv:2:15: device 'serial:ttyS0': the device library cannot open port "
                 "'ttyS0'",
                 false}));

TEST(HostTest, EachHostNameIsAskedOnce) {
  FakeResolver resolver;
  resolver.hosts = {{"localhost", "127.0.0.1"}};
  InputRules rules;
  rules.resolver = resolver.Get();
  const std::vector<DeviceEntry> devices = ParseDeviceArguments(
      {"tcp:localhost:5001", "tcp:localhost:5002", "tcp:127.0.0.1:5003", "tcp:localhost:5004"},
      rules);
  EXPECT_THAT(resolver.hostsAsked, ElementsAre("localhost"));
  EXPECT_EQ(devices[3].address.Name(), "tcp:127.0.0.1:5004");
}

TEST(HostTest, TheSystemResolvesLocalhostToLoopback) {
  const DeviceAddress address = ParseDeviceAddress("tcp:localhost:4375", "device argument 1");
  EXPECT_EQ(address.host, "127.0.0.1");
}

TEST(HostTest, NoDeviceArgumentsIsBadInput) {
  EXPECT_THROW(ParseDeviceArguments({}), InputError);
}

// The same device by two names is listed twice.
struct DuplicateCase {
  const char* name;
  std::vector<std::string> devices;
  const char* message;  // "" when they are different devices
};

void PrintTo(const DuplicateCase& c, std::ostream* out) {
  *out << c.name;
}

class DuplicateTest : public ::testing::TestWithParam<DuplicateCase> {};

TEST_P(DuplicateTest, ComparesWhereTheLibraryConnects) {
  const DuplicateCase& c = GetParam();
  FakeResolver resolver;
  resolver.hosts = {{"localhost", "127.0.0.1"}};
  resolver.lines = {{"COM7", "/dev/pts/7"},
                    {"com7", "/dev/pts/7"},
                    {"/dev/pts/7", "/dev/pts/7"},
                    {"COM8", "/dev/pts/8"}};
  InputRules rules;
  rules.resolver = resolver.Get();
  const std::vector<DeviceEntry> devices = ParseDeviceArguments(c.devices, rules);
  if (*c.message == '\0') {
    EXPECT_NO_THROW(RejectDuplicateDevices(devices));
    return;
  }
  try {
    RejectDuplicateDevices(devices);
    FAIL() << "no duplicate found";
  } catch (const InputError& error) {
    EXPECT_THAT(error.what(), HasSubstr(c.message));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, DuplicateTest,
    ::testing::Values(
        DuplicateCase{"PortAndItsMappedPath",
                      {"serial:COM7", "serial:/dev/pts/7"},
                      "device argument 2:1: device serial:/dev/pts/7,device=1,baud=115200 is "
                      "listed already at device argument 1 as serial:COM7,device=1,baud=115200 "
                      "(both are line /dev/pts/7, device 1)"},
        DuplicateCase{"PortInAnotherCase", {"serial:COM7,baud=9600", "serial:com7"}, "is listed"},
        DuplicateCase{"HostNameAndItsAddress",
                      {"tcp:localhost:5001", "tcp:127.0.0.1:5001"},
                      "device argument 2:1: device tcp:127.0.0.1:5001 is listed already"},
        DuplicateCase{"OtherDeviceOnTheLine", {"serial:COM7,device=2", "serial:/dev/pts/7"}, ""},
        DuplicateCase{"OtherLine", {"serial:COM7", "serial:COM8"}, ""},
        DuplicateCase{"OtherPort", {"tcp:localhost:5001", "tcp:127.0.0.1:5002"}, ""}),
    [](const ::testing::TestParamInfo<DuplicateCase>& param) { return param.param.name; });

TEST(DuplicateTest, TwoNamesOfOneLineTakeTurns) {
  FakeResolver resolver;
  resolver.lines = {{"COM7", "/dev/pts/7"}, {"/dev/pts/7", "/dev/pts/7"}};
  const DeviceAddress mapped =
      ParseDeviceAddress("serial:COM7,device=2", "here", 1, resolver.Get());
  const DeviceAddress path = ParseDeviceAddress("serial:/dev/pts/7", "here", 1, resolver.Get());
  EXPECT_EQ(mapped.LineKey(), path.LineKey());
}

#ifndef _WIN32
// Through the library's own mapping file, as a site's bench maps COM7 to a pseudo-terminal.
TEST(DuplicateTest, TheLibrarysPortMapJoinsTheTwoSpellings) {
  CliRunner runner;
  runner.Write("ports.ini", "[Ports]\nCOM7=/dev/pts/77\n");
  testing::SetEnvVariable("CAPSTAN_PORT_MAP", runner.folder.File("ports.ini"));
  const std::vector<DeviceEntry> devices =
      ParseDeviceArguments({"serial:COM7", "serial:/dev/pts/77"});
  testing::UnsetEnvVariable("CAPSTAN_PORT_MAP");
  EXPECT_THROW(RejectDuplicateDevices(devices), InputError);
}
#endif

// Through the whole command: refused before the housekeeping, nothing sent.
struct RunCase {
  const char* name;
  std::string options;
  std::string list;  // "{0}" for the device
  std::vector<std::string> extra;
  int exitCode;
  const char* message;
};

void PrintTo(const RunCase& c, std::ostream* out) {
  *out << c.name;
}

class StrictRunTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(StrictRunTest, RefusesBeforeAnyDeviceOrRunsWhenAllowed) {
  const RunCase& c = GetParam();
  SimulatedFleet fleet(1);
  devsim::Simulator& device = *fleet.All()[0];
  CliRunner runner;
  std::string list = c.list;
  const std::string name = "tcp:127.0.0.1:" + std::to_string(device.Port());
  if (const std::size_t marker = list.find("{0}"); marker != std::string::npos) {
    list.replace(marker, 3, name);
  }
  std::vector<std::string> args = {"apply",
                                   "--options",
                                   runner.Write("o.ini", c.options),
                                   "--devices",
                                   runner.Write("site.csv", list),
                                   "--no-restart"};
  args.insert(args.end(), c.extra.begin(), c.extra.end());

  EXPECT_EQ(runner.Run(args), c.exitCode) << runner.err.str();
  EXPECT_THAT(runner.err.str(), HasSubstr(c.message));
  if (c.exitCode == kExitUsage) {
    EXPECT_EQ(fleet.CommandsReceived(), 0u);
    EXPECT_EQ(device.Connections(), 0u);
    EXPECT_TRUE(runner.arp.owners.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StrictRunTest,
    ::testing::Values(
        RunCase{"NulInCsvValue",
                "WIFI=1\n",
                "device,SSID\n{0},Lab\0"
                "2\n"s,
                {},
                kExitUsage,
                "control character NUL"},
        RunCase{"SpacedOption",
                "SSID = Spaced\n",
                "device\n{0}\n",
                {},
                kExitUsage,
                "o.ini:1:5: blank after the option name 'SSID '"},
        RunCase{"TypoColumn",
                "WIFI=1\n",
                "device,wfiip\n{0},10.0.0.5\n",
                {},
                kExitUsage,
                "did you mean 'wifiip'?"},
        RunCase{"HeaderOnly", "WIFI=1\n", "device\n", {}, kExitUsage, "site.csv:2:1: no devices"},
        RunCase{"UnknownAllowed",
                "Frobnicate=1\n",
                "device\n{0}\n",
                {"--allow-unknown-options"},
                kExitSuccess,
                ""}),
    [](const ::testing::TestParamInfo<RunCase>& param) { return param.param.name; });

TEST(StrictRunTest, AnAllowedUnknownOptionReachesTheDevice) {
  SimulatedFleet fleet(1);
  devsim::Simulator& device = *fleet.All()[0];
  CliRunner runner;
  const std::string options = runner.Write("o.ini", "Frobnicate=1\nSSID=Lab\n");
  const std::string name = "tcp:localhost:" + std::to_string(device.Port());
  EXPECT_EQ(runner.Run({"apply", "--options", options, "--no-restart", name}), kExitUsage);
  EXPECT_EQ(fleet.CommandsReceived(), 0u);
  EXPECT_EQ(
      runner.Run({"apply", "--options", options, "--no-restart", "--allow-unknown-options", name}),
      kExitSuccess)
      << runner.err.str();
  EXPECT_EQ(device.Option("Frobnicate"), "1");
  EXPECT_EQ(device.Option("SSID"), "Lab");
}

}  // namespace
}  // namespace quillstone::cli
