// quillstone-cli as a real process: interrupted in the middle of a fleet apply against a
// quillstone-devsim fleet: each device's log must show the end commands and no restart, and the
// report must say who was interrupted; and run under a low open-file limit.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifdef _WIN32

// Wine gives a program started by ctest no console of its own, so GenerateConsoleCtrlEvent has
// no process group to reach; main.cpp handles Ctrl+C through SetConsoleCtrlHandler with the
// same stop as on POSIX, and the in-process interruption tests cover the stop itself.
TEST(CliSignalTest, SkippedOnWindows) {
  GTEST_SKIP() << "no console control events for a process without a console (Wine under ctest)";
}

#else

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/Journal.h"
#include "tests/platform/TempFolder.h"
#include "tests/support/LoopbackPort.h"

namespace {

using namespace std::chrono_literals;
using quillstone::cli::JournalContents;
using quillstone::cli::ParseJournal;
using quillstone::testing::TempFolder;
using ::testing::HasSubstr;

constexpr int kDevices = 6;
constexpr auto kPatience = 30s;
constexpr auto kLookAgain = 10ms;  // how often the log is looked at while waiting on it

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// A program of ours run as a child with its output in a file; killed and reaped at the latest
// by the destructor. Only this test's own children are ever signalled.
class Child {
 public:
  Child(std::vector<std::string> args, const std::string& outputFile, const std::string& path) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      const int output = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      ::dup2(output, STDOUT_FILENO);
      ::dup2(output, STDERR_FILENO);
      ::setenv("PATH", path.c_str(), 1);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
  }
  ~Child() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  void Signal(int number) const { ::kill(pid_, number); }
  bool Running() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

  // The exit code, -1 when it did not exit by itself within the patience.
  int WaitForExit() {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) return -1;
      std::this_thread::sleep_for(kLookAgain);
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
};

// Waits until `ready` holds for the file's content.
template <typename Ready>
bool WaitOnFile(const std::string& path, Ready ready) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!ready(ReadFile(path))) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(kLookAgain);
  }
  return true;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

// The command codes of each port's log lines, in order.
std::map<int, std::vector<int> > CodesPerPort(const std::string& log) {
  std::map<int, std::vector<int> > codes;
  const std::regex line(R"(port=(\d+) code=(\d+))");
  for (auto match = std::sregex_iterator(log.begin(), log.end(), line);
       match != std::sregex_iterator(); ++match) {
    codes[std::stoi((*match)[1])].push_back(std::stoi((*match)[2]));
  }
  return codes;
}

class CliSignalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Stand-ins for the system's ip and arp: the housekeeping must not touch the real cache.
    const std::string stubs = folder_.File("stubs");
    ::mkdir(stubs.c_str(), 0700);
    for (const char* name : {"ip", "arp"}) {
      const std::string stub = stubs + "/" + name;
      std::ofstream(stub) << "#!/bin/sh\necho \"$0 $*\" >> '" << folder_.File("stub-calls")
                          << "'\n";
      ::chmod(stub.c_str(), 0700);
    }
    path_ = stubs + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
    std::ofstream(folder_.File("o.ini"))
        << "WIFI=1\nSSID=Office\nNetworkType=Infra\nAuthMode=OPEN\nEncrypType=NONE\n"
           "wifidhcp=0\nwifiip=10.0.0.9\nwifimask=255.255.255.0\nwifigateway=10.0.0.1\n";
    StartFleet();
  }

  // The fleet on consecutive ports from a free one; another try when one was taken meanwhile.
  void StartFleet() {
    for (int attempt = 0; attempt < 5 && !simulator_; ++attempt) {
      base_ = quillstone::testing::ClosedLoopbackPort();
      if (base_ + kDevices > 65535) continue;
      auto simulator = std::make_unique<Child>(
          std::vector<std::string>{QUILLSTONE_DEVSIM_PROGRAM, "--listen",
                                   "127.0.0.1:" + std::to_string(base_), "--devices",
                                   std::to_string(kDevices), "--delay", "40", "--log", Log()},
          folder_.File("sim-output"), path_);
      if (WaitOnFile(folder_.File("sim-output"),
                     [&](const std::string& text) {
                       return text.find("listening") != std::string::npos || !simulator->Running();
                     }) &&
          simulator->Running()) {
        simulator_ = std::move(simulator);
      }
    }
    ASSERT_TRUE(simulator_) << ReadFile(folder_.File("sim-output"));
    std::ofstream site(folder_.File("site.csv"));
    site << "device\n";
    for (int i = 0; i < kDevices; ++i) site << "tcp:127.0.0.1:" << base_ + i << "\n";
  }

  std::string Log() const { return folder_.File("sim.log"); }
  std::string Report() const { return folder_.File("out.json"); }
  std::string Journal() const { return Report() + ".journal"; }

  std::vector<std::string> ApplyArgs(std::vector<std::string> more = {}) const {
    std::vector<std::string> args{
        QUILLSTONE_CLI_PROGRAM,   "apply",  "--options", folder_.File("o.ini"), "--devices",
        folder_.File("site.csv"), "--jobs", "3"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }

  // Started without waiting: `ready` on the simulator's log tells when it has got far enough.
  std::unique_ptr<Child> StartApplyUntil(const std::function<bool()>& ready) {
    auto cli = std::make_unique<Child>(ApplyArgs({"--report", Report()}),
                                       folder_.File("cli-output"), path_);
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!ready() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(kLookAgain);
    }
    EXPECT_TRUE(ready()) << ReadFile(folder_.File("cli-output"));
    return cli;
  }

  std::unique_ptr<Child> StartApply() {
    // In the middle of the first wave: a few options written.
    return StartApplyUntil([this] { return Count(ReadFile(Log()), "code=12 ") >= 4; });
  }

  // Every device the log shows a write to has its start in the journal, with every write but
  // at most the one in flight at the end.
  void ExpectJournalCoversTheLog(const JournalContents& journal) {
    for (const auto& [port, seen] : CodesPerPort(ReadFile(Log()))) {
      const auto writes = std::count(seen.begin(), seen.end(), 12);
      if (writes == 0) continue;
      const std::string name = "tcp:127.0.0.1:" + std::to_string(port);
      const auto found = journal.began.find(name);
      ASSERT_NE(found, journal.began.end()) << name << " got writes the journal does not name";
      const auto journalled =
          std::count_if(found->second.taken.begin(), found->second.taken.end(),
                        [](const auto& option) { return option.result == "written"; });
      EXPECT_LE(journalled, writes) << name;
      EXPECT_GE(journalled, writes - 1) << name << ": more than the option in flight lost";
    }
  }

  // Every device that began got its end commands after its last write, none was restarted,
  // and the report says which were interrupted and which never started.
  void ExpectStoppedCleanly() {
    const std::map<int, std::vector<int> > codes = CodesPerPort(ReadFile(Log()));
    const std::string report = ReadFile(Report());
    ASSERT_FALSE(report.empty()) << ReadFile(folder_.File("cli-output"));
    const nlohmann::json document = nlohmann::json::parse(report);
    EXPECT_TRUE(document["interrupted"]);
    int interrupted = 0;
    for (const nlohmann::json& device : document["devices"]) {
      const int port = std::stoi(device["device"].get<std::string>().substr(14));
      const auto found = codes.find(port);
      const std::vector<int> seen = found == codes.end() ? std::vector<int>{} : found->second;
      EXPECT_THAT(seen, ::testing::Not(::testing::Contains(1004))) << port;
      if (device["result"] == "interrupted") {
        ++interrupted;
        ASSERT_GE(seen.size(), 3u);
        EXPECT_THAT(std::vector<int>(seen.end() - 3, seen.end()),
                    ::testing::ElementsAre(1002, 1002, 1014))
            << port;
        EXPECT_THAT(device["problem"].get<std::string>(),
                    ::testing::MatchesRegex("interrupted after [1-9] of 9 options"));
      } else if (device["result"] == "not started") {
        EXPECT_TRUE(seen.empty()) << port;
      } else {
        // A device that ended just before the signal: done, and restarted as it should be.
        EXPECT_EQ(device["result"], "done") << port;
      }
    }
    EXPECT_GE(interrupted, 1);
    EXPECT_LE(interrupted, 3) << "no more than the jobs in flight";
    EXPECT_THAT(ReadFile(folder_.File("cli-output")), HasSubstr("quillstone-cli: stopping"));
    EXPECT_THAT(ReadFile(folder_.File("stub-calls")), HasSubstr("neigh flush"))
        << "the housekeeping reached the stand-in, not the system's ip";
  }

  TempFolder folder_;
  std::string path_;
  int base_ = 0;
  std::unique_ptr<Child> simulator_;
};

TEST_F(CliSignalTest, SigintFinishesTheDevicesInFlightWritesTheReportAndExits130) {
  std::unique_ptr<Child> cli = StartApply();
  cli->Signal(SIGINT);
  EXPECT_EQ(cli->WaitForExit(), 130) << ReadFile(folder_.File("cli-output"));
  ExpectStoppedCleanly();
}

TEST_F(CliSignalTest, SigtermDoesTheSameAndExits143) {
  std::unique_ptr<Child> cli = StartApply();
  cli->Signal(SIGTERM);
  EXPECT_EQ(cli->WaitForExit(), 143) << ReadFile(folder_.File("cli-output"));
  ExpectStoppedCleanly();
}

