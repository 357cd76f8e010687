// quillstone-cli's input: device syntax, the options file, the device list, and every kind of
// bad input stopping the run before anything reaches a device.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <functional>

#include "cli/DeviceAddress.h"
#include "cli/InputError.h"
#include "cli/InputFiles.h"
#include "tests/cli/CliTestSupport.h"

namespace quillstone::cli {
namespace {

using quillstone::testing::CliRunner;
using quillstone::testing::kOpenNetworkOptions;
using quillstone::testing::SimulatedFleet;
using quillstone::testing::TcpName;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

struct AddressCase {
  const char* text;
  const char* name;  // canonical form, or empty when the text is malformed
  const char* error;
};

void PrintTo(const AddressCase& c, std::ostream* out) {
  *out << c.text;
}

class DeviceAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(DeviceAddressTest, ParsesOrNamesTheColumn) {
  const AddressCase& c = GetParam();
  if (*c.name != '\0') {
    EXPECT_EQ(ParseDeviceAddress(c.text, "here").Name(), c.name);
    return;
  }
  try {
    ParseDeviceAddress(c.text, "site.csv:2", 8);
    FAIL() << c.text << " was accepted";
  } catch (const InputError& error) {
    EXPECT_THAT(error.what(), HasSubstr(c.error));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Syntax, DeviceAddressTest,
    ::testing::Values(
        AddressCase{"tcp:127.0.0.1:4371", "tcp:127.0.0.1:4371", ""},
        AddressCase{"tcp:127.0.0.1", "tcp:127.0.0.1:4370", ""},
        AddressCase{"serial:COM3,device=2,baud=9600", "serial:COM3,device=2,baud=9600", ""},
        AddressCase{"serial:COM1,baud=57600,device=7", "serial:COM1,device=7,baud=57600", ""},
        AddressCase{"udp:1.2.3.4", "", "site.csv:2:8: device 'udp:1.2.3.4': expected tcp:"},
        AddressCase{"tcp:", "", "site.csv:2:12: device 'tcp:': expected a host"},
        AddressCase{"tcp:h:65536", "", "site.csv:2:14: device 'tcp:h:65536': the port must be"},
        AddressCase{"tcp:h:", "", "site.csv:2:14: device 'tcp:h:': the port must be"},
        AddressCase{"serial:,device=1", "",
                    "site.csv:2:15: device 'serial:,device=1': expected a port"},
        AddressCase{"serial:COM1,device=70000", "",
                    "site.csv:2:27: device 'serial:COM1,device=70000': the device number"},
        AddressCase{"serial:COM1,baud=0", "",
                    "site.csv:2:25: device 'serial:COM1,baud=0': the baud rate"},
        AddressCase{"serial:COM1,parity=N", "",
                    "site.csv:2:20: device 'serial:COM1,parity=N': expected device=N"}));

#ifndef _WIN32
// A serial line named by its path exists on Linux only; Windows names its ports COMn.
TEST(DeviceAddressPathTest, ASerialLineByItsPathGetsTheDefaults) {
  EXPECT_EQ(ParseDeviceAddress("serial:/dev/pts/4", "here").Name(),
            "serial:/dev/pts/4,device=1,baud=115200");
}
#endif

TEST(InputFilesTest, TheWindowsOptionsIniGivesItsOptionLinesOnly) {
  CliRunner runner;
  EXPECT_THAT(ReadOptionsFile(runner.Write("options.ini", testing::WindowOptionsIni())),
              ElementsAreArray(kOpenNetworkOptions));
  EXPECT_THAT(ReadOptionsFile(runner.Write("plain.txt", "SSID=Lab=2\n\n~MODEM=0\n")),
              ElementsAre("SSID=Lab=2", "~MODEM=0"));
}

TEST(InputFilesTest, DeviceListColumnsOverrideOrAddOptionsPerRow) {
  CliRunner runner;
  const std::string list =
      runner.Write("site.csv",
                   "wifiip,device,SSID\r\n"
                   "10.0.0.5,tcp:127.0.0.1:5001,\r\n"
                   "\"10.0.0.6\",\"tcp:127.0.0.1:5002\",\"Lab, \"\"east\"\"\"\r\n");
  const std::vector<DeviceEntry> devices = ReadDeviceList(list);
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].address.Name(), "tcp:127.0.0.1:5001");
  EXPECT_THAT(devices[0].overrides, ElementsAre("wifiip=10.0.0.5"));  // an empty cell: nothing
  EXPECT_THAT(devices[1].overrides, ElementsAre("wifiip=10.0.0.6", "SSID=Lab, \"east\""));

