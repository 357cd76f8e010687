// quillstone-cli runs that end badly or are read by someone else: interruption, failure
// reasons, secrets, the report's path and shape, the plan before an apply, the restart policy
// and the re-run of the failures. In-process, through the real library, against simulators.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include <quillstone/Version.h>
#include "capstan/capstan.h"

#include "cli/EarlierRun.h"
#include "cli/Report.h"
#include "devicelink/LinkConnection.h"
#include "platform/Sha256.h"
#include "tests/cli/CliTestSupport.h"

namespace quillstone::cli {
namespace {

using quillstone::testing::CliRunner;
using quillstone::testing::ClosedLoopbackPort;
using quillstone::testing::SimulatedFleet;
using quillstone::testing::TcpName;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr std::chrono::seconds kRestartWait{5};
constexpr int kKeyForADrawnZero = 0xC0;

nlohmann::json DeviceResult(const nlohmann::json& report, const std::string& device) {
  for (const nlohmann::json& entry : report["devices"]) {
    if (entry["device"] == device) return entry;
  }
  return {};
}

std::vector<std::uint16_t> Codes(const devsim::Simulator& device) {
  std::vector<std::uint16_t> codes;
  for (const devsim::CommandRecord& record : device.Records()) codes.push_back(record.code);
  return codes;
}

std::vector<std::string> Writes(const devsim::Simulator& device) {
  std::vector<std::string> writes;
  for (const devsim::CommandRecord& record : device.Records()) {
    if (record.code == CAPSTAN_CMD_WRITE_OPTION) writes.push_back(record.request);
  }
  return writes;
}

// The three end commands, as the last commands the device received.
bool EndsItsConfiguration(const devsim::Simulator& device) {
  const std::vector<std::uint16_t> codes = Codes(device);
  return codes.size() >= 3 &&
         std::vector<std::uint16_t>(codes.end() - 3, codes.end()) ==
             std::vector<std::uint16_t>{CAPSTAN_CMD_END_CONFIG, CAPSTAN_CMD_END_CONFIG,
                                        CAPSTAN_CMD_END_SESSION};
}

TEST(CliInterruptTest, DevicesInFlightFinishTheirOptionEndAndAreNotRestartedTheRestDoNotStart) {
  SimulatedFleet fleet(5);
  CliRunner runner;
  // Both workers hold at their first option until the other has reached its own, so that two
  // devices are in flight; the stop request then arrives while the third option of the run is
  // being written. Which device was writing it is up to the scheduler: each has 0 to 3 done.
  std::mutex mutex;
  std::condition_variable bothInFlight;
  std::set<std::thread::id> workers;
  std::atomic<int> optionsBegun{0};
  std::atomic<int> signal{0};
  runner.environment.services.processPendingMessages = [&] {
    {
      std::unique_lock lock(mutex);
      if (workers.insert(std::this_thread::get_id()).second) {
        bothInFlight.notify_all();
        bothInFlight.wait_for(lock, std::chrono::seconds(10), [&] { return workers.size() >= 2; });
      }
    }
    if (++optionsBegun == 3) signal = 2;
  };
  runner.environment.interruption = [&] { return signal.load(); };
  std::vector<std::string> args = {"apply",
                                   "--options",
                                   runner.Write("o.ini", "SSID=Office\nwifidhcp=1\nWIFI=1\n"),
                                   "--jobs",
                                   "2",
                                   "--report",
                                   runner.folder.File("out.json")};
  for (devsim::Simulator* device : fleet.All()) args.push_back(TcpName(*device));

  EXPECT_EQ(runner.Run(args), 130);

  const nlohmann::json report = nlohmann::json::parse(runner.Read("out.json"));
  EXPECT_TRUE(report["interrupted"]);
  int interrupted = 0;
  for (devsim::Simulator* device : fleet.All()) {
    const nlohmann::json result = DeviceResult(report, TcpName(*device));
    EXPECT_EQ(device->Restarts(), 0u);
    EXPECT_THAT(Codes(*device), Not(::testing::Contains(CAPSTAN_CMD_RESTART)));
    if (result["result"] == "interrupted") {
      ++interrupted;
      EXPECT_TRUE(EndsItsConfiguration(*device));
      EXPECT_THAT(result["problem"].get<std::string>(),
                  ::testing::MatchesRegex("interrupted after . of 3 options"));
      EXPECT_EQ(result["restarted"], false);
    } else {
      EXPECT_EQ(result["result"], "not started");
      EXPECT_EQ(device->CommandCount(), 0u);
    }
  }
  EXPECT_EQ(interrupted, 2) << "both devices in flight, none after them";
  EXPECT_THAT(runner.out.str(), HasSubstr("0 of 5 devices succeeded, 5 failed (5 interrupted"));
}

TEST(CliInterruptTest, ASignalDuringTheLastOptionStillKeepsTheRestartAndTheVerifyBack) {
  SimulatedFleet fleet(1);
  devsim::Simulator& device = *fleet.All()[0];
  CliRunner runner;
  std::atomic<int> optionsBegun{0};
  std::atomic<int> signal{0};
  runner.environment.services.processPendingMessages = [&] {
    if (++optionsBegun == 2) signal = 15;
  };
  runner.environment.interruption = [&] { return signal.load(); };

  EXPECT_EQ(runner.Run({"apply", "--options", runner.Write("o.ini", "SSID=Office\nWIFI=1\n"),
                        TcpName(device), "--verify", "--report", runner.folder.File("out.json")}),
            143);
  const nlohmann::json result = nlohmann::json::parse(runner.Read("out.json"))["devices"][0];
  EXPECT_EQ(result["result"], "interrupted");
  EXPECT_EQ(result["problem"], "interrupted after 2 of 2 options");
  EXPECT_EQ(result["written"], 2);
  EXPECT_EQ(result["restarted"], false);
  EXPECT_TRUE(EndsItsConfiguration(device));
  EXPECT_EQ(device.Restarts(), 0u);
}

TEST(CliFailureTest, SlowDeviceGetsItsEmptyKeyWrittenAndVerifyDoesNotTakeNoAnswerForEmpty) {
  // Every reply 1200 ms late: reads (1000 ms) time out, writes (2000 ms) are answered.
  devsim::SimulatorConfig slow;
  slow.osValue = "LINUX";
  slow.defaults = {{"Key1Str", "OLDKEY1234"}};
  slow.faults.replyDelay = std::chrono::milliseconds(1200);
  SimulatedFleet fleet(0);
  devsim::Simulator& device = fleet.Add(slow);
  CliRunner runner;

  const int exitCode =
      runner.Run({"apply", "--options", runner.Write("o.ini", "Key1Str=\n"), TcpName(device),
                  "--restart", "never", "--verify", "--report", runner.folder.File("out.json")});

  EXPECT_EQ(device.Option("Key1Str"), "");
  EXPECT_THAT(Writes(device), ElementsAre("Key1Str="));
  EXPECT_EQ(exitCode, kExitDeviceFailed) << "a read without an answer proves nothing";
  const nlohmann::json result =
      DeviceResult(nlohmann::json::parse(runner.Read("out.json")), TcpName(device));
  EXPECT_EQ(result["written"], 1);
  EXPECT_EQ(result["verify"], "failed");
  EXPECT_THAT(result["mismatches"].get<std::vector<std::string>>(),
              ElementsAre("Key1Str: wanted '', the read failed (reply 4001)"));
}

TEST(CliFailureTest, NamesTheFirstFailingOptionAndWhatHappened) {
  SimulatedFleet fleet(0);
  devsim::SimulatorConfig refusing;
  refusing.faults.refusals["wifidhcp"] = 2;
  refusing.faults.refusals["WIFI"] = 2;
  devsim::Simulator& refuses = fleet.Add(refusing);
  devsim::SimulatorConfig closing;
  closing.faults.closeAfterCommands = 4;  // begin, probe, SSID read and write
  devsim::Simulator& closes = fleet.Add(closing);
  CliRunner runner;

  EXPECT_EQ(
      runner.Run({"apply", "--options", runner.Write("o.ini", "SSID=Office\nwifidhcp=1\nWIFI=1\n"),
                  TcpName(refuses), TcpName(closes), "--report", runner.folder.File("out.json")}),
      kExitDeviceFailed);

  const nlohmann::json report = nlohmann::json::parse(runner.Read("out.json"));
  const nlohmann::json refused = DeviceResult(report, TcpName(refuses));
  EXPECT_EQ(refused["problem"], "wifidhcp: refused by the device (twice) (2 of 3 options failed)");
  EXPECT_EQ(refused["written"], 1);
  EXPECT_EQ(refused["failed"], 2);
  EXPECT_EQ(refused["optionResults"][1]["why"], "refused by the device (twice)");
  const nlohmann::json closed = DeviceResult(report, TcpName(closes));
  EXPECT_EQ(closed["problem"], "wifidhcp: connection closed (2 of 3 options failed)");
  EXPECT_EQ(closed["written"], 1);
}

TEST(CliFailureTest, TheRetryOfARefusedTildeOptionTravelsScrambledToo) {
  devsim::SimulatorConfig refusing;  // "~OS" empty: "~" options travel scrambled
  refusing.faults.refusals["~MODEM"] = 1;
  SimulatedFleet fleet(1, refusing);
  devsim::Simulator& device = *fleet.All()[0];
  CliRunner runner;

  EXPECT_EQ(runner.Run({"apply", "--options", runner.Write("o.ini", "~MODEM=1\n"), TcpName(device),
                        "--restart", "never"}),
            kExitSuccess);
  // The tests draw 0, which goes out as the key C0.
  const std::string scrambled = ScrambleOptionText("~MODEM=1", kKeyForADrawnZero);
  EXPECT_THAT(Writes(device), ElementsAre(scrambled, scrambled));
  EXPECT_EQ(device.Option("~MODEM"), "1");
}

TEST(CliSecretTest, VerifyCheckAndReadMaskSecretValuesUnlessAskedToShowThem) {
  devsim::SimulatorConfig dropping;
  dropping.faults.dropAtRestart = {"WPAPSK"};
  dropping.defaults = {{"WPAPSK", "OldSecretPass"}, {"Key2Str", "1234567890"}};
  SimulatedFleet fleet(1, dropping);
  devsim::Simulator& device = *fleet.All()[0];
  CliRunner runner;
  const std::string options = runner.Write("o.ini", "WPAPSK=TopSecretPass\nSSID=Office\n");

  EXPECT_EQ(runner.Run({"apply", "--options", options, TcpName(device), "--check"}), kExitSuccess);
  EXPECT_THAT(runner.out.str(), HasSubstr("WPAPSK: '********' -> '********'"));
  EXPECT_EQ(runner.Run({"apply", "--options", options, TcpName(device), "--verify",
                        "--verify-timeout", "10", "--report", runner.folder.File("out.csv")}),
            kExitDeviceFailed);
  EXPECT_THAT(runner.out.str(), HasSubstr("WPAPSK: wanted '********', the read failed"));
  EXPECT_EQ(runner.Run({"read", TcpName(device), "Key2Str", "SSID"}), kExitSuccess);
  EXPECT_EQ(runner.out.str(), "Key2Str=********\nSSID=Office\n");
  const std::string printed = runner.out.str() + runner.err.str() + runner.Read("out.csv");
  EXPECT_THAT(printed, Not(HasSubstr("TopSecretPass")));
  EXPECT_THAT(printed, Not(HasSubstr("1234567890")));

  EXPECT_EQ(runner.Run({"read", TcpName(device), "Key2Str", "--show-secrets"}), kExitSuccess);
  EXPECT_EQ(runner.out.str(), "Key2Str=1234567890\n");
}

TEST(CliReportPathTest, AReportThatIsAnInputOrCannotBeWrittenIsRefusedBeforeAnyDevice) {
  SimulatedFleet fleet(1);
  CliRunner runner;
  const std::string device = TcpName(*fleet.All()[0]);
  const std::string options = runner.Write("o.ini", "SSID=x\n");
  const std::string site = runner.Write("site.csv", "device\n" + device + "\n");
  const std::filesystem::path folder = std::filesystem::path(site).parent_path();
  const std::string otherSpelling = (folder / "." / "site.csv").string();
  std::filesystem::create_hard_link(options, folder / "linked.ini");

  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"apply", "--options", options, "--devices", site, "--report", otherSpelling},
           {"apply", "--options", options, "--devices", site, "--report",
            (folder / "linked.ini").string()},
           {"apply", "--options", options, device, "--report",
            (folder / "none" / "r.csv").string()},
           {"apply", "--options", options, device, "--report", folder.string()}}) {
    EXPECT_EQ(runner.Run(args), kExitUsage) << args.back();
    EXPECT_THAT(runner.err.str(), HasSubstr("Nothing was sent to any device."));
  }
  EXPECT_THAT(runner.Run({"apply", "--options", options, "--devices", site, "--report", site}),
              kExitUsage);
  EXPECT_THAT(runner.err.str(), HasSubstr("is the same file as the input " + site));
  EXPECT_EQ(fleet.CommandsReceived(), 0u);
  EXPECT_EQ(runner.Read("site.csv"), "device\n" + device + "\n");
  EXPECT_EQ(runner.Read("o.ini"), "SSID=x\n");
}