TEST_F(CliSignalTest, ASecondSignalEndsAtOnce) {
  std::unique_ptr<Child> cli = StartApply();
  cli->Signal(SIGINT);
  ASSERT_TRUE(WaitOnFile(folder_.File("cli-output"), [](const std::string& text) {
    return text.find("quillstone-cli: stopping") != std::string::npos;
  }));
  cli->Signal(SIGINT);
  EXPECT_EQ(cli->WaitForExit(), quillstone::cli::kExitStoppedAtOnce)
      << "not the 130 of a stop that finished the devices in flight";
  EXPECT_TRUE(ReadFile(Report()).empty()) << "ended before the devices in flight were done";
  // The journal holds what was done, up to the stop itself.
  const JournalContents journal = ParseJournal(ReadFile(Journal()), Journal());
  EXPECT_EQ(journal.stoppedAtOnceBy, SIGINT);
  EXPECT_FALSE(journal.ended);
  ExpectJournalCoversTheLog(journal);
}

TEST_F(CliSignalTest, SighupStopsAsSigtermDoesAndExits129) {
  std::unique_ptr<Child> cli = StartApply();
  cli->Signal(SIGHUP);
  EXPECT_EQ(cli->WaitForExit(), 129) << ReadFile(folder_.File("cli-output"));
  ExpectStoppedCleanly();
  const JournalContents journal = ParseJournal(ReadFile(Journal()), Journal());
  EXPECT_TRUE(journal.ended);
  EXPECT_TRUE(journal.interrupted);
  ExpectJournalCoversTheLog(journal);
}

// Killed at one point of a run: the journal parses, names every device with a write and how far
// it got, and --only-failed from it finishes the site without touching what was finished.
struct KillPoint {
  const char* name;
  std::function<bool(const std::string& log, const std::string& journal)> reached;
};

void PrintTo(const KillPoint& point, std::ostream* out) {
  *out << point.name;
}

class CliKillTest : public CliSignalTest, public ::testing::WithParamInterface<KillPoint> {};

