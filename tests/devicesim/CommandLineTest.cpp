#include "devicesim/CommandLine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <stdexcept>
#include <vector>

namespace quillstone::devsim {
namespace {

using std::chrono::milliseconds;

CommandLine Parse(std::vector<std::string_view> args) {
  return ParseCommandLine(args);
}

TEST(CommandLine, DefaultsToLoopbackPort4370AndDeviceOne) {
  const CommandLine parsed = Parse({});
  EXPECT_FALSE(parsed.showHelp);
  EXPECT_EQ(parsed.config.link, LinkKind::kTcp);
  EXPECT_EQ(parsed.config.listenAddress, "127.0.0.1");
  EXPECT_EQ(parsed.config.port, 4370);
  EXPECT_EQ(parsed.config.deviceNumber, 1);
  EXPECT_EQ(parsed.config.osValue, "");
  EXPECT_TRUE(parsed.config.stateFile.empty());
  EXPECT_TRUE(parsed.config.logFile.empty());
  EXPECT_FALSE(parsed.config.faults.silent);
}

TEST(CommandLine, ReadsEveryOption) {
  const CommandLine parsed = Parse({"--listen",
                                    "127.0.0.2:0",
                                    "--device-number",
                                    "12",
                                    "--os",
                                    "NONE",
                                    "--state",
                                    "/tmp/s.ini",
                                    "--log=/tmp/l.log",
                                    "--refuse",
                                    "SSID:2",
                                    "--refuse",
                                    "a:b:1",
                                    "--delay",
                                    "150",
                                    "--silent",
                                    "--close-after",
                                    "3",
                                    "--corrupt-replies",
                                    "4"});
  const SimulatorConfig& config = parsed.config;
  EXPECT_EQ(config.listenAddress, "127.0.0.2");
  EXPECT_EQ(config.port, 0);
  EXPECT_EQ(config.deviceNumber, 12);
  EXPECT_EQ(config.osValue, "NONE");
  EXPECT_EQ(config.stateFile, "/tmp/s.ini");
  EXPECT_EQ(config.logFile, "/tmp/l.log");
  EXPECT_EQ(config.faults.refusals, (std::map<std::string, int>{{"SSID", 2}, {"a:b", 1}}));
  EXPECT_EQ(config.faults.replyDelay, std::chrono::milliseconds(150));
  EXPECT_TRUE(config.faults.silent);
  EXPECT_EQ(config.faults.closeAfterCommands, 3);
  EXPECT_EQ(config.faults.corruptReplies, 4);
}

TEST(CommandLine, GivesEachDeviceOfAChaosFleetItsOwnDrawnFault) {
  const CommandLine parsed =
      Parse({"--devices", "8", "--listen", "127.0.0.1:5000", "--chaos", "3", "--chaos-delay=90"});
  ASSERT_EQ(parsed.chaosSeed, 3u);
  const std::vector<SimulatorConfig> configs = DeviceConfigs(parsed);
  ASSERT_EQ(configs.size(), 8u);
  std::set<std::string> kinds;
  for (const SimulatorConfig& config : configs) {
    const std::string note = config.faultNote;
    ASSERT_EQ(note.rfind("fault=", 0), 0u) << note;
    kinds.insert(note.substr(6, note.find(' ') - 6));
    // The fault named is the fault made.
    EXPECT_EQ(config.faults.replyDelay, milliseconds(note.starts_with("fault=slow ") ? 90 : 0));
    EXPECT_EQ(config.faults.silent, note.starts_with("fault=silent "));
  }
  EXPECT_EQ(kinds.size(), 8u);
  EXPECT_EQ(ChaosSummary(parsed),
            "chaos seed 3: 1 healthy, 1 slow, 1 refuse, 1 refuse-always, 1 drop, 1 corrupt, "
            "1 silent, 1 lose-at-restart");
  EXPECT_EQ(ChaosSummary(Parse({"--devices", "8"})), "");
  EXPECT_TRUE(DeviceConfigs(Parse({"--devices", "8"})).front().faultNote.empty());
  // One device alone gets the first draw too.
  EXPECT_EQ(DeviceConfigs(Parse({"--chaos", "3"})).front().faultNote, configs.front().faultNote);
}

TEST(CommandLine, KeepsTheChaosApartFromTheFaultOptions) {
  for (const std::vector<std::string_view>& args :
       {std::vector<std::string_view>{"--chaos", "1", "--refuse", "SSID:1"},
        {"--delay", "5", "--chaos", "1"},
        {"--chaos", "1", "--silent"},
        {"--chaos", "1", "--close-after", "2"},
        {"--chaos", "1", "--corrupt-replies", "2"},
        {"--chaos", "1", "--drop-at-restart", "WIFI"},
        {"--chaos-delay", "5"},
        {"--chaos", "-1"},
        {"--chaos", "x"}}) {
    EXPECT_THROW(Parse(args), std::invalid_argument) << args.front() << " " << args.back();
  }
}

TEST(CommandLine, ChoosesASerialLink) {
  EXPECT_EQ(Parse({"--pty"}).config.link, LinkKind::kPty);
  const CommandLine serial = Parse({"--serial", "/dev/ttyUSB0", "--baud", "9600"});
  EXPECT_EQ(serial.config.link, LinkKind::kSerialDevice);
  EXPECT_EQ(serial.config.serialPath, "/dev/ttyUSB0");
  EXPECT_EQ(serial.config.baud, 9600);
}

TEST(CommandLine, TakesAnEmptyOsValue) {
  EXPECT_EQ(Parse({"--os", "V2", "--os="}).config.osValue, "");
}

TEST(CommandLine, AsksForHelp) {
  EXPECT_TRUE(Parse({"--help"}).showHelp);
  EXPECT_TRUE(Parse({"-h"}).showHelp);
}

TEST(CommandLine, AsksForTheVersion) {
  EXPECT_TRUE(Parse({"--version"}).showVersion);
  EXPECT_FALSE(Parse({"--help"}).showVersion);
  EXPECT_THROW(Parse({"--version=2"}), std::invalid_argument);
}

TEST(CommandLine, RejectsMalformedArguments) {
  const std::vector<std::vector<std::string_view>> bad = {{"--bogus"},
                                                          {"--listen"},
                                                          {"--listen", "4370"},
                                                          {"--listen", ":1"},
                                                          {"--listen", "a:70000"},
                                                          {"--device-number", "-1"},
                                                          {"--device-number", "65536"},
                                                          {"--delay", "soon"},
                                                          {"--refuse", "SSID"},
                                                          {"--refuse", "SSID:x"},
                                                          {"--close-after", "0"},
                                                          {"--silent=yes"},
                                                          {"--baud", "0"},
                                                          {"stray"}};
  for (const auto& args : bad) {
    EXPECT_THROW(Parse(args), std::invalid_argument) << args.front();
  }
}

TEST(CommandLine, AFleetGetsConsecutivePortsAStateFilePerPortAndPortsInTheLog) {
  const CommandLine parsed = Parse({"--listen", "127.0.0.1:5000", "--devices", "3", "--state",
                                    "site", "--drop-at-restart", "wifiip", "--os", "NONE"});
  const std::vector<SimulatorConfig> configs = DeviceConfigs(parsed);
  ASSERT_EQ(configs.size(), 3U);
  for (std::size_t i = 0; i < configs.size(); ++i) {
    EXPECT_EQ(configs[i].port, 5000 + i);
    EXPECT_EQ(configs[i].stateFile,
              std::filesystem::path("site") / ("device-" + std::to_string(5000 + i) + ".state"));
    EXPECT_TRUE(configs[i].logNamesPort);
    EXPECT_EQ(configs[i].osValue, "NONE");
    EXPECT_EQ(configs[i].faults.dropAtRestart, std::vector<std::string>{"wifiip"});
  }
  // One device keeps its configuration exactly as given.
  const std::vector<SimulatorConfig> single = DeviceConfigs(Parse({"--state", "s.ini"}));
  ASSERT_EQ(single.size(), 1U);
  EXPECT_EQ(single[0].stateFile, "s.ini");
  EXPECT_FALSE(single[0].logNamesPort);

  for (const std::vector<std::string_view>& args :
       {std::vector<std::string_view>{"--listen", "127.0.0.1:65535", "--devices", "2"},
        {"--listen", "127.0.0.1:0", "--devices", "2"},
        {"--pty", "--devices", "2"}}) {
    EXPECT_THROW(DeviceConfigs(Parse(args)), std::invalid_argument) << args.back();
  }
  EXPECT_THROW(Parse({"--devices", "0"}), std::invalid_argument);
}

TEST(CommandLine, UsageNamesEveryOption) {
  const std::string usage = UsageText();
  for (const char* option :
       {"--listen", "--serial", "--pty", "--baud", "--device-number", "--os", "--state", "--log",
        "--refuse", "--delay", "--silent", "--close-after", "--corrupt-replies", "--devices",
        "--drop-at-restart", "--help", "--version"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace quillstone::devsim