TEST(CliReportPathTest, UpperCaseJsonIsJsonAndADashIsStandardOutput) {
  SimulatedFleet fleet(1);
  CliRunner runner;
  const std::string device = TcpName(*fleet.All()[0]);
  const std::string options = runner.Write("o.ini", "SSID=x\n");

  ASSERT_EQ(runner.Run({"apply", "--options", options, device, "--report",
                        runner.folder.File("OUT.JSON")}),
            kExitSuccess);
  EXPECT_EQ(nlohmann::json::parse(runner.Read("OUT.JSON"))["succeeded"], 1);

  ASSERT_EQ(runner.Run({"apply", "--options", options, device, "--report", "-"}), kExitSuccess);
  EXPECT_EQ(runner.out.str().rfind("device,result,options,written,unchanged,failed,", 0), 0u)
      << runner.out.str();
  EXPECT_FALSE(std::filesystem::exists("-"));
  EXPECT_THAT(runner.err.str(), HasSubstr("1 of 1 devices succeeded"));

  ASSERT_EQ(runner.Run({"apply", "--options", options, device, "--json"}), kExitSuccess);
  EXPECT_EQ(nlohmann::json::parse(runner.out.str())["devices"][0]["result"], "done");
}

// 0 is refused rather than taken for "no wait": a read-back at once would find the device
// still restarting, or still as it was before the restart.
TEST(CliUsageTest, VerifyTimeoutsOutsideOneTo3600SecondsAreRefused) {
  SimulatedFleet fleet(1);
  CliRunner runner;
  const std::string options = runner.Write("o.ini", "SSID=x\n");
  for (const char* timeout :
       {"0", "0.0", "-0", "0.999", "nan", "inf", "-inf", "-1", "3600.5", "3601", "1e400", "5s"}) {
    EXPECT_EQ(runner.Run({"apply", "--options", options, TcpName(*fleet.All()[0]), "--verify",
                          "--verify-timeout", timeout}),
              kExitUsage)
        << timeout;
    EXPECT_THAT(runner.err.str(), HasSubstr("--verify-timeout: seconds from 1 to 3600, not "))
        << timeout;
  }
  EXPECT_EQ(fleet.CommandsReceived(), 0u);
  for (const char* timeout : {"1", "3600"}) {
    EXPECT_EQ(runner.Run({"apply", "--check", "--options", options, TcpName(*fleet.All()[0]),
                          "--verify", "--verify-timeout", timeout}),
              kExitSuccess)
        << timeout << runner.err.str();
  }
}