  EXPECT_THAT(
      OptionsFor({"SSID=Office", "wifidhcp=1", "SSID=Again"}, devices[1].overrides),
      ElementsAre("SSID=Lab, \"east\"", "wifidhcp=1", "SSID=Lab, \"east\"", "wifiip=10.0.0.6"));
}

struct BadInputCase {
  const char* name;
  const char* options;  // content of the options file; null: the file does not exist
  const char* list;     // content of site.csv, "{0}" and "{1}" standing for the two devices
  const char* message;  // "{dir}" for the test's folder
};

void PrintTo(const BadInputCase& c, std::ostream* out) {
  *out << c.name;
}

class BadInputTest : public ::testing::TestWithParam<BadInputCase> {};

std::string Expand(std::string text, const std::vector<std::string>& values) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    // Appended, not "{" + ...: see SingleQuoted for GCC 12's -Wrestrict on that form.
    std::string marker = "{";
    marker.append(std::to_string(i)).append("}");
    for (std::size_t at = text.find(marker); at != std::string::npos; at = text.find(marker)) {
      text.replace(at, marker.size(), values[i]);
    }
  }
  return text;
}

TEST_P(BadInputTest, NamesFileLineAndColumnAndSendsNothing) {
  const BadInputCase& c = GetParam();
  SimulatedFleet fleet(2);
  CliRunner runner;
  const std::vector<devsim::Simulator*> devices = fleet.All();
  const std::string options =
      c.options ? runner.Write("options.ini", c.options) : runner.folder.File("missing.ini");
  const std::string list =
      c.list
          ? runner.Write("site.csv", Expand(c.list, {TcpName(*devices[0]), TcpName(*devices[1])}))
          : runner.folder.File("missing.csv");

  EXPECT_EQ(runner.Run({"apply", "--options", options, "--devices", list}), kExitUsage);

  const std::string dir = runner.folder.File("");
  EXPECT_THAT(runner.err.str(), HasSubstr(Expand(c.message, {dir})));
  EXPECT_THAT(runner.err.str(), HasSubstr("Nothing was sent to any device."));
  EXPECT_EQ(fleet.CommandsReceived(), 0u);
  EXPECT_EQ(devices[0]->Connections() + devices[1]->Connections(), 0u);
  EXPECT_TRUE(runner.arp.owners.empty());  // not even the housekeeping ran
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadInputTest,
    ::testing::Values(
        BadInputCase{"UnreadableOptionsFile", nullptr, "device\n{0}\n",
                     "{0}missing.ini:1:1: cannot read the file: it does not exist"},
        BadInputCase{"UnreadableDeviceList", "SSID=x\n", nullptr,
                     "{0}missing.csv:1:1: cannot read the file: it does not exist"},
        BadInputCase{"MalformedDevice", "SSID=x\n", "SSID,device\nA,{0}\nB,tcp:127.0.0.1:x\n",
                     "{0}site.csv:3:17: device 'tcp:127.0.0.1:x': the port must be"},
        BadInputCase{"OptionLineWithoutEquals", "SSID=x\r\nwifidhcp\r\n[Config]\r\n",
                     "device\n{0}\n",
                     "{0}options.ini:2:9: expected name=value, the line has no '='"},
        BadInputCase{"OptionWithoutName", "SSID=x\n=1\n", "device\n{0}\n",
                     "{0}options.ini:2:1: the option has no name"},
        BadInputCase{"TooManyFields", "SSID=x\n", "device,wifiip\n{0},1.2.3.4\n{1},1.2.3.5,9\n",
                     "{0}site.csv:3:"},
        BadInputCase{"TooFewFields", "SSID=x\n", "device,wifiip,SSID\n{0},1.2.3.4,a\n{1},1\n",
                     "{0}site.csv:3:"},
        BadInputCase{"DuplicateDevice", "SSID=x\n", "wifiip,device\n1,{0}\n2,{1}\n3,{0}\n",
                     "{0}site.csv:4:3: device tcp:127.0.0.1:"},
        BadInputCase{"NoDeviceColumn", "SSID=x\n", "host\n{0}\n", "{0}site.csv:1:1: no \"device\""},
        BadInputCase{"RepeatedOption", "SSID=one\nSSID=two\n", "device\n{0}\n",
                     "{0}options.ini:2:1: option 'SSID' is set already at "
                     "{0}options.ini:1:1"},
        BadInputCase{"ScrambledCellTooLongToSend", "SSID=x\n",
                     "~MODEM,device\n"
                     "111111111111111111111111111111111111111111111111111111111111"
                     "111111111111111111111111111111111111111111111111111111111111"
                     "111111111111111111111111111111111111111111111111111111111111"
                     "111111111111111111111111111111111111111111111111111111111111"
                     ",{0}\n",
                     "{0}site.csv:2:1: option '~MODEM' is too long to send"}),
    [](const ::testing::TestParamInfo<BadInputCase>& param) { return param.param.name; });

