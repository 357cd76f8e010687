// Whole quillstone-cli runs through the real library against in-process simulators on
// loopback: a fleet, failures that stop only their own device, verification, read, test, and
// serial devices sharing one line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "devicelink/SerialPortPath.h"
#include "devicesim/Link.h"
#include "tests/cli/CliTestSupport.h"

namespace quillstone::cli {
namespace {

using quillstone::testing::CliRunner;
using quillstone::testing::ClosedLoopbackPort;
using quillstone::testing::kOpenNetworkOptions;
using quillstone::testing::SimulatedFleet;
using quillstone::testing::TcpName;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr std::chrono::seconds kRestartWait{5};

std::string WifiIp(std::size_t index) {
  return "10.0.0." + std::to_string(index + 10);
}

nlohmann::json DeviceResult(const nlohmann::json& report, const std::string& device) {
  for (const nlohmann::json& entry : report["devices"]) {
    if (entry["device"] == device) return entry;
  }
  return {};
}

TEST(CliApplyTest, FleetOfTwentyGetsTheListAndItsOwnWifiip) {
  SimulatedFleet fleet(20);
  CliRunner runner;
  std::string csv = "device,wifiip\r\n";
  const std::vector<devsim::Simulator*> devices = fleet.All();
  for (std::size_t i = 0; i < devices.size(); ++i)
    csv += TcpName(*devices[i]) + "," + WifiIp(i) + "\r\n";

  const int exitCode = runner.Run(
      {"apply", "--options", runner.Write("options.ini", testing::WindowOptionsIni()), "--devices",
       runner.Write("site.csv", csv), "--jobs", "8", "--report", runner.folder.File("out.json")});

  EXPECT_EQ(exitCode, kExitSuccess) << runner.err.str();
  const nlohmann::json report = nlohmann::json::parse(runner.Read("out.json"));
  EXPECT_EQ(report["succeeded"], 20);
  for (std::size_t i = 0; i < devices.size(); ++i) {
    EXPECT_TRUE(devices[i]->WaitForRestarts(1, kRestartWait));
    EXPECT_EQ(devices[i]->Option("wifiip"), WifiIp(i));
    EXPECT_EQ(devices[i]->Option("SSID"), "Office");
    const nlohmann::json result = DeviceResult(report, TcpName(*devices[i]));
    EXPECT_EQ(result["result"], "done");
    EXPECT_EQ(result["written"], 12);
    EXPECT_EQ(result["unchanged"], 5);  // the empty values: a fresh store has no such option
    EXPECT_EQ(result["failed"], 0);
    EXPECT_EQ(result["restarted"], true);
  }
  // The pause after every option on every device; the housekeeping once for the run.
  EXPECT_EQ(runner.sleeper.totalMs, 20 * 17 * 100);
  EXPECT_EQ(runner.arp.owners.size(), 1u);
  EXPECT_THAT(runner.out.str(), HasSubstr("20 of 20 devices succeeded, 0 failed"));

  // Again: everything is equal already, so every option is skipped and nothing is written.
  EXPECT_EQ(
      runner.Run({"apply", "--options", runner.folder.File("options.ini"), "--devices",
                  runner.folder.File("site.csv"), "--report", runner.folder.File("again.csv")}),
      kExitSuccess);
  EXPECT_THAT(runner.Read("again.csv"),
              HasSubstr(std::string("\n").append(TcpName(*devices[3])) + ",done,17,0,17,0,0,yes,"));
}

TEST(CliApplyTest, SilentRefusingAndClosedDevicesFailAloneAndTheOthersAreDone) {
  SimulatedFleet fleet(2);
  devsim::SimulatorConfig silentConfig;
  silentConfig.faults.silent = true;
  devsim::Simulator& silent = fleet.Add(silentConfig);
  devsim::SimulatorConfig refusingConfig;
  refusingConfig.faults.refusals["SSID"] = 2;
  devsim::Simulator& refusing = fleet.Add(refusingConfig);
  const std::string closed = "tcp:127.0.0.1:" + std::to_string(ClosedLoopbackPort());
  CliRunner runner;
  const std::vector<devsim::Simulator*> devices = fleet.All();

  const int exitCode =
      runner.Run({"apply", "--options", runner.Write("o.ini", "SSID=Office\nwifidhcp=1\n"),
                  TcpName(*devices[0]), TcpName(silent), TcpName(refusing), closed,
                  TcpName(*devices[1]), "--report", runner.folder.File("out.csv")});

  EXPECT_EQ(exitCode, kExitDeviceFailed);
  const std::string csv = runner.Read("out.csv");
  EXPECT_THAT(csv, HasSubstr(TcpName(*devices[0]) + ",done,2,2,0,0,0,yes,"));
  EXPECT_THAT(csv, HasSubstr(TcpName(*devices[1]) + ",done,2,2,0,0,0,yes,"));
  EXPECT_THAT(csv, HasSubstr(TcpName(silent) + ",failed,2,0,0,0,0,no,not asked,"));
  EXPECT_THAT(csv, HasSubstr(",can not connect with device (timed out),"));
  EXPECT_THAT(csv, HasSubstr(TcpName(refusing) + ",failed,2,1,0,1,1,no,"));
  EXPECT_THAT(csv, HasSubstr(",SSID: refused by the device (twice),"));
  EXPECT_THAT(csv, HasSubstr(closed + ",failed,2,0,0,0,0,no,not asked,"));
  EXPECT_THAT(csv, HasSubstr(",can not connect with device (refused),"));
  EXPECT_EQ(refusing.Option("wifidhcp"), "1");  // the batch went on after the refused option
  EXPECT_EQ(refusing.Restarts(), 0u);           // no restart without full success
  EXPECT_TRUE(devices[0]->WaitForRestarts(1, kRestartWait));
  EXPECT_THAT(runner.out.str(), HasSubstr("2 of 5 devices succeeded, 3 failed"));
}

// A device that drops the connection as soon as it has answered the last write never gets the
// restart: the run must not call it restarted, nor done, nor read it back as verified.
TEST(CliApplyTest, ARestartThatCouldNotBeSentFailsTheDevice) {
  SimulatedFleet fleet(0);
  devsim::SimulatorConfig dropping;
  // Begin, the probe, then a read and a write for each of the two options.
  dropping.faults.closeAfterCommands = 6;
  devsim::Simulator& device = fleet.Add(dropping);
  CliRunner runner;

  const int exitCode =
      runner.Run({"apply", "--options", runner.Write("o.ini", "SSID=Office\nwifidhcp=1\n"),
                  TcpName(device), "--verify", "--report", runner.folder.File("out.json")});

  EXPECT_EQ(exitCode, kExitDeviceFailed);
  const nlohmann::json result =
      DeviceResult(nlohmann::json::parse(runner.Read("out.json")), TcpName(device));
  EXPECT_EQ(result["result"], "failed");
  EXPECT_EQ(result["written"], 2);
  EXPECT_EQ(result["restarted"], false);
  EXPECT_EQ(result["verify"], "not asked");
  EXPECT_EQ(result["problem"], "restart: connection closed");
  EXPECT_EQ(device.Option("SSID"), "Office");
  EXPECT_EQ(device.Restarts(), 0u);
}

TEST(CliApplyTest, VerifyCatchesTheDeviceWhoseStoreDropsAnOptionAtRestart) {
  SimulatedFleet fleet(1);
  devsim::SimulatorConfig dropping;
  dropping.faults.dropAtRestart = {"wifiip"};
  devsim::Simulator& faulty = fleet.Add(dropping);
  devsim::Simulator& good = *fleet.All()[0];
  CliRunner runner;
  const std::string csv =
      "device,wifiip\n" + TcpName(good) + ",10.0.0.1\n" + TcpName(faulty) + ",10.0.0.2\n";

  // "~MODEM" travels scrambled and reads back plain; verification compares the plain value.
  const int exitCode =
      runner.Run({"apply", "--options", runner.Write("o.ini", "SSID=Office\n~MODEM=1\n"),
                  "--devices", runner.Write("site.csv", csv), "--verify", "--verify-timeout", "10",
                  "--report", runner.folder.File("out.json")});

  EXPECT_EQ(exitCode, kExitDeviceFailed);
  const nlohmann::json report = nlohmann::json::parse(runner.Read("out.json"));
  EXPECT_EQ(DeviceResult(report, TcpName(good))["result"], "verified");
  const nlohmann::json failed = DeviceResult(report, TcpName(faulty));
  EXPECT_EQ(failed["result"], "failed");
  EXPECT_THAT(failed["mismatches"].get<std::vector<std::string>>(),
              ElementsAre("wifiip: wanted '10.0.0.2', the read failed (reply 2002)"));
  EXPECT_EQ(good.Option("~MODEM"), "1");
  EXPECT_THAT(runner.out.str(), HasSubstr("    wifiip: wanted '10.0.0.2'"));
}

TEST(CliReadTest, PrintsNameValueLinesTellsNotSetAndFailsOnAnUnansweredRead) {
  devsim::SimulatorConfig config;
  config.defaults = {{"SSID", "Lab"}, {"wifiip", "10.1.1.1"}};
  SimulatedFleet fleet(1, config);
  const std::string device = TcpName(*fleet.All()[0]);
  CliRunner runner;

  EXPECT_EQ(runner.Run({"read", device, "SSID", "wifiip"}), kExitSuccess);
  EXPECT_EQ(runner.out.str(), "SSID=Lab\nwifiip=10.1.1.1\n");

  // The device answers that it holds no such option: not set, which is no failure.
  EXPECT_EQ(runner.Run({"read", device, "SSID", "Nothing"}), kExitSuccess);
  EXPECT_EQ(runner.out.str(), "SSID=Lab\n");
  EXPECT_THAT(runner.err.str(), HasSubstr("Nothing: not set on the device"));
  EXPECT_THAT(runner.err.str(), Not(HasSubstr("did not answer")));

  // The device drops the connection after the opening and the first read: no answer.
  devsim::SimulatorConfig dropping = config;
  dropping.faults.closeAfterCommands = 2;
  SimulatedFleet dropped(1, dropping);
  EXPECT_EQ(runner.Run({"read", TcpName(*dropped.All()[0]), "SSID", "wifiip"}), kExitDeviceFailed);
  EXPECT_EQ(runner.out.str(), "SSID=Lab\n");
  EXPECT_THAT(runner.err.str(), HasSubstr("wifiip: the device did not answer the read"));

  EXPECT_EQ(runner.Run({"read", "tcp:127.0.0.1:" + std::to_string(ClosedLoopbackPort()), "SSID"}),
            kExitDeviceFailed);
  EXPECT_THAT(runner.err.str(), HasSubstr("can not connect with device"));
}

TEST(CliTestCommandTest, SendsTheBracketAndNothingElse) {
  SimulatedFleet fleet(1);
  devsim::Simulator& device = *fleet.All()[0];
  CliRunner runner;

  EXPECT_EQ(runner.Run({"test", TcpName(device)}), kExitSuccess);
  ASSERT_TRUE(device.WaitForCommands(4, kRestartWait));
  std::vector<std::uint16_t> codes;
  for (const devsim::CommandRecord& record : device.Records()) codes.push_back(record.code);
  EXPECT_THAT(codes, ElementsAre(1003, 1002, 1002, 1014));
  EXPECT_EQ(runner.Run({"test", "tcp:127.0.0.1:" + std::to_string(ClosedLoopbackPort())}),
            kExitDeviceFailed);
}

TEST(CliProgressTest, OnATerminalOneLiveLineOtherwiseOneLinePerDevice) {
  SimulatedFleet fleet(2);
  CliRunner runner;
  const std::string options = runner.Write("o.ini", "SSID=Office\n");
  const std::vector<devsim::Simulator*> devices = fleet.All();
  const std::vector<std::string> args = {
      "apply", "--options", options, "--jobs", "1", TcpName(*devices[0]), TcpName(*devices[1])};

  ASSERT_EQ(runner.Run(args), kExitSuccess);
  EXPECT_THAT(runner.out.str(), HasSubstr(TcpName(*devices[0]) +
                                          " done: 1 written, 0 unchanged, 0 failed, 0 retries,"));
  EXPECT_EQ(runner.out.str().find('\r'), std::string::npos);

  runner.environment.terminal = true;
  ASSERT_EQ(runner.Run(args), kExitSuccess);
  EXPECT_THAT(runner.out.str(), HasSubstr("\rdone 0/2  failed 0  in flight 1  elapsed "));
  EXPECT_THAT(runner.out.str(), HasSubstr("\rdone 2/2  failed 0  in flight 0  elapsed "));
}

TEST(CliSerialTest, TwoDeviceNumbersOnOnePseudoTerminalTakeTurns) {
#ifdef _WIN32
  GTEST_SKIP() << "pseudo-terminals are a Linux test; Windows COM ports are covered by the library";
#else
  if (!devsim::PseudoTerminalsAvailable()) GTEST_SKIP() << "this system has no pseudo-terminals";
  devsim::SimulatorConfig config;
  config.link = devsim::LinkKind::kPty;
  config.deviceNumber = 1;
  config.moreDeviceNumbers = {2};
  devsim::Simulator line(config);
  line.Start();
  CliRunner runner;
  runner.processes.processes = {{41, "/usr/bin/serwatch.dll"}, {42, "bash"}};
  const std::string port = "serial:" + line.PtyPath();

  EXPECT_EQ(runner.Run({"apply", "--options", runner.Write("o.ini", "SSID=Office\nwifidhcp=1\n"),
                        "--jobs", "4", port + ",device=1", port + ",device=2,baud=115200"}),
            kExitSuccess)
      << runner.err.str();

  // All of device 1's commands, then all of device 2's: the number changes once.
  std::vector<std::uint16_t> numbers;
  for (const devsim::CommandRecord& record : line.Records()) {
    if (numbers.empty() || numbers.back() != record.device) numbers.push_back(record.device);
  }
  EXPECT_THAT(numbers, ElementsAre(1, 2));
  EXPECT_EQ(line.Restarts(), 2u);
  EXPECT_THAT(runner.processes.terminated, ElementsAre(41));  // once for the run
  EXPECT_TRUE(runner.arp.owners.empty());
#endif
}

#ifndef _WIN32
// A line that is not there is named as such by every command, not taken for a silent device.
struct MissingLineCase {
  const char* name;
  bool regularFile;  // a file by that name, which is no serial line; otherwise nothing there
  const char* says;
};

void PrintTo(const MissingLineCase& c, std::ostream* out) {
  *out << c.name;
}

class CliSerialLineFaultTest : public ::testing::TestWithParam<MissingLineCase> {};

TEST_P(CliSerialLineFaultTest, EveryCommandSaysWhatIsWrongWithThePort) {
  const MissingLineCase& c = GetParam();
  CliRunner runner;
  const std::string path =
      c.regularFile ? runner.Write("ttyFILE", "") : runner.folder.File("ttyNOPE");
  const std::string device = "serial:" + path;
  const std::string expected = "can not connect with device: serial port " + path + " " + c.says;
  const std::string options = runner.Write("o.ini", "SSID=Office\n");

  EXPECT_EQ(runner.Run(
                {"apply", "--options", options, device, "--report", runner.folder.File("out.csv")}),
            kExitDeviceFailed);
  EXPECT_THAT(runner.Read("out.csv"), HasSubstr("," + expected + ",\n"));
  EXPECT_EQ(runner.Run({"test", device}), kExitDeviceFailed);
  EXPECT_THAT(runner.err.str(), HasSubstr(device + ",device=1,baud=115200: " + expected + "\n"));
  EXPECT_EQ(runner.Run({"read", device, "SSID"}), kExitDeviceFailed);
  EXPECT_THAT(runner.err.str(), HasSubstr(device + ",device=1,baud=115200: " + expected + "\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliSerialLineFaultTest,
    ::testing::Values(MissingLineCase{"NothingThere", false, "does not exist"},
                      MissingLineCase{"AFileThere", true, "is not a serial line"}),
    [](const ::testing::TestParamInfo<MissingLineCase>& param) { return param.param.name; });

TEST(CliSerialLineFaultTest, AMappedPortNamesItsPathToo) {
  EXPECT_EQ(SerialLineFault("/dev/ttyNOPE-quillstone"),
            "serial port /dev/ttyNOPE-quillstone does not exist");
  // A line that is there: the device is what did not answer.
  EXPECT_EQ(SerialLineFault("/dev/null"), "");
}
#endif

}  // namespace
}  // namespace quillstone::cli