TEST(CliUsageTest, JobsThatDoNotFitAreRefusedBeforeAnyDevice) {
  SimulatedFleet fleet(2);
  CliRunner runner;
  int asked = 0;
  runner.environment.jobsDoNotFit = [&](int jobs) {
    asked = jobs;
    return jobs > 1 ? std::string("--jobs 2 needs about 34 open files") : std::string();
  };
  const std::vector<std::string> args = {"apply", "--options", runner.Write("o.ini", "SSID=x\n"),
                                         TcpName(*fleet.All()[0]), TcpName(*fleet.All()[1])};
  std::vector<std::string> many = args;
  many.insert(many.end(), {"--jobs", "64"});
  EXPECT_EQ(runner.Run(many), kExitUsage);
  EXPECT_EQ(asked, 2) << "no more at once than there are devices";
  EXPECT_THAT(runner.err.str(), HasSubstr("needs about 34 open files"));
  EXPECT_EQ(fleet.CommandsReceived(), 0u);
  many.back() = "1";
  EXPECT_EQ(runner.Run(many), kExitSuccess);
}

TEST(CliVersionTest, PrintsTheProjectVersion) {
  CliRunner runner;
  EXPECT_EQ(runner.Run({"--version"}), kExitSuccess);
  EXPECT_EQ(runner.out.str(), std::string("quillstone-cli ") + kVersion + "\n");
}