// Which input a case hands something that is not a readable input file.
enum class InputRole { kOptions, kDeviceList, kOnlyFailed };

struct InputFileCase {
  const char* name;
  InputRole role;
  // Makes the unusable input in the folder and returns its path.
  std::function<std::string(const CliRunner&)> make;
  const char* message;
};

void PrintTo(const InputFileCase& c, std::ostream* out) {
  *out << c.name;
}

class InputFileKindTest : public ::testing::TestWithParam<InputFileCase> {};

TEST_P(InputFileKindTest, IsRefusedAtItsFirstLineBeforeAnyDevice) {
  const InputFileCase& c = GetParam();
  SimulatedFleet fleet(1);
  CliRunner runner;
  const std::string device = TcpName(*fleet.All()[0]);
  std::string options = runner.Write("options.ini", "SSID=x\n");
  std::vector<std::string> args = {"apply", "--options", "", "--devices",
                                   runner.Write("site.csv", "device\n" + device + "\n")};
  const std::string bad = c.make(runner);
  if (c.role == InputRole::kOptions) options = bad;
  if (c.role == InputRole::kDeviceList) args[4] = bad;
  if (c.role == InputRole::kOnlyFailed) args.insert(args.end(), {"--only-failed", bad});
  args[2] = options;

  EXPECT_EQ(runner.Run(args), kExitUsage);
  EXPECT_THAT(runner.err.str(), HasSubstr(bad + ":1:1: cannot read the file: " + c.message));
  EXPECT_THAT(runner.err.str(), HasSubstr("Nothing was sent to any device."));
  EXPECT_EQ(fleet.CommandsReceived(), 0u);
  EXPECT_EQ(fleet.All()[0]->Connections(), 0u);
}

std::string Folder(const CliRunner& runner) {
  return runner.folder.File("");
}

// A file of the bound and one byte: sparse, so the test writes almost nothing.
std::string OneByteTooLarge(const CliRunner& runner) {
  const std::string path = runner.Write("large", "");
  std::filesystem::resize_file(path, kLargestInputFile + 1);
  return path;
}

std::vector<InputFileCase> InputFileCases() {
  constexpr const char* kTooLarge =
      "it is larger than 16 MiB, more than any options file, device list or report holds";
  std::vector<InputFileCase> cases = {
      {"OptionsFileIsAFolder", InputRole::kOptions, Folder,
       "it is a folder, not a regular file; save the content to a file first"},
      {"DeviceListIsAFolder", InputRole::kDeviceList, Folder, "it is a folder"},
      {"OnlyFailedReportIsAFolder", InputRole::kOnlyFailed, Folder, "it is a folder"},
      {"OptionsFileTooLarge", InputRole::kOptions, OneByteTooLarge, kTooLarge},
      {"DeviceListTooLarge", InputRole::kDeviceList, OneByteTooLarge, kTooLarge},
      {"OnlyFailedReportTooLarge", InputRole::kOnlyFailed, OneByteTooLarge, kTooLarge},
      {"OnlyFailedReportMissing", InputRole::kOnlyFailed,
       [](const CliRunner& runner) { return runner.folder.File("gone.json"); },
       "it does not exist"},
  };
#ifndef _WIN32
  const auto fifo = [](const CliRunner& runner) {
    const std::string path = runner.folder.File("fifo");
    ::mkfifo(path.c_str(), 0600);
    return path;
  };
  const auto zero = [](const CliRunner&) { return std::string("/dev/zero"); };
  cases.insert(
      cases.end(),
      {{"OptionsFileIsADevice", InputRole::kOptions, zero,
        "it is a character device, not a regular file"},
       {"DeviceListIsADevice", InputRole::kDeviceList, zero, "it is a character device"},
       {"OnlyFailedReportIsADevice", InputRole::kOnlyFailed, zero, "it is a character device"},
       {"OptionsFileIsAFifoNobodyWritesTo", InputRole::kOptions, fifo,
        "it is a pipe (FIFO), not a regular file"},
       {"DeviceListIsAFifo", InputRole::kDeviceList, fifo, "it is a pipe (FIFO)"}});
#endif
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, InputFileKindTest, ::testing::ValuesIn(InputFileCases()),
                         [](const ::testing::TestParamInfo<InputFileCase>& param) {
                           return param.param.name;
                         });

