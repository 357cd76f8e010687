// quillstone-cli against a chaos fleet: 200 simulated devices, each with a fault drawn from one
// seed, applied to at once with --verify and then again with --only-failed on each report. Every
// run's report must agree with what each device logged and stored, option by option; no device
// may be left in configuration mode by the tool; and the re-runs must reach every device whose
// fault wears off, while those whose fault lasts fail every time for the reason it gives.
//
// The timing is scaled down together: a slow device answers after 150 ms, past the 100 ms read
// timeout given to the tool here and far within its other timeouts; pauses are counted, not
// waited. A healthy device that misses the short read timeout on a loaded machine fails its
// verification and is reached by the next run, as a transient fault is.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "devicesim/CommandLine.h"
#include "devicesim/OptionStore.h"
#include "tests/cli/CliTestSupport.h"

namespace quillstone::cli {
namespace {

using quillstone::testing::CliRunner;
using quillstone::testing::ClosedLoopbackPort;
using ::testing::IsEmpty;

constexpr int kDevices = 200;
constexpr const char* kSeed = "25";
constexpr const char* kSlowDelayMs = "150";
constexpr LinkTimeouts kScaledTimeouts{
    .begin = 1000, .end = 1000, .restart = 1000, .read = 100, .write = 1000};
// The transient faults wear off within two failed runs (four refusals, two per run); one more
// for a device the machine's load made miss a timeout.
constexpr int kMostRuns = 4;

// Every chaos option, with a value (an empty wanted value may be skipped without a write).
const std::map<std::string, std::string> kWanted = {{"WIFI", "1"},
                                                    {"SSID", "Office"},
                                                    {"AuthMode", "WPAPSK"},
                                                    {"EncrypType", "AES"},
                                                    {"wifidhcp", "0"}};

// What one device's start line says about its fault.
struct Fault {
  std::string kind;
  std::string option;
  std::string lasting;  // "none", "transient" or "permanent"
};

// One command of one device, as its log line has it.
struct Command {
  int code = 0;
  std::string request;
  std::string reply;  // a number, or "none"
  bool corrupted = false;
};

// One run's part of the shared log, by port.
struct LogPart {
  std::map<int, std::vector<Command>> commands;
  std::map<int, int> restarts;
  std::vector<std::string> leftConfiguring;  // lines of connections the client ended that way
  int droppedConfiguring = 0;                // connections the device itself dropped that way
};

LogPart ParseLog(const std::string& text) {
  static const std::regex command(
      R"re(port=(\d+) code=(\d+) request="((?:[^"\\]|\\.)*)" reply=(\w+)( corrupted=yes)?)re");
  static const std::regex event(R"(port=(\d+) event=(\S+)(.*))");
  LogPart part;
  std::istringstream lines(text);
  std::smatch match;
  for (std::string line; std::getline(lines, line);) {
    if (std::regex_search(line, match, command)) {
      part.commands[std::stoi(match[1])].push_back(
          {std::stoi(match[2]), match[3], match[4], match[5].matched});
    } else if (std::regex_search(line, match, event)) {
      const std::string rest = match[3];
      if (match[2] == "restart") ++part.restarts[std::stoi(match[1])];
      if (match[2] == "disconnect" && rest.find("configuring=yes") != std::string::npos) {
        if (rest.find("by=device") != std::string::npos) {
          ++part.droppedConfiguring;
        } else {
          part.leftConfiguring.push_back(line);
        }
      }
    }
  }
  return part;
}

std::map<int, Fault> FaultsOfLog(const std::string& text) {
  static const std::regex start(
      R"(port=(\d+) event=start .*fault=(\S+)(?: option=(\S+))?.* lasting=(\w+))");
  std::map<int, Fault> faults;
  std::istringstream lines(text);
  std::smatch match;
  for (std::string line; std::getline(lines, line);) {
    if (std::regex_search(line, match, start)) {
      faults[std::stoi(match[1])] = {match[2], match[3], match[4]};
    }
  }
  return faults;
}

int PortOf(const std::string& device) {
  return std::stoi(device.substr(device.rfind(':') + 1));
}

class CliChaosTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::RaiseFileLimit();
    for (int attempt = 0; attempt < 5 && devices_.empty(); ++attempt) StartFleet();
    ASSERT_EQ(devices_.size(), static_cast<std::size_t>(kDevices));
    std::string csv = "device\n";
    for (const devsim::Simulator& device : devices_) {
      csv += "tcp:127.0.0.1:" + std::to_string(device.Port()) + "\n";
    }
    runner_.Write("site.csv", csv);
    std::string options;
    for (const auto& [name, value] : kWanted) options += name + "=" + value + "\n";
    runner_.Write("options.ini", options);
    runner_.environment.services.timeouts = kScaledTimeouts;
    faults_ = FaultsOfLog(LogText());
  }

  // The fleet as quillstone-devsim builds it, on consecutive ports from a free one.
  void StartFleet() {
    const std::uint16_t base = ClosedLoopbackPort();
    if (base + kDevices > 65535) return;
    const std::vector<std::string> args = {"--devices",     std::to_string(kDevices),
                                           "--listen",      "127.0.0.1:" + std::to_string(base),
                                           "--chaos",       kSeed,
                                           "--chaos-delay", kSlowDelayMs,
                                           "--state",       runner_.folder.File("stores"),
                                           "--log",         runner_.folder.File("fleet.log")};
    const std::vector<std::string_view> views(args.begin(), args.end());
    std::filesystem::create_directories(runner_.folder.File("stores"));
    try {
      for (const devsim::SimulatorConfig& config :
           devsim::DeviceConfigs(devsim::ParseCommandLine(views))) {
        devices_.emplace_back(config).Start();
      }
    } catch (const std::runtime_error&) {
      // A port was taken meanwhile: another range, with a fresh log and fresh stores.
      devices_.clear();
      std::filesystem::remove_all(runner_.folder.File("stores"));
      std::filesystem::remove(runner_.folder.File("fleet.log"));
    }
  }

  std::string LogText() const { return runner_.Read("fleet.log"); }

  devsim::OptionMap Store(int port) const {
    return devsim::OptionStore::Parse(
        runner_.Read("stores/device-" + std::to_string(port) + ".state"));
  }

  // Checks one run's report against the devices' stores and the run's part of the log; returns
  // each disagreement as a line naming the device and the option.
  std::vector<std::string> Disagreements(const nlohmann::json& report, const LogPart& log) const {
    std::vector<std::string> found;
    for (const nlohmann::json& device : report["devices"]) {
      const std::string name = device["device"];
      const int port = PortOf(name);
      const Fault& fault = faults_.at(port);
      const devsim::OptionMap store = Store(port);
      const auto commands = log.commands.find(port);
      const std::vector<Command> none;
      const std::vector<Command>& seen = commands == log.commands.end() ? none : commands->second;
      const bool restartedNow = log.restarts.count(port) > 0;
      const auto say = [&](const std::string& what) { found.push_back(name + ": " + what); };

      for (const nlohmann::json& option : device["optionResults"]) {
        const std::string optionName = option["name"];
        const std::string result = option["result"];
        const bool stored =
            store.count(optionName) > 0 && store.at(optionName) == kWanted.at(optionName);
        // What the device did with this option's writes in this run.
        bool accepted = false;
        bool acceptedUnseen = false;  // taken, but its reply reached the tool broken
        int refusals = 0;
        for (const Command& command : seen) {
          if (command.code != 12 || command.request.rfind(optionName + "=", 0) != 0) continue;
          accepted = accepted || command.reply == "2000";
          acceptedUnseen = acceptedUnseen || (command.reply == "2000" && command.corrupted);
          if (command.reply == "2001") ++refusals;
        }
        // The one way a written option may be missing: its device loses it at every restart.
        const bool lostAtRestart =
            fault.kind == "lose-at-restart" && fault.option == optionName && restartedNow;
        if (result == "written") {
          if (!accepted) say(optionName + " written, but the device took no write of it");
          if (!stored && !lostAtRestart) say(optionName + " written, but not stored");
        } else if (result == "unchanged") {
          if (!stored && !lostAtRestart) say(optionName + " unchanged, but not stored");
        } else if (result == "failed") {
          if (stored && !acceptedUnseen) say(optionName + " failed, but stored");
          if (option["why"] == "refused by the device (twice)" && refusals < 2) {
            say(optionName + " refused twice, but the device refused it " +
                std::to_string(refusals) + " times");
          }
        } else {
          say(optionName + " " + result);
        }
        if (lostAtRestart && device["verify"] == "verified") {
          say(optionName + " lost at the restart, but the verification found nothing");
        }
      }
      const bool restartSent =
          std::any_of(seen.begin(), seen.end(), [](const Command& c) { return c.code == 1004; });
      if (device["restarted"] != restartSent) {
        say(std::string("restarted ") + (device["restarted"] ? "yes" : "no") + ", but the device " +
            (restartSent ? "got" : "did not get") + " the restart");
      }
    }
    return found;
  }

  std::set<int> Ports(const std::string& lasting) const {
    std::set<int> ports;
    for (const auto& [port, fault] : faults_) {
      if (fault.lasting == lasting) ports.insert(port);
    }
    return ports;
  }

  CliRunner runner_;
  std::list<devsim::Simulator> devices_;
  std::map<int, Fault> faults_;
};

TEST_F(CliChaosTest, ReportsAgreeWithTheDevicesAndReRunsReachEveryTransientFault) {
#ifdef _WIN32
  // The slow devices answer 50 ms past an injected 100 ms read timeout; under Wine the timers
  // are too coarse for that margin, so replies the tool gave up on still arrive as accepted.
  GTEST_SKIP() << "needs timers finer than Wine's for its 50 ms margin";
#endif
  // Every kind of fault is in the fleet, and the log tells each device's.
  ASSERT_EQ(faults_.size(), static_cast<std::size_t>(kDevices));
  std::map<std::string, int> kinds;
  for (const auto& [port, fault] : faults_) ++kinds[fault.kind];
  EXPECT_EQ(kinds.size(), devsim::AllChaosKinds().size());
  const std::set<int> permanent = Ports("permanent");

  std::set<int> reached;  // devices that succeeded in some run
  std::set<int> stillFailing;
  int droppedConfiguring = 0;
  std::string previous;
  for (int run = 1; run <= kMostRuns; ++run) {
    const std::string report = runner_.folder.File("run" + std::to_string(run) + ".json");
    std::vector<std::string> args = {"apply",
                                     "--options",
                                     runner_.folder.File("options.ini"),
                                     "--devices",
                                     runner_.folder.File("site.csv"),
                                     "--jobs",
                                     "200",
                                     "--verify",
                                     "--report",
                                     report};
    if (!previous.empty()) {
      args.push_back("--only-failed");
      args.push_back(previous);
    }
    const std::size_t logBefore = LogText().size();
    runner_.Run(args);
    const nlohmann::json document =
        nlohmann::json::parse(runner_.Read("run" + std::to_string(run) + ".json"));
    const LogPart log = ParseLog(LogText().substr(logBefore));

    EXPECT_THAT(Disagreements(document, log), IsEmpty()) << "run " << run;
    EXPECT_THAT(log.leftConfiguring, IsEmpty()) << "run " << run;
    droppedConfiguring += log.droppedConfiguring;

    stillFailing.clear();
    for (const nlohmann::json& device : document["devices"]) {
      const int port = PortOf(device["device"]);
      const std::string result = device["result"];
      if (result == "done" || result == "verified") {
        reached.insert(port);
        EXPECT_EQ(result, "verified") << device.dump();
        EXPECT_EQ(permanent.count(port), 0u) << "a lasting fault, yet: " << device.dump();
      } else {
        stillFailing.insert(port);
      }
    }
    previous = report;
    if (std::includes(permanent.begin(), permanent.end(), stillFailing.begin(),
                      stillFailing.end())) {
      break;
    }
  }

  for (const auto& [port, fault] : faults_) {
    if (fault.lasting != "permanent") {
      EXPECT_EQ(reached.count(port), 1u) << port << " " << fault.kind;
    }
  }
  EXPECT_EQ(stillFailing, permanent) << "exactly the lasting faults are left";
  // The configuration check above is not idle: the devices that drop their connection do it in
  // the middle of a configuration.
  EXPECT_GT(droppedConfiguring, 0);
  for (const devsim::Simulator& device : devices_) EXPECT_EQ(device.LeftConfiguring(), 0u);
}

}  // namespace
}  // namespace quillstone::cli