TEST(CliCheckTest, ReadsAndPrintsWhatWouldChangeWritesAndRestartsNothing) {
  devsim::SimulatorConfig config;
  config.defaults = {{"SSID", "Lab"}, {"WIFI", "1"}};
  SimulatedFleet fleet(1, config);
  devsim::Simulator& device = *fleet.All()[0];
  CliRunner runner;

  EXPECT_EQ(runner.Run({"apply", "--check", "--options",
                        runner.Write("o.ini", "SSID=Office\nWIFI=1\nwifiip=10.0.0.9\n"),
                        TcpName(device)}),
            kExitSuccess);
  EXPECT_THAT(runner.out.str(), HasSubstr("    SSID: 'Lab' -> 'Office'\n"));
  EXPECT_THAT(runner.out.str(), HasSubstr("    wifiip: (none) -> '10.0.0.9'\n"));
  EXPECT_THAT(runner.out.str(), Not(HasSubstr("WIFI:")));
  EXPECT_THAT(runner.out.str(), HasSubstr(" checked: 2 of 3 options would change"));
  EXPECT_THAT(Codes(device), Not(::testing::Contains(CAPSTAN_CMD_WRITE_OPTION)));
  EXPECT_EQ(device.Restarts(), 0u);
  EXPECT_EQ(device.Option("SSID"), "Lab");
}