TEST(BadInputTest, AStopRequestWhileTheInputIsReadSendsNothingAndSaysInterrupted) {
  SimulatedFleet fleet(1);
  CliRunner runner;
  runner.environment.interruption = [] { return 15; };
  EXPECT_EQ(runner.Run({"apply", "--options", runner.Write("o.ini", "SSID=x\n"),
                        TcpName(*fleet.All()[0])}),
            kExitInterruptedBase + 15);
  EXPECT_THAT(runner.err.str(), HasSubstr("o.ini:1:1: cannot read the file: the reading was "
                                          "interrupted\nNothing was sent to any device."));
  EXPECT_EQ(fleet.All()[0]->Connections(), 0u);
}

// The file is read in one go; the stop request comes while its lines are being checked.
TEST(BadInputTest, AStopRequestWhileALargeFileIsCheckedEndsTheCheck) {
  SimulatedFleet fleet(1);
  CliRunner runner;
  int asked = 0;
  runner.environment.interruption = [&asked] { return ++asked > 4 ? 15 : 0; };
  std::string lines;
  for (int i = 0; i < 1000; ++i) lines += "WIFI=1\n";
  EXPECT_EQ(
      runner.Run({"apply", "--options", runner.Write("o.ini", lines), TcpName(*fleet.All()[0])}),
      kExitInterruptedBase + 15);
  EXPECT_THAT(runner.err.str(), HasSubstr("o.ini:1:1: cannot read the file: the reading was "
                                          "interrupted\nNothing was sent to any device."));
  EXPECT_LT(asked, 10);
  EXPECT_EQ(fleet.All()[0]->Connections(), 0u);
}

TEST(BadInputTest, ColumnCountMessagesPointAtTheFault) {
  CliRunner runner;
  try {
    ReadDeviceList(runner.Write("a.csv", "device,wifiip\ntcp:127.0.0.1:1,1.2.3.4,9\n"));
    FAIL();
  } catch (const InputError& error) {
    EXPECT_THAT(error.what(), HasSubstr("a.csv:2:25: 3 fields, the header has 2"));
  }
  try {
    ReadDeviceList(runner.Write("b.csv", "device,wifiip,SSID\ntcp:127.0.0.1:1,1\n"));
    FAIL();
  } catch (const InputError& error) {
    EXPECT_THAT(error.what(), HasSubstr("b.csv:2:18: 2 fields, the header has 3"));
  }
}

TEST(BadInputTest, DuplicateDeviceArgumentsAndMissingDevicesAreUsageErrors) {
  SimulatedFleet fleet(1);
  CliRunner runner;
  const std::string options = runner.Write("o.ini", "SSID=x\n");
  const std::string device = TcpName(*fleet.All()[0]);
  EXPECT_EQ(runner.Run({"apply", "--options", options, device, device}), kExitUsage);
  EXPECT_THAT(runner.err.str(), HasSubstr("device argument 2:1: device " + device +
                                          " is listed already at device argument 1"));
  EXPECT_EQ(runner.Run({"apply", "--options", options}), kExitUsage);
  EXPECT_EQ(runner.Run({"apply", "--options", options, "--jobs", "0", device}), kExitUsage);
  EXPECT_EQ(runner.Run({"frobnicate"}), kExitUsage);
  EXPECT_EQ(fleet.CommandsReceived(), 0u);
}

}  // namespace
}  // namespace quillstone::cli