TEST_P(CliKillTest, TheJournalOfAKilledRunNamesEveryWrittenDeviceAndResumesTheRest) {
  std::unique_ptr<Child> cli =
      StartApplyUntil([this] { return GetParam().reached(ReadFile(Log()), ReadFile(Journal())); });
  cli->Signal(SIGKILL);
  EXPECT_EQ(cli->WaitForExit(), -1) << "killed, not ended";
  EXPECT_TRUE(ReadFile(Report()).empty()) << "no report from a killed run";
  const JournalContents journal = ParseJournal(ReadFile(Journal()), Journal());
  EXPECT_FALSE(journal.ended);
  EXPECT_EQ(journal.devices.size(), static_cast<std::size_t>(kDevices));
  ExpectJournalCoversTheLog(journal);
  std::set<int> finished;
  for (const auto& [name, device] : journal.began) {
    if (quillstone::cli::DeviceFinished(device, journal.restart)) {
      finished.insert(std::stoi(name.substr(14)));
    }
  }
  const std::map<int, std::vector<int> > before = CodesPerPort(ReadFile(Log()));

  Child resume(ApplyArgs({"--only-failed", Journal(), "--report", folder_.File("again.json")}),
               folder_.File("resume-output"), path_);
  ASSERT_EQ(resume.WaitForExit(), 0) << ReadFile(folder_.File("resume-output"));
  EXPECT_THAT(ReadFile(folder_.File("resume-output")), HasSubstr("the run did not end (killed)"));
  const nlohmann::json again = nlohmann::json::parse(ReadFile(folder_.File("again.json")));
  const std::map<int, std::vector<int> > after = CodesPerPort(ReadFile(Log()));
  std::set<int> resumed;
  for (const nlohmann::json& device : again["devices"]) {
    EXPECT_EQ(device["result"], "done") << device.dump();
    resumed.insert(std::stoi(device["device"].get<std::string>().substr(14)));
  }
  for (int port = base_; port < base_ + kDevices; ++port) {
    EXPECT_NE(finished.count(port), resumed.count(port)) << port << ": finished once, exactly";
    if (finished.count(port) != 0) {
      EXPECT_EQ(after.at(port), before.at(port)) << port << ": finished, so left alone";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    AtSeveralPoints, CliKillTest,
    ::testing::Values(KillPoint{"AtTheFirstStart",
                                [](const std::string&, const std::string& journal) {
                                  return journal.find("\"event\":\"started\"") != std::string::npos;
                                }},
                      KillPoint{"InTheFirstWave",
                                [](const std::string& log, const std::string&) {
                                  return Count(log, "code=12 ") >= 4;
                                }},
                      KillPoint{"AfterTheFirstRestart",
                                [](const std::string& log, const std::string&) {
                                  return Count(log, "code=1004 ") >= 1;
                                }},
                      KillPoint{"WhenTheFirstDeviceFinished",
                                [](const std::string&, const std::string& journal) {
                                  return journal.find("\"event\":\"finished\"") !=
                                         std::string::npos;
                                }},
                      KillPoint{"InTheSecondWave",
                                [](const std::string& log, const std::string&) {
                                  return Count(log, "code=12 ") >= 31;
                                }}),
    [](const ::testing::TestParamInfo<KillPoint>& point) { return std::string(point.param.name); });

// stdout closed early (| head -1): the run stops as on SIGTERM rather than going on unwatched,
// the report and journal are written, and the exit code is 141.
TEST_F(CliSignalTest, AClosedStandardOutputStopsTheRunAsSigtermDoes) {
  // One device at a time: `head` has a whole device's time to exit after the first line, so the
  // next line meets the closed pipe while devices are still waiting to start.
  std::vector<std::string> args = ApplyArgs({"--report", Report()});
  const auto jobs = std::find(args.begin(), args.end(), "--jobs");
  ASSERT_NE(jobs, args.end());
  *std::next(jobs) = "1";
  std::string command = "set -f; ";
  for (const std::string& arg : args) command += "'" + arg + "' ";
  command += "2>'" + folder_.File("cli-output") + "' | head -1 >'" + folder_.File("first-line") +
             "'; echo ${PIPESTATUS[0]} >'" + folder_.File("rc") + "'";
  Child shell({"/bin/bash", "-c", command}, folder_.File("shell-output"), path_);
  ASSERT_EQ(shell.WaitForExit(), 0) << ReadFile(folder_.File("shell-output"));
  EXPECT_EQ(ReadFile(folder_.File("rc")),
            std::to_string(quillstone::cli::kExitOutputClosed) + "\n");
  EXPECT_THAT(ReadFile(folder_.File("first-line")), HasSubstr(" done: "));
  EXPECT_THAT(ReadFile(folder_.File("cli-output")),
              HasSubstr("the standard output was closed: stopping as on SIGTERM"));
  const nlohmann::json report = nlohmann::json::parse(ReadFile(Report()));
  EXPECT_TRUE(report["interrupted"]);
  int notStarted = 0;
  for (const nlohmann::json& device : report["devices"]) {
    notStarted += device["result"] == "not started" ? 1 : 0;
  }
  EXPECT_GE(notStarted, 1) << "no new device started once the output was gone";
  const JournalContents journal = ParseJournal(ReadFile(Journal()), Journal());
  EXPECT_TRUE(journal.ended);
  ExpectJournalCoversTheLog(journal);
}

// The open-file limit: raised from soft to hard at start; what still does not fit is said before
// any device is contacted.
TEST_F(CliSignalTest, JobsBeyondTheOpenFileLimitAreRefusedBeforeAnyDevice) {
  // Nothing may be contacted; were it, the ports are on loopback.
  std::ofstream site(folder_.File("many.csv"));
  site << "device\n";
  for (int port = 1; port <= 200; ++port) site << "tcp:127.0.0.1:" << port << "\n";
  site.close();
  const std::string command = std::string("exec ") + QUILLSTONE_CLI_PROGRAM + " apply --options " +
                              folder_.File("o.ini") + " --devices " + folder_.File("many.csv") +
                              " --jobs 200";
  Child hard({"/bin/sh", "-c", "ulimit -n 64 && " + command}, folder_.File("hard-output"), path_);
  EXPECT_EQ(hard.WaitForExit(), 2);
  EXPECT_THAT(ReadFile(folder_.File("hard-output")),
              HasSubstr("--jobs 200 needs about 232 open files; this process may have 64"));
  EXPECT_THAT(ReadFile(folder_.File("hard-output")), HasSubstr("Nothing was sent to any device."));
}

// Six devices at once need about 38 descriptors: a soft limit of 20 under a hard one of 64 is
// raised at start and the whole fleet is tested, where an unraised limit would refuse the jobs.
TEST_F(CliSignalTest, ASoftOpenFileLimitIsRaisedToTheHardOne) {
  const std::string command = std::string("exec ") + QUILLSTONE_CLI_PROGRAM + " test --devices " +
                              folder_.File("site.csv") + " --jobs " + std::to_string(kDevices);
  Child soft({"/bin/sh", "-c", "ulimit -Sn 20 && ulimit -Hn 64 && " + command},
             folder_.File("soft-output"), path_);
  EXPECT_EQ(soft.WaitForExit(), 0) << ReadFile(folder_.File("soft-output"));
  EXPECT_THAT(ReadFile(folder_.File("soft-output")), ::testing::Not(HasSubstr("open files")));
  EXPECT_EQ(CodesPerPort(ReadFile(Log())).size(), static_cast<std::size_t>(kDevices))
      << "each device was reached";
}

}  // namespace

#endif