// What a configuration tool driving the CLI shows as before and after, without parsing texts.
TEST(CliCheckTest, TheJsonReportGivesEachChangeAsValuesWithSecretsMasked) {
  devsim::SimulatorConfig config;
  config.defaults = {{"SSID", "it's 'Lab'"}, {"WIFI", "1"}, {"WPAPSK", "OldSecretPass"}};
  SimulatedFleet fleet(1, config);
  devsim::Simulator& device = *fleet.All()[0];
  CliRunner runner;
  const std::string options =
      runner.Write("o.ini", "SSID=Office\nWIFI=1\nwifiip=10.0.0.9\nWPAPSK=TopSecretPass\n");
  const std::vector<std::string> check = {"apply",     "--check", "--json",
                                          "--options", options,   TcpName(device)};

  ASSERT_EQ(runner.Run(check), kExitSuccess);
  const nlohmann::json masked = nlohmann::json::parse(runner.out.str())["devices"][0];
  EXPECT_EQ(masked["changeValues"],
            nlohmann::json::parse(R"([{"name": "SSID", "before": "it's 'Lab'", "after": "Office"},
                                      {"name": "wifiip", "after": "10.0.0.9"},
                                      {"name": "WPAPSK", "before": "********",
                                       "after": "********"}])"));
  EXPECT_THAT(runner.out.str(), Not(HasSubstr("SecretPass")));

  std::vector<std::string> shown = check;
  shown.push_back("--show-secrets");
  ASSERT_EQ(runner.Run(shown), kExitSuccess);
  EXPECT_EQ(nlohmann::json::parse(runner.out.str())["devices"][0]["changeValues"][2],
            nlohmann::json::parse(
                R"({"name": "WPAPSK", "before": "OldSecretPass", "after": "TopSecretPass"})"));
}

TEST(CliRestartTest, ChangedRestartsOnlyADeviceThatHadAnOptionWritten) {
  SimulatedFleet fleet(1);
  devsim::Simulator& device = *fleet.All()[0];
  CliRunner runner;
  const std::vector<std::string> args = {
      "apply",         "--options", runner.Write("o.ini", "SSID=x\n"),
      TcpName(device), "--restart", "changed"};
  ASSERT_EQ(runner.Run(args), kExitSuccess);
  ASSERT_TRUE(device.WaitForRestarts(1, kRestartWait));
  ASSERT_EQ(runner.Run(args), kExitSuccess);  // nothing to write now
  EXPECT_THAT(runner.out.str(), HasSubstr(" done: 0 written, 1 unchanged,"));
  EXPECT_THAT(Codes(device), ::testing::Contains(CAPSTAN_CMD_RESTART).Times(1));

  std::vector<std::string> always = args;
  always.back() = "always";
  ASSERT_EQ(runner.Run(always), kExitSuccess);
  EXPECT_TRUE(device.WaitForRestarts(2, kRestartWait)) << "always: the window's rule";
  std::vector<std::string> never = args;
  never.back() = "never";
  ASSERT_EQ(runner.Run(never), kExitSuccess);
  EXPECT_THAT(Codes(device), ::testing::Contains(CAPSTAN_CMD_RESTART).Times(2));
}

TEST(CliOnlyFailedTest, ReRunsTheDevicesAReportHasAsNotSucceeded) {
  SimulatedFleet fleet(2);
  CliRunner runner;
  const std::string closed = "tcp:127.0.0.1:" + std::to_string(ClosedLoopbackPort());
  const std::string good = TcpName(*fleet.All()[0]);
  const std::string options = runner.Write("o.ini", "SSID=x\n");
  ASSERT_EQ(runner.Run({"apply", "--options", options, good, closed, "--report",
                        runner.folder.File("first.json")}),
            kExitDeviceFailed);
  const std::size_t commandsBefore = fleet.CommandsReceived();

  EXPECT_EQ(
      runner.Run({"apply", "--options", options, "--only-failed", runner.folder.File("first.json"),
                  "--report", runner.folder.File("again.json")}),
      kExitDeviceFailed);
  const nlohmann::json again = nlohmann::json::parse(runner.Read("again.json"));
  ASSERT_EQ(again["devices"].size(), 1u);
  EXPECT_EQ(again["devices"][0]["device"], closed);
  EXPECT_EQ(fleet.CommandsReceived(), commandsBefore) << "the good device is left alone";

  // With a site list, its rows are kept for the failed devices only.
  const std::string site =
      runner.Write("site.csv", "device,SSID\n" + good + ",a\n" + closed + ",b\n");
  EXPECT_EQ(runner.Run({"apply", "--options", options, "--devices", site, "--only-failed",
                        runner.folder.File("first.json"), "--json"}),
            kExitDeviceFailed);
  EXPECT_EQ(nlohmann::json::parse(runner.out.str())["devices"].size(), 1u);
  EXPECT_EQ(fleet.CommandsReceived(), commandsBefore);
}

// Every result a report can hold: only those that did not succeed are taken again.
TEST(CliOnlyFailedTest, TakesEveryResultButDoneVerifiedAndChecked) {
  CliRunner runner;
  nlohmann::json report = {{"devices", nlohmann::json::array()}};
  for (const char* result :
       {"done", "verified", "checked", "failed", "interrupted", "not started"}) {
    report["devices"].push_back({{"device", std::string("tcp:") + result}, {"result", result}});
  }
  EXPECT_THAT(ReadEarlierRun(runner.Write("r.json", report.dump())).Unfinished(),
              ElementsAre("tcp:failed", "tcp:interrupted", "tcp:not started"));
}

TEST(CliFleetReadTest, ReadAndTestOverADeviceListGiveACsvThatFeedsBackAsDevices) {
  devsim::SimulatorConfig config;
  config.defaults = {{"SSID", "Lab, 2"}, {"WPAPSK", "TopSecretPass"}};
  SimulatedFleet fleet(2, config);
  CliRunner runner;
  const std::string a = TcpName(*fleet.All()[0]);
  const std::string b = TcpName(*fleet.All()[1]);
  const std::string site = runner.Write("site.csv", "device\n" + a + "\n" + b + "\n");

  ASSERT_EQ(runner.Run({"read", "--devices", site, "SSID", "WPAPSK"}), kExitSuccess);
  EXPECT_EQ(runner.out.str(), "device,SSID,WPAPSK\n" + a + ",\"Lab, 2\",\n" + b + ",\"Lab, 2\",\n");
  const std::string readBack = runner.Write("read.csv", runner.out.str());
  EXPECT_EQ(runner.Run({"apply", "--options", runner.Write("o.ini", "WIFI=1\n"), "--devices",
                        readBack, "--restart", "never"}),
            kExitSuccess);
  EXPECT_EQ(fleet.All()[1]->Option("WPAPSK"), "TopSecretPass") << "an empty cell changes nothing";
  // A name neither device holds is an empty column, not two failed devices.
  EXPECT_EQ(runner.Run({"read", "--devices", site, "SSID", "Nothing"}), kExitSuccess);
  EXPECT_EQ(runner.out.str(),
            "device,SSID,Nothing\n" + a + ",\"Lab, 2\",\n" + b + ",\"Lab, 2\",\n");

  const std::string closed = "tcp:127.0.0.1:" + std::to_string(ClosedLoopbackPort());
  const std::string withClosed = runner.Write("s2.csv", "device\n" + a + "\n" + closed + "\n");
  EXPECT_EQ(runner.Run({"test", "--devices", withClosed}), kExitDeviceFailed);
  EXPECT_EQ(runner.out.str(), "device,result\n" + a + ",connect succeed\n" + closed +
                                  ",can not connect with device (refused)\n");
}

TEST(CliVerifyTest, TheWindowsListVerifiesOnAFreshDeviceAndCountsAsSucceeded) {
  // Its empty values (the WEP keys) are options a fresh device does not have: the device's
  // "no such option" matches an empty wanted value.
  SimulatedFleet fleet(1);
  CliRunner runner;
  EXPECT_EQ(runner.Run({"apply", "--options", runner.Write("o.ini", testing::WindowOptionsIni()),
                        TcpName(*fleet.All()[0]), "--verify", "--verify-timeout", "10"}),
            kExitSuccess)
      << runner.out.str();
  EXPECT_THAT(runner.out.str(), HasSubstr(" verified: 11 written, 5 unchanged, 0 failed,"));
  EXPECT_THAT(runner.out.str(), HasSubstr("1 of 1 devices succeeded, 0 failed"));
}

// The window's own file repeats a name where the window sent it twice.
TEST(CliVerifyTest, ARepeatedNameIsComparedWithItsLastValue) {
  SimulatedFleet fleet(1);
  CliRunner runner;
  const std::string options =
      runner.Write("o.ini", "SSID=First\r\nSSID=Last\r\n[Config]\r\nPort=4370\r\n");
  EXPECT_EQ(runner.Run({"apply", "--options", options, TcpName(*fleet.All()[0]), "--verify",
                        "--verify-timeout", "10"}),
            kExitSuccess)
      << runner.out.str();
  EXPECT_EQ(fleet.All()[0]->Option("SSID"), "Last");
}

TEST(CliAuditTest, TheJsonReportHoldsTheRunsRecord) {
  SimulatedFleet fleet(1);
  CliRunner runner;
  const std::string device = TcpName(*fleet.All()[0]);
  const std::string options = runner.Write("o.ini", "SSID=x\nWPAPSK=TopSecretPass\n");
  ASSERT_EQ(runner.Run({"apply", "--options", options, device, "--report",
                        runner.folder.File("out.json")}),
            kExitSuccess);
  const nlohmann::json report = nlohmann::json::parse(runner.Read("out.json"));
  EXPECT_EQ(report["version"], kVersion);
  EXPECT_THAT(report["started"].get<std::string>(),
              ::testing::MatchesRegex("....-..-..T..:..:..Z"));
  EXPECT_LE(report["started"], report["ended"]);
  ASSERT_EQ(report["inputs"].size(), 1u);
  EXPECT_EQ(report["inputs"][0]["file"], options);
  EXPECT_EQ(report["inputs"][0]["sha256"], Sha256Hex("SSID=x\nWPAPSK=TopSecretPass\n"));
  EXPECT_THAT(report["optionsAsked"].get<std::vector<std::string>>(),
              ElementsAre("SSID=x", "WPAPSK=********"));
  const nlohmann::json result = report["devices"][0];
  EXPECT_EQ(result["restarted"], true);
  EXPECT_EQ(result["verify"], "not asked");
  EXPECT_EQ(result["interrupted"], false);
  EXPECT_EQ(result["optionResults"][0], nlohmann::json({{"name", "SSID"}, {"result", "written"}}));
  EXPECT_GE(result["seconds"].get<double>(), 0.0);
}

}  // namespace
}  // namespace quillstone::cli
